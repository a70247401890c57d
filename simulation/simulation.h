// The 10 ms schedule of the seatbelt simulation: drives the four seatbelt components through a
// run's stimuli, on the desktop and on the board alike. The components keep their state in the
// module with no reset, so a process runs one simulation.
#ifndef SIMULATION_SIMULATION_H
#define SIMULATION_SIMULATION_H

#include <cstddef>
#include <cstdio>

#include "expectation.h"
#include "run_observer.h"
#include "run_record.h"
#include "run_setup.h"
#include "signal_log.h"

namespace seatbelt_sim {

// Exit statuses of a run, the desktop's and the board's alike.
inline constexpr int kExitOk = 0;                 // the run completed
inline constexpr int kExitOutputFailed = 1;       // an output could not be written in full
inline constexpr int kExitUsage = 2;              // bad command line or scenario; nothing was run
inline constexpr int kExitExpectationFailed = 3;  // the run completed; an expectation failed

// Sets the run's calibration, calls SeatbeltWarning_Logic_Init, then runs run.ticks ticks,
// applying each stimulus before the first tick at or after its time. Host lines go to out (the
// components print to stdout, so out should be stdout to keep the order). Each of the
// observer_count observers sees every stimulus and every tick's sample; a VCD observer must be
// open already with the values that InitialSample gives. judge (null: none) has been started
// with the run's expectations; it judges them tick by tick, and the summary ends with its count.
void RunSimulation(const RunSetup& run, std::FILE* out, RunRecord& record,
                   RunObserver* const* observers, std::size_t observer_count,
                   ExpectationJudge* judge = nullptr);

// Ends a run that RunSimulation made, after its last tick at end_ms: finishes every observer
// and flushes out. Whatever could not be written in full (an observer's file, the run record's
// lists when memory ran out, out itself) is reported to messages (standard error) after
// "PROGRAM: "; the result is then kExitOutputFailed, else kExitExpectationFailed when judge
// (null: none) saw an expectation fail, else kExitOk.
int FinishRun(std::FILE* out, const RunRecord& record, RunObserver* const* observers,
              std::size_t observer_count, uint32 end_ms, const char* program, std::FILE* messages,
              const ExpectationJudge* judge = nullptr);

// The published signals with their status, the warning request and g_time_ms into sample, as
// the runtime layer holds them now; the raw inputs are left as they are.
void ReadPublished(TickSample& sample);

// The logged values before the first tick: the inputs' power-on values, the signals not yet
// received, no warning request.
TickSample InitialSample();

}  // namespace seatbelt_sim

#endif  // SIMULATION_SIMULATION_H
