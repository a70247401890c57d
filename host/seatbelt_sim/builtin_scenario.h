// The drive that seatbelt_sim runs when no scenario file is given. Its text is the file
// scenarios/drive.txt, built into the program so that it runs from any directory.
#ifndef HOST_SEATBELT_SIM_BUILTIN_SCENARIO_H
#define HOST_SEATBELT_SIM_BUILTIN_SCENARIO_H

#include <string_view>

namespace seatbelt_sim {

// Name of the built-in scenario in messages and in the summary.
inline constexpr std::string_view kBuiltinScenarioName = "built-in drive";

// The scenario text, in the format ParseScenario reads.
std::string_view BuiltinScenarioText();

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_BUILTIN_SCENARIO_H
