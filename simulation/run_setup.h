// What one run of the seatbelt simulation is made of: its name, the calibration, the number of
// 10 ms ticks, the table of timed stimuli and the expectations (expectation.h). The desktop program
// fills it from a scenario file, the board's scenario player from a run table (run_table.h); both
// then hand it to RunSimulation. Plain data without ownership, so that it works without the C++
// library's containers on the board.
#ifndef SIMULATION_RUN_SETUP_H
#define SIMULATION_RUN_SETUP_H

#include <cstddef>

#include "Rte_Seatbelt.h"

namespace seatbelt_sim {
struct Expectation;
}

namespace seatbelt_sim {

// Latest time the schedule can reach without g_time_ms (uint32) wrapping: the largest multiple
// of the 10 ms tick below 2^32, in ms.
inline constexpr uint32 kMaxTimeMs = 4294967290u;
inline constexpr uint32 kTickMs = 10u;

// What a stimulus drives. kNote prints its text and drives nothing.
enum class Input { kLatch, kOccupancy, kSpeed, kDoor, kIgnition, kNote };
inline constexpr std::size_t kInputCount = 6u;

// Name of an input as written in a scenario ("latch", "speed", ..., "note").
const char* InputName(Input input);

// Largest value an input takes: the range of its setter's argument type (0 for a note).
uint32 InputMax(Input input);

// One timed stimulus, applied before the first tick whose g_time_ms is at or after time_ms.
struct Stimulus {
  uint32 time_ms = 0u;
  Input input = Input::kNote;
  uint32 value = 0u;           // at most InputMax(input)
  const char* text = nullptr;  // a note's text, null-terminated; null for other inputs
};

struct RunSetup {
  const char* name = "";  // printed in the first [SIM] line
  SeatbeltCalibration_t calibration{};
  uint32 ticks = 0u;                  // at most kMaxTimeMs / kTickMs
  const Stimulus* stimuli = nullptr;  // times never decreasing
  std::size_t stimulus_count = 0u;
  const Expectation* expectations = nullptr;  // in file order
  std::size_t expectation_count = 0u;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_RUN_SETUP_H
