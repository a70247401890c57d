// Checks on what seatbelt_sim's input parsers make of arbitrary bytes: scenario text, a run
// length, a command line. The fuzz target traps on the first complaint; the tests feed the
// checks broken results to prove that they complain.
#ifndef HOST_SEATBELT_SIM_FUZZ_SCENARIO_ORACLE_H
#define HOST_SEATBELT_SIM_FUZZ_SCENARIO_ORACLE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scenario.h"

namespace scenario_fuzz {

// Name the checks parse under; a scenario must carry it.
inline constexpr std::string_view kScenarioName = "fuzz-input";

// Lines of text as the parser counts them: a last line without its newline counts too.
std::size_t CountLines(std::string_view text);

// A parsed scenario is well formed: stimulus times never decrease and stay within the clock,
// lines increase within 1..line_count, values fit their input, notes carry a trimmed one-line
// text without '#', other stimuli none, and the end (if any) comes at or after every stimulus;
// expectations in file order, each with a window that holds a tick, a value in its signal's
// range and the words of its line.
std::string CheckScenario(const seatbelt_sim::Scenario& scenario, std::size_t line_count);

// A rejection names a line within 0..line_count and says what is wrong in one line of printable
// ASCII of bounded length, however hostile the input (it goes to a terminal).
std::string CheckError(const seatbelt_sim::ParseError& error, std::size_t line_count);

// The scenario as text that the parser reads back into the same scenario.
std::string FormatScenario(const seatbelt_sim::Scenario& scenario);

// FormatScenario's text parses back into an equal scenario (line numbers aside).
std::string CheckRoundTrip(const seatbelt_sim::Scenario& scenario);

// Parses text and applies the checks above to the result.
std::string CheckParse(std::string_view text);

// ParseDurationMs accepts exactly the decimal numbers 0..kMaxTimeMs (leading zeros allowed),
// and TicksForDuration rounds up to whole 10 ms ticks.
std::string CheckDuration(std::string_view text);

// The bytes split at each zero byte into arguments after the program name: ParseOptions gives
// options or a message, and a duration within range.
std::string CheckOptions(std::string_view bytes);

}  // namespace scenario_fuzz

#endif  // HOST_SEATBELT_SIM_FUZZ_SCENARIO_ORACLE_H
