// Cost of one 10 ms tick of each seatbelt runnable and of the four-component chain. Built twice:
// on the minimal runtime layer beside this file (what the components themselves cost; the goal
// is under 25 ns per non-trace chain tick) and on rte_services (what seatbelt_sim
// pays). The label names the layer.
//
// Every benchmark starts from the same drive: ignition on, seat occupied, belt open, speed
// above the threshold, door closed and the door grace run out, so the warning is active and
// the logic evaluates all of its conditions. A "quiet" tick has a g_time_ms that is no multiple
// of 100 ms and prints nothing; a "trace" tick prints the logic's trace line (to /dev/null, see
// support/bench_quiet_main.cpp).
#include <benchmark/benchmark.h>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Seatbelt.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "baseline_chain.h"
#include "bench_rte.h"
#include "quiet_clock.h"

namespace {

constexpr uint32 kTickMs = 10u;
constexpr uint32 kTracePeriodMs = 100u;
constexpr uint16 kDriveSpeed = 50u;  // above the threshold of 25
// Long enough for the 300 ms occupancy debounce and the 3000 ms door grace.
constexpr uint32 kSettleTicks = 400u;
static_assert(kSettleTicks * kTickMs % kTracePeriodMs == 0u, "settling ends on a trace time");

void RunChain() {
  VehicleState_IF_10ms();
  Seatbelt_Sensor_IF_10ms();
  Occupancy_Sensor_IF_10ms();
  SeatbeltWarning_Logic_10ms();
}

void SetDriveInputs() {
  VehicleState_IF_SetIgnition(IGN_ON);
  VehicleState_IF_SetSpeed(kDriveSpeed);
  VehicleState_IF_SetDoorClosed(TRUE);
  Seatbelt_Sensor_IF_SetRaw(0u);
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
}

// Brings the components into the drive; false (and the benchmark skipped) if the warning is
// not active then, since the numbers would not measure what they claim.
bool StartDrive(benchmark::State& state) {
  const SeatbeltCalibration_t calibration = {50u, 100u, 300u, 25u, 3000u};
  BenchRte_SetCalibration(&calibration);
  SetDriveInputs();
  SeatbeltWarning_Logic_Init();
  g_time_ms = 0u;  // and kSettleTicks later a multiple of 100 ms, where the clocks start
  for (uint32 tick = 0u; tick < kSettleTicks; ++tick) {
    g_time_ms += kTickMs;
    RunChain();
  }
  state.SetLabel(BenchRte_Name());
  if (BenchRte_GetWarningRequest() != SBW_WARN_ACTIVE) {
    state.SkipWithError("the drive did not raise the warning");
    return false;
  }
  return true;
}

// One runnable per tick on the quiet clock.
template <void (*Runnable)()>
void BM_Runnable(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  QuietClock clock;
  for (auto _ : state) {
    clock.Advance();
    Runnable();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_Runnable, VehicleState_IF_10ms)->Name("VehicleState_IF_10ms");
BENCHMARK_TEMPLATE(BM_Runnable, Seatbelt_Sensor_IF_10ms)->Name("Seatbelt_Sensor_IF_10ms");
BENCHMARK_TEMPLATE(BM_Runnable, Occupancy_Sensor_IF_10ms)->Name("Occupancy_Sensor_IF_10ms");
BENCHMARK_TEMPLATE(BM_Runnable, SeatbeltWarning_Logic_10ms)
    ->Name("SeatbeltWarning_Logic_10ms/quiet");

void BM_WarningLogicTrace(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  for (auto _ : state) {
    g_time_ms += kTracePeriodMs;
    SeatbeltWarning_Logic_10ms();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WarningLogicTrace)->Name("SeatbeltWarning_Logic_10ms/trace");

// The whole chain in schedule order, providers first.
void BM_ChainQuiet(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  QuietClock clock;
  for (auto _ : state) {
    clock.Advance();
    RunChain();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainQuiet)->Name("chain/quiet");

void BM_ChainTrace(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  for (auto _ : state) {
    g_time_ms += kTracePeriodMs;
    RunChain();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainTrace)->Name("chain/trace");

// The real schedule: 10 ms per tick, so every tenth tick traces. The average tick.
void BM_ChainSchedule(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  for (auto _ : state) {
    g_time_ms += kTickMs;
    RunChain();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainSchedule)->Name("chain/schedule");

// What a host such as seatbelt_sim does per tick: set the five inputs, then run the chain.
void BM_ChainQuietWithSetters(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  QuietClock clock;
  for (auto _ : state) {
    clock.Advance();
    SetDriveInputs();
    RunChain();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChainQuietWithSetters)->Name("chain/quiet_with_setters");

// The same steps as plain C in one file, on the same runtime layer: the yardstick.
void BM_BaselineChainQuiet(benchmark::State& state) {
  if (!StartDrive(state)) {
    return;
  }
  BaselineChain_SetInputs(0u, OCC_OCCUPIED, kDriveSpeed, TRUE, IGN_ON);
  BaselineChain_Init();
  for (uint32 tick = 0u; tick < kSettleTicks; ++tick) {
    g_time_ms += kTickMs;
    BaselineChain_10ms();
  }
  if (BenchRte_GetWarningRequest() != SBW_WARN_ACTIVE) {
    state.SkipWithError("the plain C chain did not raise the warning");
    return;
  }
  QuietClock clock;
  for (auto _ : state) {
    clock.Advance();
    BaselineChain_10ms();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BaselineChainQuiet)->Name("baseline_c_chain/quiet");

}  // namespace
