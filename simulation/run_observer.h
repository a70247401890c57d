// What a writer of the run's observations implements: the tick loop hands every applied stimulus
// and every tick's sample to each observer it is given, in order. The CSV log, the desktop's
// Value Change Dump and any later view of the run attach here; the warning changes and the
// diagnostic reports are kept apart, in the run record.
#ifndef SIMULATION_RUN_OBSERVER_H
#define SIMULATION_RUN_OBSERVER_H

#include <cstdio>

#include "Std_Types.h"

namespace seatbelt_sim {

struct Stimulus;
struct TickSample;

class RunObserver {
 public:
  RunObserver() = default;
  RunObserver(const RunObserver&) = delete;
  RunObserver& operator=(const RunObserver&) = delete;
  RunObserver(RunObserver&&) = delete;
  RunObserver& operator=(RunObserver&&) = delete;
  virtual ~RunObserver() = default;

  // A stimulus (a note included), applied before the tick at time_ms and after its [SIM] line.
  virtual void OnStimulus(uint32 time_ms, const Stimulus& stimulus) {
    (void)time_ms;
    (void)stimulus;
  }
  // The values after the tick at sample.time_ms.
  virtual void OnTick(const TickSample& sample) = 0;
  // The run has ended with its last tick at end_ms: completes and closes the output. False when
  // it could not be written in full.
  virtual bool Finish(uint32 end_ms) = 0;
  // "PROGRAM: what went wrong" and a newline to out, after a failed Open or Finish.
  virtual void PrintError(std::FILE* out, const char* program) const = 0;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_RUN_OBSERVER_H
