// The fuzz driver of the seatbelt chain: its checks must fire on each kind of wrong tick (a
// check that never fires finds nothing), its model must follow the components' timing, and
// the seed corpus must pass against the real components.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Rte_Host.h"
#include "chain_driver.h"
#include "chain_model.h"
#include "compare_views.h"
#include "invariants.h"
#include "op_decoder.h"
#include "tick_view.h"

namespace {

using seatbelt_fuzz::ChainModel;
using seatbelt_fuzz::CheckInvariants;
using seatbelt_fuzz::CompareViews;
using seatbelt_fuzz::RunInput;
using seatbelt_fuzz::TickView;

const SeatbeltCalibration_t kDefaults = {50u, 100u, 300u, 25u, 3000u};

// A tick on which the warning is rightly active.
TickView WarningTick() {
  TickView view;
  view.latch = {FALSE, 0u};
  view.occupancy = {OCC_OCCUPIED, 0u};
  view.speed = {30u, 0u};
  view.ignition = {IGN_ON, 0u};
  view.door = {TRUE, 0u};
  view.request = SBW_WARN_ACTIVE;
  view.request_writes = 1u;
  return view;
}

// Runs an input with the trace lines of the warning logic sent to /dev/null, so test output
// stays readable; standard output is back when it returns.
std::string RunQuietly(const std::vector<std::uint8_t>& input) {
  (void)std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  if (saved < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) {
    ADD_FAILURE() << "cannot redirect standard output";
    return RunInput(input.data(), input.size());
  }
  const std::string result = RunInput(input.data(), input.size());
  (void)std::fflush(stdout);
  (void)dup2(saved, STDOUT_FILENO);
  (void)close(null);
  (void)close(saved);
  return result;
}

std::vector<std::uint8_t> Ticks(int n) {
  std::vector<std::uint8_t> ops;
  for (; n > 256; n -= 256) {
    ops.insert(ops.end(), {seatbelt_fuzz::kOpTicks, 255u});
  }
  ops.insert(ops.end(), {seatbelt_fuzz::kOpTicks, static_cast<std::uint8_t>(n - 1)});
  return ops;
}

TEST(ChainInvariants, AcceptARightfulWarningAndAQuietTick) {
  EXPECT_EQ(CheckInvariants(WarningTick(), kDefaults), "");
  TickView quiet = WarningTick();
  quiet.latch.value = TRUE;
  quiet.request = SBW_WARN_NONE;
  EXPECT_EQ(CheckInvariants(quiet, kDefaults), "");
}

TEST(ChainInvariants, NameEachBrokenProperty) {
  struct Case {
    const char* expected_message;
    void (*spoil)(TickView&);
  };
  const Case cases[] = {
      {"warning request is neither NONE (0) nor ACTIVE (2): expected 2, got 1",
       [](TickView& v) { v.request = 1u; }},
      {"warning request writes in one tick: expected 1, got 2",
       [](TickView& v) { v.request_writes = 2u; }},
      {"warning request writes in one tick: expected 1, got 0",
       [](TickView& v) { v.request_writes = 0u; }},
      {"warning active with ignition: expected 1, got 2",
       [](TickView& v) { v.ignition.value = 2u; }},
      {"warning active below the speed threshold: expected 25, got 24",
       [](TickView& v) { v.speed.value = 24u; }},
      {"warning active with occupancy: expected 1, got 0",
       [](TickView& v) { v.occupancy.value = OCC_EMPTY; }},
      {"warning active with the belt latched: expected 0, got 1",
       [](TickView& v) { v.latch.value = TRUE; }},
      {"status of a published signal: expected 0, got 132",
       [](TickView& v) { v.door.status = RTE_E_NEVER_RECEIVED; }},
      {"latch value is neither 0 nor 1: expected 1, got 2",
       [](TickView& v) { v.latch.value = 2u; }},
      {"diagnostic report of an unknown event: expected 4097, got 4098",
       [](TickView& v) {
         v.dem[0] = {0x1002u, DEM_EVENT_STATUS_FAILED};
         v.dem_count = 1u;
       }},
      {"diagnostic report status: expected 1, got 2",
       [](TickView& v) {
         v.dem[0] = {DEM_EVENT_SPEED_STUCK, 2u};
         v.dem_count = 1u;
       }},
      {"diagnostic reports in one tick, at most: expected 4, got 5",
       [](TickView& v) { v.dem_count = 5u; }},
  };
  for (const Case& c : cases) {
    TickView view = WarningTick();
    c.spoil(view);
    EXPECT_EQ(CheckInvariants(view, kDefaults), c.expected_message);
  }
}

TEST(ChainCompare, NamesTheFirstDifferingFieldOrReport) {
  const TickView expected = WarningTick();
  EXPECT_EQ(CompareViews(expected, expected), "");

  TickView seen = expected;
  seen.occupancy.value = 7u;
  EXPECT_EQ(CompareViews(expected, seen), "OccupancyFiltered: expected 1, got 7");

  TickView with_report = expected;
  with_report.dem[0] = {DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_FAILED};
  with_report.dem_count = 1u;
  EXPECT_EQ(CompareViews(with_report, expected), "diagnostic reports: expected 1, got 0");
  seen = with_report;
  seen.dem[0].status = DEM_EVENT_STATUS_PASSED;
  EXPECT_EQ(CompareViews(with_report, seen), "diagnostic report status: expected 1, got 0");
}

// The model must keep the components' timing, or the fuzzer raises false alarms (or misses
// real ones). Default calibration; the driver's settled state: belt latched, seat empty,
// standing, ignition off, door closed, no grace.
TEST(ChainModelTiming, WarningAfterDebounceAndDoorGrace) {
  ChainModel model(kDefaults);
  model.SetIgnition(IGN_ON);
  model.SetOccupancy(OCC_OCCUPIED);
  model.SetLatch(0u);
  model.SetSpeed(25u);
  model.InitLogic();
  for (int tick = 1; tick < 300; ++tick) {
    const TickView view = model.Tick();
    ASSERT_EQ(view.latch.value, tick >= 10 ? FALSE : TRUE) << "tick " << tick;
    ASSERT_EQ(view.occupancy.value, tick >= 30 ? OCC_OCCUPIED : OCC_EMPTY) << "tick " << tick;
    ASSERT_EQ(view.request, SBW_WARN_NONE) << "door grace still running on tick " << tick;
  }
  EXPECT_EQ(model.Tick().request, SBW_WARN_ACTIVE) << "3000 ms grace over on tick 300";
  model.SetDoor(FALSE);
  EXPECT_EQ(model.Tick().request, SBW_WARN_ACTIVE) << "an expired grace stays expired";
  model.InitLogic();
  EXPECT_EQ(model.Tick().request, SBW_WARN_NONE) << "re-armed and held by the open door";
}

TEST(ChainModelTiming, StuckReportsComeInPairsAfterFiveAndTenSeconds) {
  ChainModel model(kDefaults);
  std::vector<std::string> reports;
  for (int tick = 1; tick <= 1010; ++tick) {
    const TickView view = model.Tick();
    for (std::size_t i = 0u; i < view.dem_count; ++i) {
      reports.push_back(std::to_string(tick) + ":" + std::to_string(view.dem[i].event_id) + "/" +
                        std::to_string(view.dem[i].status));
    }
  }
  // 4097 = latch stuck, 4100 = speed stuck; status 1 failed, 0 passed.
  EXPECT_EQ(reports,
            (std::vector<std::string>{"500:4097/1", "510:4097/0", "1000:4100/1", "1010:4100/0"}));
}

TEST(ChainDriver, EmptyAndTruncatedInputsStopCleanly) {
  EXPECT_EQ(RunQuietly({}), "");
  EXPECT_EQ(RunQuietly({seatbelt_fuzz::kOpSetSpeed, 0x10u}), "");
  EXPECT_EQ(RunQuietly({seatbelt_fuzz::kOpSetCalibration, 1u, 2u, 3u}), "");
  EXPECT_EQ(RunQuietly({seatbelt_fuzz::kOpTick, seatbelt_fuzz::kOpTicks}), "");
  EXPECT_EQ(g_time_ms, 10u) << "one whole tick, then the truncated Ticks";
}

TEST(ChainDriver, DecodesADriveIntoAWarningOfTheRealComponents) {
  std::vector<std::uint8_t> drive = {
      seatbelt_fuzz::kOpSetIgnition,
      1u,  // on
      seatbelt_fuzz::kOpSetOccupancy,
      1u,  // occupied
      seatbelt_fuzz::kOpSetLatch,
      0u,  // belt open
      seatbelt_fuzz::kOpSetSpeed,
      0x2Cu,
      0x01u,  // 300
      seatbelt_fuzz::kOpSetCalibration,
      50u,
      0u,
      100u,
      0u,  // latch, unlatch
      44u,
      1u,
      0x2Cu,
      0x01u,
      100u,
      0u,                           // occupancy 300, 300, grace 100
      seatbelt_fuzz::kOpInitLogic,  //
  };
  const std::vector<std::uint8_t> ticks = Ticks(30);
  drive.insert(drive.end(), ticks.begin(), ticks.end());
  EXPECT_EQ(RunQuietly(drive), "");
  EXPECT_EQ(RteHost_GetWarningRequest(), SBW_WARN_ACTIVE) << "seat taken over on tick 30";

  drive.back() = 28u;  // 29 ticks: the occupancy debounce has one tick to go
  EXPECT_EQ(RunQuietly(drive), "");
  EXPECT_EQ(RteHost_GetWarningRequest(), SBW_WARN_NONE);
}

TEST(ChainDriver, StopsAtTheTickLimit) {
  EXPECT_EQ(RunQuietly(Ticks(static_cast<int>(seatbelt_fuzz::kMaxTicksPerInput) + 500)), "");
  EXPECT_EQ(g_time_ms, seatbelt_fuzz::kMaxTicksPerInput * 10u);
}

// Runs every seed in one process, in name order, so each one also starts from whatever the one
// before left in the components.
TEST(ChainDriver, SeedCorpusPassesAgainstTheComponents) {
  std::vector<std::filesystem::path> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(SEATBELT_FUZZ_CORPUS_DIR)) {
    seeds.push_back(entry.path());
  }
  std::sort(seeds.begin(), seeds.end());
  ASSERT_GE(seeds.size(), 3u);
  for (const std::filesystem::path& seed : seeds) {
    std::ifstream file(seed, std::ios::binary);
    const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    ASSERT_FALSE(input.empty()) << seed;
    EXPECT_EQ(RunQuietly(input), "") << seed;
    EXPECT_EQ(RunQuietly(input), "") << seed << " run again";
  }
}

}  // namespace
