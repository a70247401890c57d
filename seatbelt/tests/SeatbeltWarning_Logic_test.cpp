// Seatbelt warning logic. Each test runs in its own process, so the grace starts at 0 (no init).
// The fixture sets up a warning situation: ignition on, 30 above the threshold of 25, occupied
// seat, open belt, door closed, all signals valid.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FakeRte.h"
#include "SeatbeltWarning_Logic.h"

namespace {

using ::testing::ElementsAre;

class WarningLogic : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_rte::ignition = {IGN_ON, 0u};
    fake_rte::speed = {30u, 0u};
    fake_rte::occupancy = {OCC_OCCUPIED, 0u};
    fake_rte::latch = {FALSE, 0u};
    fake_rte::door = {TRUE, 0u};
  }

  // One tick at the current g_time_ms, then the clock advances; returns the request written.
  static std::string Tick() {
    SeatbeltWarning_Logic_10ms();
    g_time_ms += 10u;
    return fake_rte::Calls("warn=").back();
  }

  // The requests written by the next n ticks, in order.
  static std::vector<std::string> Ticks(int n) {
    std::vector<std::string> requests;
    for (int i = 0; i < n; ++i) {
      requests.push_back(Tick());
    }
    return requests;
  }

  static std::string CaptureTicks(int n) {
    ::testing::internal::CaptureStdout();
    Ticks(n);
    (void)std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
  }
};

TEST_F(WarningLogic, ReadsTheFiveSignalsInOrderThenWrites) {
  g_time_ms = 10u;  // no trace
  Tick();
  EXPECT_THAT(fake_rte::calls, ElementsAre("cal", "read latch", "read occ", "read speed",
                                           "read ign", "read door", "warn=2"));
}

struct Condition {
  const char* name;
  void (*apply)();
  const char* request;
};

void PrintTo(const Condition& condition, std::ostream* os) {
  *os << condition.name;
}

class WarningCondition : public WarningLogic, public ::testing::WithParamInterface<Condition> {};

