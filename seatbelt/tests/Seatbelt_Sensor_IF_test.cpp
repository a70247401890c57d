// Latch sensor interface. Each test runs in its own process, so the module starts in its initial
// state (raw latched, filtered latched). Calibration: latch 50 ms, unlatch 100 ms unless changed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeRte.h"
#include "Seatbelt_Sensor_IF.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// One tick of the schedule; returns the published latch value.
boolean Tick() {
  g_time_ms += 10u;
  Seatbelt_Sensor_IF_10ms();
  return fake_rte::latch.value;
}

// n ticks; returns the value published by the last one.
boolean Ticks(int n) {
  for (int i = 1; i < n; ++i) {
    Tick();
  }
  return Tick();
}

TEST(LatchSensor, FirstTickReadsCalibrationThenPublishesLatched) {
  Tick();
  EXPECT_THAT(fake_rte::calls, ElementsAre("cal", "latch=1 status=0 t=10"));
}

struct Threshold {
  uint16 ms;
  int ticks;  // consecutive ticks until the filtered value follows
};

void PrintTo(const Threshold& threshold, std::ostream* os) {
  *os << threshold.ms << " ms";
}

class LatchDebounce : public ::testing::TestWithParam<Threshold> {};

TEST_P(LatchDebounce, UnlatchFollowsAfterTheSmallestTickCountReachingTheThreshold) {
  fake_rte::cal.unlatch_debounce_ms = GetParam().ms;
  Seatbelt_Sensor_IF_SetRaw(0u);
  for (int tick = 1; tick < GetParam().ticks; ++tick) {
    EXPECT_EQ(Tick(), TRUE) << "tick " << tick;
  }
  EXPECT_EQ(Tick(), FALSE) << "tick " << GetParam().ticks;
}

TEST_P(LatchDebounce, LatchFollowsAfterTheSmallestTickCountReachingTheThreshold) {
  fake_rte::cal.unlatch_debounce_ms = 0u;
  fake_rte::cal.latch_debounce_ms = GetParam().ms;
  Seatbelt_Sensor_IF_SetRaw(0u);
  ASSERT_EQ(Tick(), FALSE);
  Seatbelt_Sensor_IF_SetRaw(1u);
  for (int tick = 1; tick < GetParam().ticks; ++tick) {
    EXPECT_EQ(Tick(), FALSE) << "tick " << tick;
  }
  EXPECT_EQ(Tick(), TRUE) << "tick " << GetParam().ticks;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, LatchDebounce,
                         ::testing::Values(Threshold{0u, 1}, Threshold{10u, 1}, Threshold{11u, 2},
                                           Threshold{50u, 5}, Threshold{100u, 10},
                                           Threshold{105u, 11}));

TEST(LatchSensor, UnlatchedGlitchRestartsTheUnlatchTime) {
  Seatbelt_Sensor_IF_SetRaw(0u);
  EXPECT_EQ(Ticks(9), TRUE);  // 90 ms unlatched
  Seatbelt_Sensor_IF_SetRaw(1u);
  EXPECT_EQ(Tick(), TRUE);  // glitch over: the unlatch time starts again
  Seatbelt_Sensor_IF_SetRaw(0u);
  EXPECT_EQ(Ticks(9), TRUE);  // 90 ms again
  EXPECT_EQ(Tick(), FALSE);   // 100 ms without a break
}

TEST(LatchSensor, LatchedGlitchRestartsTheLatchTime) {
  fake_rte::cal.unlatch_debounce_ms = 10u;
  Seatbelt_Sensor_IF_SetRaw(0u);
  ASSERT_EQ(Tick(), FALSE);
  Seatbelt_Sensor_IF_SetRaw(1u);
  EXPECT_EQ(Ticks(4), FALSE);  // 40 ms latched
  Seatbelt_Sensor_IF_SetRaw(0u);
  EXPECT_EQ(Tick(), FALSE);  // glitch: the latch time starts again
  Seatbelt_Sensor_IF_SetRaw(1u);
  EXPECT_EQ(Ticks(4), FALSE);  // 40 ms again
  EXPECT_EQ(Tick(), TRUE);     // 50 ms without a break
}

TEST(LatchSensor, AlternatingInputNeitherDebouncesNorCountsAsStuck) {
  for (int tick = 1; tick <= 1200; ++tick) {
    Seatbelt_Sensor_IF_SetRaw(static_cast<uint8>(tick % 2));
    ASSERT_EQ(Tick(), TRUE) << "tick " << tick;
  }
  EXPECT_THAT(fake_rte::Calls("dem"), IsEmpty());
}

TEST(LatchSensor, UnchangedInputReportsFailedOn500thTickAndPassedOn510th) {
  Ticks(499);
  EXPECT_THAT(fake_rte::Calls("dem"), IsEmpty());
  fake_rte::calls.clear();
  Tick();  // 5000 ms unchanged: reported between debounce and publish
  EXPECT_THAT(fake_rte::calls,
              ElementsAre("cal", "dem 0x1001 failed t=5000", "latch=1 status=0 t=5000"));
  Ticks(9);
  EXPECT_EQ(fake_rte::Calls("dem").size(), 1u);
  Tick();       // 5100 ms
  Ticks(2000);  // no further report while the input stays unchanged
  EXPECT_THAT(fake_rte::Calls("dem"),
              ElementsAre("dem 0x1001 failed t=5000", "dem 0x1001 passed t=5100"));
}

TEST(LatchSensor, EveryRawChangeRestartsTheStuckCountEvenBetweenLatchedValues) {
  Ticks(300);
  Seatbelt_Sensor_IF_SetRaw(2u);  // still latched, but a change at 3010 ms
  EXPECT_EQ(Ticks(1000), TRUE);
  Seatbelt_Sensor_IF_SetRaw(0u);  // change at 13010 ms
  Ticks(600);
  EXPECT_THAT(fake_rte::Calls("dem"),
              ElementsAre("dem 0x1001 failed t=8010", "dem 0x1001 passed t=8110",
                          "dem 0x1001 failed t=18010", "dem 0x1001 passed t=18110"));
}

TEST(LatchSensor, DebounceTimerWrapsAt16Bits) {
  // 65531 ms is out of reach on the first lap: the timer wraps from 65530 to 4 ms and reaches
  // 65534 ms on the second lap.
  fake_rte::cal.unlatch_debounce_ms = 65531u;
  Seatbelt_Sensor_IF_SetRaw(0u);
  EXPECT_EQ(Ticks(6553), TRUE);  // 65530 ms
  EXPECT_EQ(Tick(), TRUE);       // wrapped to 4 ms
  EXPECT_EQ(Ticks(6552), TRUE);  // 65524 ms
  EXPECT_EQ(Tick(), FALSE);      // 65534 ms
}

}  // namespace
