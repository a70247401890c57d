// Command line of seatbelt_sim.
#ifndef HOST_SEATBELT_SIM_OPTIONS_H
#define HOST_SEATBELT_SIM_OPTIONS_H

#include <optional>
#include <string>

#include "Std_Types.h"

namespace seatbelt_sim {

struct Options {
  bool help = false;
  std::optional<std::string> scenario_path;  // none: the built-in scenario
  std::optional<std::string> csv_path;
  std::optional<std::string> vcd_path;
  std::optional<std::string> svg_path;
  std::optional<std::string> junit_path;
  std::optional<uint32> duration_ms;  // overrides the scenario's end
};

struct OptionsResult {
  std::optional<Options> options;  // set when the command line is valid
  std::string error;               // what is wrong, without program name or hint
};

// Parses argv[1..argc-1]. "--help" anywhere wins over everything after it.
OptionsResult ParseOptions(int argc, const char* const* argv);

// The --help text: usage, options, scenario format, output lines and exit statuses.
const char* HelpText();

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_OPTIONS_H
