// A run as the desktop programs set it up from their command line: the scenario file (or the
// built-in drive), read and checked, its run length, and the simulation's RunSetup over it.
// seatbelt_sim runs it; scenario_table writes it as a run table for the board.
#ifndef HOST_SEATBELT_SIM_RUN_LOADER_H
#define HOST_SEATBELT_SIM_RUN_LOADER_H

#include <optional>
#include <string>
#include <vector>

#include "Std_Types.h"
#include "run_setup.h"
#include "scenario.h"

namespace seatbelt_sim {

// Filled in place by LoadRun; setup points into the other members, so a run is never copied.
struct LoadedRun {
  LoadedRun() = default;
  LoadedRun(const LoadedRun&) = delete;
  LoadedRun& operator=(const LoadedRun&) = delete;
  LoadedRun(LoadedRun&&) = delete;
  LoadedRun& operator=(LoadedRun&&) = delete;
  ~LoadedRun() = default;

  std::string name;  // the path as given, or the built-in drive's name
  Scenario scenario;
  std::vector<Stimulus> stimuli;          // the table RunSimulation reads
  std::vector<Expectation> expectations;  // pointing into scenario's
  RunSetup setup;
};

// Reads the scenario at path (none: the built-in drive) and sets up its run, ending at
// duration_ms when given, else at the scenario's 'end' line. A bad scenario or a missing run
// length is reported on standard error ("seatbelt_sim: FILE:LINE: problem"); the result is then
// false, and the program ends with kExitUsage.
bool LoadRun(const std::optional<std::string>& path, std::optional<uint32> duration_ms,
             LoadedRun& run);

// As LoadRun, but a problem is given back in error ("FILE:LINE: problem") instead of printed.
bool LoadRun(const std::optional<std::string>& path, std::optional<uint32> duration_ms,
             LoadedRun& run, std::string& error);

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_RUN_LOADER_H