TEST_P(WarningCondition, DecidesTheRequestOnTheSameTick) {
  GetParam().apply();
  EXPECT_EQ(Tick(), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, WarningCondition,
    ::testing::Values(
        Condition{"AllMet", [] {}, "warn=2"},
        Condition{"SpeedAtThreshold", [] { fake_rte::speed.value = 25u; }, "warn=2"},
        Condition{"SpeedBelowThreshold", [] { fake_rte::speed.value = 24u; }, "warn=0"},
        Condition{"ZeroThresholdStanding",
                  [] {
                    fake_rte::cal.speed_threshold = 0u;
                    fake_rte::speed.value = 0u;
                  },
                  "warn=2"},
        Condition{"IgnitionOff", [] { fake_rte::ignition.value = IGN_OFF; }, "warn=0"},
        Condition{"IgnitionTwo", [] { fake_rte::ignition.value = 2u; }, "warn=0"},
        Condition{"SeatEmpty", [] { fake_rte::occupancy.value = OCC_EMPTY; }, "warn=0"},
        Condition{"OccupancyTwo", [] { fake_rte::occupancy.value = 2u; }, "warn=0"},
        Condition{"OccupancyInvalid", [] { fake_rte::occupancy.status = 0x84u; }, "warn=0"},
        Condition{"BeltLatched", [] { fake_rte::latch.value = TRUE; }, "warn=0"},
        Condition{"LatchInvalid", [] { fake_rte::latch.status = 1u; }, "warn=0"},
        Condition{"SpeedAndIgnitionStatusIgnored",
                  [] {
                    fake_rte::speed.status = 0x84u;
                    fake_rte::ignition.status = 0x84u;
                  },
                  "warn=2"},
        Condition{"DoorOpenWithoutGrace", [] { fake_rte::door.value = FALSE; }, "warn=2"}),
    [](const ::testing::TestParamInfo<Condition>& param) { return std::string(param.param.name); });

TEST_F(WarningLogic, NoGraceBeforeInitNorWithZeroGrace) {
  // Before the first init no grace applies, even to an open door with a grace calibrated.
  fake_rte::cal.door_grace_ms = 100u;
  fake_rte::door.value = FALSE;
  EXPECT_EQ(Tick(), "warn=2");
  fake_rte::cal.door_grace_ms = 0u;
  SeatbeltWarning_Logic_Init();
  EXPECT_EQ(Tick(), "warn=2");
}

TEST_F(WarningLogic, GraceCountsDownWhileClosedAndEndsOnTheTickReachingZero) {
  fake_rte::cal.door_grace_ms = 25u;
  SeatbeltWarning_Logic_Init();
  EXPECT_THAT(Ticks(3), ElementsAre("warn=0",    // 15 ms left
                                    "warn=0",    // 5 ms left
                                    "warn=2"));  // less than 10 left: 0, not below
}

TEST_F(WarningLogic, OpenOrInvalidDoorRearmsTheGraceFromThisTicksCalibration) {
  fake_rte::cal.door_grace_ms = 50u;
  SeatbeltWarning_Logic_Init();
  Ticks(2);  // 30 ms left
  fake_rte::cal.door_grace_ms = 30u;
  fake_rte::door.value = FALSE;
  Tick();  // open: re-armed to 30 ms
  fake_rte::door.value = TRUE;
  Ticks(2);  // 10 ms left
  fake_rte::door.status = 0x84u;
  Tick();  // not valid: counts as open, 30 ms again
  fake_rte::door.status = 0u;
  EXPECT_THAT(Ticks(3), ElementsAre("warn=0", "warn=0", "warn=2"));  // 20, 10, 0 ms left
  EXPECT_EQ(fake_rte::Calls("warn=2").size(), 1u);
}

TEST_F(WarningLogic, GraceOnceRunOutStaysOutUntilTheNextInit) {
  fake_rte::cal.door_grace_ms = 20u;
  SeatbeltWarning_Logic_Init();
  EXPECT_THAT(Ticks(2), ElementsAre("warn=0", "warn=2"));
  fake_rte::door = {FALSE, 0x84u};
  EXPECT_THAT(Ticks(3), ElementsAre("warn=2", "warn=2", "warn=2"));  // door no longer looked at
  SeatbeltWarning_Logic_Init();
  EXPECT_THAT(Ticks(3), ElementsAre("warn=0", "warn=0", "warn=0"));  // armed, held while open
}

TEST_F(WarningLogic, TracesOnEveryMultipleOf100MsFromZero) {
  fake_rte::cal.door_grace_ms = 150u;
  SeatbeltWarning_Logic_Init();
  EXPECT_EQ(CaptureTicks(21),  // 0 to 200 ms
            "[TIME     0] IGN=1 SPD=30 OCC=1 LATCH=0 DOOR=1 GRACE=140 WARN=0\n"
            "[TIME   100] IGN=1 SPD=30 OCC=1 LATCH=0 DOOR=1 GRACE=40 WARN=0\n"
            "[TIME   200] IGN=1 SPD=30 OCC=1 LATCH=0 DOOR=1 GRACE=0 WARN=2\n");
}

TEST_F(WarningLogic, TracePrintsEnumerationsSignedAndTheRestUnsigned) {
  fake_rte::ignition.value = 0xFFFFFFFFu;
  fake_rte::occupancy.value = 0xFFFFFFFEu;
  fake_rte::speed.value = 65535u;
  fake_rte::door.value = FALSE;
  fake_rte::cal.door_grace_ms = 65535u;
  SeatbeltWarning_Logic_Init();
  g_time_ms = 4294967200u;
  EXPECT_EQ(CaptureTicks(1),
            "[TIME 4294967200] IGN=-1 SPD=65535 OCC=-2 LATCH=0 DOOR=0 GRACE=65535 WARN=0\n");
}

}  // namespace
