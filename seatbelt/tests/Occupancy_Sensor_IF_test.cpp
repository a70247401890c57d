// Occupancy sensor interface. Each test runs in its own process, so the module starts empty.
// Calibration: occupancy 300 ms unless changed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeRte.h"
#include "Occupancy_Sensor_IF.h"

namespace {

using ::testing::ElementsAre;

// One tick of the schedule; returns the published occupancy.
uint32 Tick() {
  g_time_ms += 10u;
  Occupancy_Sensor_IF_10ms();
  return fake_rte::occupancy.value;
}

// n ticks; returns the value published by the last one.
uint32 Ticks(int n) {
  for (int i = 1; i < n; ++i) {
    Tick();
  }
  return Tick();
}

TEST(OccupancySensor, WithoutInputPublishesEmptyEveryTick) {
  Tick();
  EXPECT_THAT(fake_rte::calls, ElementsAre("cal", "occ=0 status=0 t=10"));
  EXPECT_EQ(Ticks(1000), OCC_EMPTY);
  EXPECT_EQ(fake_rte::Calls("occ=0").size(), 1001u);
}

struct Threshold {
  uint16 ms;
  int ticks;  // consecutive ticks until the filtered value follows
};

void PrintTo(const Threshold& threshold, std::ostream* os) {
  *os << threshold.ms << " ms";
}

class OccupancyDebounce : public ::testing::TestWithParam<Threshold> {};

TEST_P(OccupancyDebounce, TakesOverAfterTheSmallestTickCountReachingTheThreshold) {
  fake_rte::cal.occ_debounce_ms = GetParam().ms;
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  for (int tick = 1; tick < GetParam().ticks; ++tick) {
    EXPECT_EQ(Tick(), OCC_EMPTY) << "tick " << tick;
  }
  EXPECT_EQ(Tick(), OCC_OCCUPIED) << "tick " << GetParam().ticks;

  // The way back takes as long, the timer having restarted at the take-over.
  Ticks(500);
  Occupancy_Sensor_IF_SetRaw(OCC_EMPTY);
  for (int tick = 1; tick < GetParam().ticks; ++tick) {
    EXPECT_EQ(Tick(), OCC_OCCUPIED) << "tick " << tick;
  }
  EXPECT_EQ(Tick(), OCC_EMPTY) << "tick " << GetParam().ticks;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, OccupancyDebounce,
                         ::testing::Values(Threshold{0u, 1}, Threshold{10u, 1}, Threshold{11u, 2},
                                           Threshold{300u, 30}, Threshold{305u, 31}));

TEST(OccupancySensor, OneTickBackAtTheFilteredValueRestartsTheDebounce) {
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  EXPECT_EQ(Ticks(29), OCC_EMPTY);  // 290 ms differing
  Occupancy_Sensor_IF_SetRaw(OCC_EMPTY);
  EXPECT_EQ(Tick(), OCC_EMPTY);  // equal again: timer back to 0
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  EXPECT_EQ(Ticks(29), OCC_EMPTY);
  EXPECT_EQ(Tick(), OCC_OCCUPIED);  // 300 ms without a break
}

TEST(OccupancySensor, ATakeOverRestartsTheDebounceOfTheNextChange) {
  fake_rte::cal.occ_debounce_ms = 291u;  // 30 ticks; 29 would do from a timer left above 0
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  EXPECT_EQ(Ticks(30), OCC_OCCUPIED);
  Occupancy_Sensor_IF_SetRaw(OCC_EMPTY);  // differs again on the very next tick
  EXPECT_EQ(Ticks(29), OCC_OCCUPIED);
  EXPECT_EQ(Tick(), OCC_EMPTY);
}

TEST(OccupancySensor, TimerKeepsRunningAcrossDifferingValuesAndTakesTheLatest) {
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  EXPECT_EQ(Ticks(15), OCC_EMPTY);
  Occupancy_Sensor_IF_SetRaw(7u);  // still differs from EMPTY: no restart
  EXPECT_EQ(Ticks(14), OCC_EMPTY);
  EXPECT_EQ(Tick(), 7u);  // 300 ms: the raw value of this tick, passed through unchanged
}

TEST(OccupancySensor, DebounceTimerWrapsAt16Bits) {
  // 65531 ms is out of reach on the first lap: the timer wraps from 65530 to 4 ms and reaches
  // 65534 ms on the second lap.
  fake_rte::cal.occ_debounce_ms = 65531u;
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  EXPECT_EQ(Ticks(6553), OCC_EMPTY);  // 65530 ms
  EXPECT_EQ(Tick(), OCC_EMPTY);       // wrapped to 4 ms
  EXPECT_EQ(Ticks(6552), OCC_EMPTY);  // 65524 ms
  EXPECT_EQ(Tick(), OCC_OCCUPIED);    // 65534 ms
}

}  // namespace
