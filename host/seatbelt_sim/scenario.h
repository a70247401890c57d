// Scenario of the seatbelt simulation host: timed stimuli, calibration overrides and the run
// length, parsed from a small line-oriented text format (see the --help text of seatbelt_sim).
#ifndef HOST_SEATBELT_SIM_SCENARIO_H
#define HOST_SEATBELT_SIM_SCENARIO_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Rte_Seatbelt.h"
#include "expectation.h"
#include "run_setup.h"

namespace seatbelt_sim {

// One timed line. Applied before the first tick whose g_time_ms is at or after time_ms.
struct ParsedStimulus {
  uint32 time_ms = 0u;
  Input input = Input::kNote;
  uint32 value = 0u;  // within the range of the input's setter type
  std::string text;   // the note's text; empty for other inputs
  std::size_t line = 0u;
};

// One 'expect' line. text and id own what the run's Expectation points to.
struct ParsedExpectation {
  Expectation expectation;  // text and id are set from the strings below when the run is set up
  std::string text;         // the statement, words joined by single blanks
  std::string id;           // empty without 'as'
};

// Calibration fields a scenario may override; unset fields keep the runtime layer's default.
struct CalibrationOverrides {
  std::optional<uint16> latch_debounce_ms;
  std::optional<uint16> unlatch_debounce_ms;
  std::optional<uint16> occ_debounce_ms;
  std::optional<uint16> speed_threshold;
  std::optional<uint16> door_grace_ms;

  // base with every set field replaced.
  SeatbeltCalibration_t ApplyTo(SeatbeltCalibration_t base) const;
};

struct Scenario {
  std::string name;                     // file name, or the built-in scenario's name
  std::vector<ParsedStimulus> stimuli;  // in file order, times never decreasing
  CalibrationOverrides calibration;
  std::optional<uint32> end_ms;                 // from the 'end' line, if any
  std::vector<ParsedExpectation> expectations;  // in file order
};

// A rejected scenario: the 1-based line (0 when the problem concerns the whole input) and what
// is wrong with it.
struct ParseError {
  std::size_t line = 0u;
  std::string message;
};

struct ParseResult {
  std::optional<Scenario> scenario;  // set when the input is valid
  ParseError error;                  // meaningful when scenario is empty
};

// Parses scenario text. name labels the scenario and its error messages. Never throws on bad
// input (only std::bad_alloc); every byte sequence gives either a scenario or an error.
ParseResult ParseScenario(std::string_view text, std::string_view name);

// Reads and parses a scenario file. A file that cannot be read is reported with line 0.
ParseResult LoadScenarioFile(const std::string& path);

// "name:line: message", or "name: message" for line 0: the form compilers use, so editors can
// jump to the line.
std::string FormatParseError(std::string_view name, const ParseError& error);

// Number of 10 ms ticks that reach end_ms: the last tick runs at the first multiple of 10 at or
// after end_ms.
uint32 TicksForDuration(uint32 end_ms);

// Parses a run length in ms ("0" to kMaxTimeMs, decimal digits only).
std::optional<uint32> ParseDurationMs(std::string_view text);

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_SCENARIO_H
