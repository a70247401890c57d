// What the seatbelt benchmarks rely on: the plain C yardstick does the components' work tick for
// tick on the minimal runtime layer (or comparing their costs means nothing), and the quiet
// clock never lands on a trace time (or the "quiet" numbers include printing).
#include <gtest/gtest.h>

#include <set>

#include "Occupancy_Sensor_IF.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "baseline_chain.h"
#include "bench_rte.h"
#include "quiet_clock.h"

namespace {

struct Inputs {
  uint8 latch = 1u;
  uint32 occupancy = OCC_EMPTY;
  uint16 speed = 0u;
  boolean door = TRUE;
  uint32 ignition = IGN_OFF;
};

struct Published {
  uint32 latch;
  uint32 occupancy;
  uint32 speed;
  uint32 ignition;
  uint32 door;
  uint32 statuses;  // all five ORed: 0 when every signal is valid
  uint32 request;

  bool operator==(const Published& other) const {
    return latch == other.latch && occupancy == other.occupancy && speed == other.speed &&
           ignition == other.ignition && door == other.door && statuses == other.statuses &&
           request == other.request;
  }
};

Published Observe() {
  const Rte_SeatbeltLatchFiltered_t latch = Rte_Read_SeatbeltLatchFiltered();
  const Rte_OccupancyFiltered_t occupancy = Rte_Read_OccupancyFiltered();
  const Rte_VehicleSpeed_t speed = Rte_Read_VehicleSpeed();
  const Rte_IgnitionState_t ignition = Rte_Read_IgnitionState();
  const Rte_DoorClosed_t door = Rte_Read_DoorClosed();
  return {latch.value,
          occupancy.value,
          speed.value,
          ignition.value,
          door.value,
          latch.status | occupancy.status | speed.status | ignition.status | door.status,
          BenchRte_GetWarningRequest()};
}

Published TickComponents(const Inputs& in) {
  Seatbelt_Sensor_IF_SetRaw(in.latch);
  Occupancy_Sensor_IF_SetRaw(in.occupancy);
  VehicleState_IF_SetSpeed(in.speed);
  VehicleState_IF_SetDoorClosed(in.door);
  VehicleState_IF_SetIgnition(in.ignition);
  VehicleState_IF_10ms();
  Seatbelt_Sensor_IF_10ms();
  Occupancy_Sensor_IF_10ms();
  SeatbeltWarning_Logic_10ms();
  return Observe();
}

Published TickBaseline(const Inputs& in) {
  BaselineChain_SetInputs(in.latch, in.occupancy, in.speed, in.door, in.ignition);
  BaselineChain_10ms();
  return Observe();
}

// Both chains publish all five signals before their logic reads them, so on the one runtime
// layer each logic sees its own providers' values of the tick.
TEST(BaselineChain, DoesTheComponentsWorkTickForTick) {
  const SeatbeltCalibration_t calibration = {50u, 100u, 300u, 25u, 3000u};
  BenchRte_SetCalibration(&calibration);
  SeatbeltWarning_Logic_Init();
  BaselineChain_Init();

  Inputs in;
  uint32 random = 12345u;  // a fixed linear congruential sequence: the same run every time
  uint32 warning_ticks = 0u;
  for (uint32 tick = 1u; tick <= 30000u; ++tick) {
    if (tick % 7u == 0u) {
      random = random * 1664525u + 1013904223u;
      const uint32 bits = random >> 8u;
      switch ((random >> 28u) % 7u) {
        case 0u:
          in.latch = static_cast<uint8>(bits % 4u == 0u ? 2u : bits % 2u);  // 2 latches too
          break;
        case 1u:
          in.occupancy = bits % 4u == 0u ? 2u : bits % 2u;  // 2 passes through unchanged
          break;
        case 2u:
          in.speed = static_cast<uint16>(bits % 60u);
          break;
        case 3u:
          in.door = static_cast<boolean>(bits % 4u != 0u);  // mostly closed: the grace can expire
          break;
        case 4u:
          in.ignition = bits % 5u == 0u ? 2u : IGN_ON;
          break;
        case 5u:
          if (bits % 64u == 0u) {  // re-arms the grace in both, now and then
            SeatbeltWarning_Logic_Init();
            BaselineChain_Init();
          }
          break;
        default:
          break;  // a stretch without change lets the debounce times run out
      }
    }
    g_time_ms = tick * 10u + 5u;  // off the 100 ms grid, so neither logic prints
    const Published components = TickComponents(in);
    const Published baseline = TickBaseline(in);
    ASSERT_EQ(components, baseline) << "tick " << tick;
    ASSERT_EQ(components.statuses, 0u) << "tick " << tick;
    if (components.request == SBW_WARN_ACTIVE) {
      ++warning_ticks;
    }
  }
  EXPECT_GT(warning_ticks, 500u) << "the run must also exercise the warning";
}

TEST(QuietClock, StepsOverEveryTraceTime) {
  g_time_ms = 4000u;
  QuietClock clock;
  std::set<uint32> steps;
  for (int tick = 0; tick < 1000; ++tick) {
    const uint32 before = g_time_ms;
    clock.Advance();
    ASSERT_NE(g_time_ms % 100u, 0u) << "after " << before;
    steps.insert(g_time_ms - before);
  }
  EXPECT_EQ(steps, (std::set<uint32>{10u, 20u}));
  // 9 quiet ticks per 100 ms: 1000 ticks cover 111 periods and one tick.
  EXPECT_EQ(g_time_ms, 4000u + 111u * 100u + 10u);
}

}  // namespace
