// Cost of IC_RaceAnalysis_LogEvent: a recorded event (three rand() draws and the copy of the
// location into its 64-byte field) and a dropped one (log full). The log holds 1000 entries, so
// the recording benchmarks start it over every 1000 events with IC_RaceAnalysis_Init, outside
// the timed region (it clears 84 KB and prints a line, to /dev/null: see
// support/bench_quiet_main.cpp).
#include <benchmark/benchmark.h>

#include <string>

#include "IC_RaceAnalysis.h"

namespace {

constexpr const char* kLocation = "DisplayBuffer_Swap:display_task.c:218";

void LogUntilFull() {
  for (uint32 i = 0u; i < IC_RACE_LOG_CAPACITY; ++i) {
    IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 1u, 1u, kLocation);
  }
}

void LogRecorded(benchmark::State& state, const char* location) {
  IC_RaceAnalysis_Init();
  uint32 logged = 0u;
  for (auto _ : state) {
    if (logged == IC_RACE_LOG_CAPACITY) {
      state.PauseTiming();
      IC_RaceAnalysis_Init();
      logged = 0u;
      state.ResumeTiming();
    }
    IC_RaceAnalysis_LogEvent(RACE_EVENT_SHARED_ACCESS, 3u, 7u, location);
    ++logged;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_LogEventRecorded(benchmark::State& state) {
  LogRecorded(state, kLocation);
}
BENCHMARK(BM_LogEventRecorded)->Name("IC_RaceAnalysis_LogEvent/recorded");

// A location longer than the field: the copy stops at 63 characters.
void BM_LogEventRecordedLongLocation(benchmark::State& state) {
  const std::string location(200u, 'L');
  LogRecorded(state, location.c_str());
}
BENCHMARK(BM_LogEventRecordedLongLocation)->Name("IC_RaceAnalysis_LogEvent/recorded_long_location");

void BM_LogEventDropped(benchmark::State& state) {
  IC_RaceAnalysis_Init();
  LogUntilFull();
  for (auto _ : state) {
    IC_RaceAnalysis_LogEvent(RACE_EVENT_SHARED_ACCESS, 3u, 7u, kLocation);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogEventDropped)->Name("IC_RaceAnalysis_LogEvent/dropped_log_full");

}  // namespace
