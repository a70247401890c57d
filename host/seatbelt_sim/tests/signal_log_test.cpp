// CSV and VCD writers and the run record of seatbelt_sim, in process.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Rte_Seatbelt.h"
#include "run_record.h"
#include "scenario.h"
#include "signal_log.h"
#include "vcd_reader.h"

namespace seatbelt_sim {
namespace {

using seatbelt_sim_test::kVcdUnknown;
using seatbelt_sim_test::ReadVcd;
using seatbelt_sim_test::VcdFile;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "seatbelt_sim_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TickSample Sample(uint32 time_ms, std::initializer_list<std::pair<Signal, uint32>> values) {
  TickSample sample;
  sample.time_ms = time_ms;
  for (const auto& [signal, value] : values) {
    sample.values[signal] = value;
  }
  return sample;
}

TEST(SeatbeltSimCsv, WritesTheHeaderAndOneRowPerTick) {
  const std::string path = TempPath("rows.csv");
  CsvWriter csv;
  std::string error;
  ASSERT_TRUE(csv.Open(path, error)) << error;
  csv.Write(Sample(10u, {{kLatchRaw, 1u}, {kSpeedRaw, 65535u}, {kLatchFilteredStatus, 0x84u}}));
  // Same values, new time: the cached columns must come out unchanged.
  csv.Write(Sample(1000u, {{kLatchRaw, 1u}, {kSpeedRaw, 65535u}, {kLatchFilteredStatus, 0x84u}}));
  // A change in the last column only.
  csv.Write(Sample(12345670u, {{kLatchRaw, 1u},
                               {kSpeedRaw, 65535u},
                               {kLatchFilteredStatus, 0x84u},
                               {kWarningRequest, 2u}}));
  csv.Write(Sample(kMaxTimeMs, {{kOccupancyRaw, 4294967295u}}));
  ASSERT_TRUE(csv.Close(error)) << error;

  const std::string expected =
      "\"time\",\"latch_raw\",\"occupancy_raw\",\"speed_raw\",\"door_raw\",\"ignition_raw\","
      "\"latch_filtered\",\"latch_filtered_status\",\"occupancy_filtered\","
      "\"occupancy_filtered_status\",\"vehicle_speed\",\"vehicle_speed_status\","
      "\"ignition_state\",\"ignition_state_status\",\"door_closed\",\"door_closed_status\","
      "\"warning_request\"\n"
      "0.010,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,0\n"
      "1.000,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,0\n"
      "12345.670,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,2\n"
      "4294967.290,0,4294967295,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n";
  EXPECT_EQ(ReadFile(path), expected);
  std::remove(path.c_str());
}

TEST(SeatbeltSimVcd, DumpsInitialValuesThenChangesOnly) {
  const std::string path = TempPath("changes.vcd");
  VcdWriter vcd;
  std::string error;
  const TickSample initial =
      Sample(0u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kLatchFilteredStatus, 0x84u}});
  ASSERT_TRUE(vcd.Open(path, "scenario $end test", initial, error)) << error;
  vcd.Write(Sample(10u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}}));
  vcd.Write(Sample(20u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}}));  // no change
  vcd.Write(Sample(30u, {{kLatchRaw, 0u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}, {kDoorClosed, 2u}}));
  ASSERT_TRUE(vcd.Close(100u, error)) << error;

  const VcdFile file = ReadVcd(ReadFile(path));
  std::remove(path.c_str());
  ASSERT_EQ(file.error, "");
  EXPECT_EQ(file.timescale, "1 ms");
  EXPECT_EQ(file.scopes, std::vector<std::string>{"seatbelt"});
  ASSERT_EQ(file.vars.size(), static_cast<std::size_t>(kSignalCount));
  for (const SignalInfo& info : kSignalInfo) {
    ASSERT_EQ(file.vars.count(info.name), 1u) << info.name;
    EXPECT_EQ(file.vars.at(info.name).width, info.width) << info.name;
    EXPECT_EQ(file.vars.at(info.name).changes.front().first, 0u) << info.name << " not dumped";
  }
  EXPECT_EQ(file.last_time, 100u) << "the dump should reach the end of the run";

  using Changes = std::vector<std::pair<std::uint64_t, std::int64_t>>;
  EXPECT_EQ(file.vars.at("speed_raw").changes, (Changes{{0u, 0}, {10u, 30}}));
  EXPECT_EQ(file.vars.at("latch_raw").changes, (Changes{{0u, 1}, {30u, 0}}));
  EXPECT_EQ(file.vars.at("latch_filtered_status").changes, (Changes{{0u, 0x84}, {10u, 0}}));
  // A boolean holding 2 is shown as unknown, not as a 0 or 1 it does not hold.
  EXPECT_EQ(file.vars.at("door_closed").changes, (Changes{{0u, 0}, {30u, kVcdUnknown}}));
}

TEST(SeatbeltSimOutputFile, ReportsFilesThatCannotBeCreatedOrWritten) {
  CsvWriter csv;
  std::string error;
  EXPECT_FALSE(csv.Open("/nonexistent/dir/out.csv", error));
  EXPECT_EQ(error, "cannot create '/nonexistent/dir/out.csv': No such file or directory");

  // More than the buffer holds, so the failure shows during the run as well as at the close.
  BufferedFile full;
  ASSERT_TRUE(full.Open("/dev/full", error)) << error;
  const std::string block(100000u, 'x');
  full.Write(block.data(), block.size());
  EXPECT_FALSE(full.Close(error));
  EXPECT_EQ(error, "cannot write '/dev/full': No space left on device");
}

// --- run record ------------------------------------------------------------------------------

std::string Printed(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[256];
  std::size_t got = 0u;
  while ((got = std::fread(chunk, 1u, sizeof chunk, file)) > 0u) {
    text.append(chunk, got);
  }
  return text;
}

TEST(SeatbeltSimRunRecord, TurnsRequestChangesIntoIntervals) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  RunRecord record(out);
  record.OnWarningWrite(10u, SBW_WARN_NONE);  // written every tick; only changes count
  record.OnWarningWrite(20u, SBW_WARN_ACTIVE);
  record.OnWarningWrite(30u, SBW_WARN_ACTIVE);
  record.OnWarningWrite(40u, SBW_WARN_NONE);
  record.OnWarningWrite(50u, 1u);  // never written by the logic, but still a request
  record.OnWarningWrite(60u, SBW_WARN_ACTIVE);
  record.OnDemReport(70u, DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
  record.OnDemReport(80u, 0x2222u, 7u);
  record.PrintSummary(9u, 90u);

  ASSERT_EQ(record.warning_intervals().size(), 2u);
  EXPECT_EQ(record.warning_intervals()[0].start_ms, 20u);
  EXPECT_EQ(record.warning_intervals()[0].end_ms, std::optional<uint32>(40u));
  EXPECT_EQ(record.warning_intervals()[1].start_ms, 50u);
  EXPECT_FALSE(record.warning_intervals()[1].end_ms.has_value());

  EXPECT_EQ(Printed(out),
            "[SIM] t=20 ms: warning request 0 -> 2 (ACTIVE)\n"
            "[SIM] t=40 ms: warning request 2 -> 0 (NONE)\n"
            "[SIM] t=50 ms: warning request 0 -> 1 (UNEXPECTED)\n"
            "[SIM] t=60 ms: warning request 1 -> 2 (ACTIVE)\n"
            "[SIM] t=70 ms: diagnostic event 0x1004 SPEED_STUCK FAILED\n"
            "[SIM] t=80 ms: diagnostic event 0x2222 UNKNOWN status 7\n"
            "[SIM] --- summary ---\n"
            "[SIM] ticks run: 9 (last tick at 90 ms)\n"
            "[SIM] warning intervals: 2\n"
            "[SIM]   warning from 20 ms to 40 ms (20 ms)\n"
            "[SIM]   warning from 50 ms to the end (still active at 90 ms)\n"
            "[SIM] diagnostic reports: 2\n"
            "[SIM]   t=70 ms: diagnostic event 0x1004 SPEED_STUCK FAILED\n"
            "[SIM]   t=80 ms: diagnostic event 0x2222 UNKNOWN status 7\n");
  std::fclose(out);
}

}  // namespace
}  // namespace seatbelt_sim
