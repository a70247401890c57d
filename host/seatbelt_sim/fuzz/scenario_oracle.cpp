// Checks on seatbelt_sim's input parsers; see scenario_oracle.h.
#include "scenario_oracle.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <numeric>
#include <optional>
#include <vector>

#include "options.h"

namespace scenario_fuzz {
namespace {

using seatbelt_sim::Expectation;
using seatbelt_sim::Input;
using seatbelt_sim::kMaxTimeMs;
using seatbelt_sim::ParsedExpectation;
using seatbelt_sim::ParsedStimulus;
using seatbelt_sim::Scenario;

// Longest rejection message: the longest fixed text (an unknown signal in an expectation with
// the list of the eighteen known ones) with a quoted token of at most 40 characters plus "..."
// and escapes (4 bytes per character) and three numbers, with room to spare.
constexpr std::size_t kMaxMessageChars = 600u;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

uint32 MaxValue(Input input) {
  switch (input) {
    case Input::kLatch:
      return 255u;
    case Input::kSpeed:
      return 65535u;
    case Input::kDoor:
      return 1u;
    case Input::kOccupancy:
    case Input::kIgnition:
    case Input::kNote:
      break;
  }
  return UINT32_MAX;
}

std::string AtStimulus(std::size_t index, const std::string& what) {
  return "stimulus " + std::to_string(index) + ": " + what;
}

std::string CheckNoteText(const std::string& text) {
  if (text.empty()) {
    return "note without text";
  }
  if (IsBlank(text.front()) || IsBlank(text.back())) {
    return "note text not trimmed";
  }
  if (text.find_first_of("\n#") != std::string::npos) {
    return "note text holds a newline or '#'";
  }
  return {};
}

// The calibration fields in record order, for formatting and comparing.
struct FieldRef {
  const char* name;
  std::optional<uint16> seatbelt_sim::CalibrationOverrides::*field;
};
constexpr std::array<FieldRef, 5> kFields = {{
    {"latch_debounce_ms", &seatbelt_sim::CalibrationOverrides::latch_debounce_ms},
    {"unlatch_debounce_ms", &seatbelt_sim::CalibrationOverrides::unlatch_debounce_ms},
    {"occ_debounce_ms", &seatbelt_sim::CalibrationOverrides::occ_debounce_ms},
    {"speed_threshold", &seatbelt_sim::CalibrationOverrides::speed_threshold},
    {"door_grace_ms", &seatbelt_sim::CalibrationOverrides::door_grace_ms},
}};

bool SameStimulus(const ParsedStimulus& a, const ParsedStimulus& b) {
  return a.time_ms == b.time_ms && a.input == b.input && a.value == b.value && a.text == b.text;
}

std::string AtExpectation(std::size_t index, const std::string& what) {
  return "expectation " + std::to_string(index) + ": " + what;
}

const char* WindowWord(seatbelt_sim::Window window) {
  switch (window) {
    case seatbelt_sim::Window::kAt:
      return "at";
    case seatbelt_sim::Window::kDuring:
      return "during";
    case seatbelt_sim::Window::kWithin:
      return "within";
    case seatbelt_sim::Window::kAlways:
      break;
  }
  return "always";
}

bool SameExpectation(const ParsedExpectation& a, const ParsedExpectation& b) {
  const Expectation& x = a.expectation;
  const Expectation& y = b.expectation;
  return x.signal == y.signal && x.op == y.op && x.window == y.window && x.value == y.value &&
         x.from_ms == y.from_ms && x.to_ms == y.to_ms && a.id == b.id;
}

// What the parser keeps of an expect line: a window that lies in the clock and holds a tick, a
// value in the signal's range, an ID of the allowed characters, the statement's words joined by
// single blanks.
std::string CheckExpectation(const ParsedExpectation& parsed, std::size_t line_count) {
  const Expectation& e = parsed.expectation;
  if (e.line == 0u || e.line > line_count) {
    return "line " + std::to_string(e.line) + " outside 1.." + std::to_string(line_count);
  }
  if (e.signal >= seatbelt_sim::kJudgedSignalCount) {
    return "unknown signal";
  }
  if (e.value > seatbelt_sim::JudgedSignalMax(e.signal)) {
    return "value out of range";
  }
  if (e.from_ms > e.to_ms || e.to_ms > kMaxTimeMs) {
    return "window out of order or beyond the clock";
  }
  seatbelt_sim::TickSpan span;
  if (!seatbelt_sim::ExpectationSpan(e, kMaxTimeMs / seatbelt_sim::kTickMs, span)) {
    return "window without a tick";
  }
  if (parsed.text.rfind("expect ", 0u) != 0u ||
      parsed.text.find_first_of("#\n\t\r") != std::string::npos ||
      parsed.text.find("  ") != std::string::npos || parsed.text.back() == ' ') {
    return "statement text not the words of an expect line";
  }
  const bool id_ok = std::all_of(parsed.id.begin(), parsed.id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '.' || c == '-';
  });
  if (!id_ok) {
    return "requirement ID with other characters";
  }
  return {};
}

// Independent of the parser: digits only, at most kMaxTimeMs.
std::optional<uint32> ExpectedDuration(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  if (std::any_of(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; })) {
    return std::nullopt;
  }
  while (text.size() > 1u && text.front() == '0') {
    text.remove_prefix(1u);
  }
  if (text.size() > 10u) {
    return std::nullopt;
  }
  const std::uint64_t value = std::accumulate(
      text.begin(), text.end(), std::uint64_t{0u},
      [](std::uint64_t sum, char c) { return sum * 10u + static_cast<std::uint64_t>(c - '0'); });
  if (value > kMaxTimeMs) {
    return std::nullopt;
  }
  return static_cast<uint32>(value);
}

}  // namespace

std::size_t CountLines(std::string_view text) {
  auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (!text.empty() && text.back() != '\n') {
    ++lines;
  }
  return lines;
}

std::string CheckScenario(const Scenario& scenario, std::size_t line_count) {
  if (scenario.name != kScenarioName) {
    return "scenario name '" + scenario.name + "'";
  }
  const ParsedStimulus* previous = nullptr;
  for (std::size_t i = 0u; i < scenario.stimuli.size(); ++i) {
    const ParsedStimulus& stimulus = scenario.stimuli[i];
    if (stimulus.time_ms > kMaxTimeMs) {
      return AtStimulus(i, "time beyond the clock");
    }
    if (stimulus.line == 0u || stimulus.line > line_count) {
      return AtStimulus(
          i, "line " + std::to_string(stimulus.line) + " outside 1.." + std::to_string(line_count));
    }
    if (previous != nullptr && stimulus.time_ms < previous->time_ms) {
      return AtStimulus(i, "time decreases");
    }
    if (previous != nullptr && stimulus.line <= previous->line) {
      return AtStimulus(i, "line does not increase");
    }
    if (stimulus.value > MaxValue(stimulus.input)) {
      return AtStimulus(i, "value " + std::to_string(stimulus.value) + " out of range for " +
                               seatbelt_sim::InputName(stimulus.input));
    }
    if (stimulus.input == Input::kNote) {
      const std::string problem = CheckNoteText(stimulus.text);
      if (!problem.empty()) {
        return AtStimulus(i, problem);
      }
    } else if (!stimulus.text.empty()) {
      return AtStimulus(i, "text on a stimulus that is no note");
    }
    if (scenario.end_ms && stimulus.time_ms > *scenario.end_ms) {
      return AtStimulus(i, "after the end");
    }
    previous = &stimulus;
  }
  if (scenario.end_ms && *scenario.end_ms > kMaxTimeMs) {
    return "end beyond the clock";
  }
  for (std::size_t i = 0u; i < scenario.expectations.size(); ++i) {
    std::string problem = CheckExpectation(scenario.expectations[i], line_count);
    if (problem.empty() && i > 0u &&
        scenario.expectations[i].expectation.line <=
            scenario.expectations[i - 1u].expectation.line) {
      problem = "line does not increase";
    }
    if (!problem.empty()) {
      return AtExpectation(i, problem);
    }
  }
  return {};
}

std::string CheckError(const seatbelt_sim::ParseError& error, std::size_t line_count) {
  if (error.line > line_count) {
    return "error on line " + std::to_string(error.line) + " of " + std::to_string(line_count);
  }
  if (error.message.empty()) {
    return "error without a message";
  }
  if (error.message.size() > kMaxMessageChars) {
    return "error message of " + std::to_string(error.message.size()) + " characters";
  }
  for (const char c : error.message) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20u || byte >= 0x7Fu) {
      return "error message holds byte " + std::to_string(byte);
    }
  }
  return {};
}

std::string FormatScenario(const Scenario& scenario) {
  std::string text;
  for (const FieldRef& ref : kFields) {
    const std::optional<uint16>& value = scenario.calibration.*(ref.field);
    if (value) {
      text += std::string("calibration ") + ref.name + " " + std::to_string(*value) + "\n";
    }
  }
  for (const ParsedStimulus& stimulus : scenario.stimuli) {
    text += std::to_string(stimulus.time_ms) + " " + seatbelt_sim::InputName(stimulus.input) + " " +
            (stimulus.input == Input::kNote ? stimulus.text : std::to_string(stimulus.value)) +
            "\n";
  }
  if (scenario.end_ms) {
    text += "end " + std::to_string(*scenario.end_ms) + "\n";
  }
  // From the fields, not the kept text, and after the end, where they may stand too.
  for (const ParsedExpectation& parsed : scenario.expectations) {
    const Expectation& e = parsed.expectation;
    text += std::string("expect ") + seatbelt_sim::JudgedSignalName(e.signal) + " " +
            seatbelt_sim::CompareOpText(e.op) + " " + std::to_string(e.value) + " " +
            WindowWord(e.window);
    if (e.window == seatbelt_sim::Window::kAt) {
      text += " " + std::to_string(e.from_ms);
    } else if (e.window != seatbelt_sim::Window::kAlways) {
      text += " " + std::to_string(e.from_ms) + ".." + std::to_string(e.to_ms);
    }
    text += parsed.id.empty() ? "\n" : " as " + parsed.id + "\n";
  }
  return text;
}

std::string CheckRoundTrip(const Scenario& scenario) {
  const std::string text = FormatScenario(scenario);
  const seatbelt_sim::ParseResult again = seatbelt_sim::ParseScenario(text, scenario.name);
  if (!again.scenario) {
    return "formatted scenario rejected: " + again.error.message;
  }
  const Scenario& copy = *again.scenario;
  if (copy.stimuli.size() != scenario.stimuli.size()) {
    return "formatted scenario has " + std::to_string(copy.stimuli.size()) + " stimuli, not " +
           std::to_string(scenario.stimuli.size());
  }
  for (std::size_t i = 0u; i < copy.stimuli.size(); ++i) {
    if (!SameStimulus(copy.stimuli[i], scenario.stimuli[i])) {
      return AtStimulus(i, "changed by formatting and parsing again");
    }
  }
  const auto changed = std::find_if(kFields.begin(), kFields.end(), [&](const FieldRef& ref) {
    return copy.calibration.*(ref.field) != scenario.calibration.*(ref.field);
  });
  if (changed != kFields.end()) {
    return std::string("calibration ") + changed->name + " changed by formatting and parsing again";
  }
  if (copy.end_ms != scenario.end_ms) {
    return "end changed by formatting and parsing again";
  }
  if (copy.expectations.size() != scenario.expectations.size()) {
    return "formatted scenario has " + std::to_string(copy.expectations.size()) +
           " expectations, not " + std::to_string(scenario.expectations.size());
  }
  for (std::size_t i = 0u; i < copy.expectations.size(); ++i) {
    if (!SameExpectation(copy.expectations[i], scenario.expectations[i])) {
      return AtExpectation(i, "changed by formatting and parsing again");
    }
  }
  return {};
}

std::string CheckParse(std::string_view text) {
  const seatbelt_sim::ParseResult result = seatbelt_sim::ParseScenario(text, kScenarioName);
  const std::size_t lines = CountLines(text);
  if (!result.scenario) {
    return CheckError(result.error, lines);
  }
  std::string problem = CheckScenario(*result.scenario, lines);
  if (problem.empty()) {
    problem = CheckRoundTrip(*result.scenario);
  }
  return problem;
}

std::string CheckDuration(std::string_view text) {
  const std::optional<uint32> parsed = seatbelt_sim::ParseDurationMs(text);
  const std::optional<uint32> expected = ExpectedDuration(text);
  if (parsed != expected) {
    return "duration parsed as " + (parsed ? std::to_string(*parsed) : std::string("invalid")) +
           ", expected " + (expected ? std::to_string(*expected) : std::string("invalid"));
  }
  if (parsed) {
    const std::uint64_t covered = std::uint64_t{seatbelt_sim::TicksForDuration(*parsed)} * 10u;
    if (covered < *parsed || covered >= std::uint64_t{*parsed} + 10u) {
      return "TicksForDuration(" + std::to_string(*parsed) + ") does not round up to a tick";
    }
  }
  return {};
}

std::string CheckOptions(std::string_view bytes) {
  std::vector<std::string> args = {"seatbelt_sim"};
  std::size_t start = 0u;
  while (start <= bytes.size()) {
    const std::size_t end = bytes.find('\0', start);
    const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
    args.emplace_back(bytes.substr(start, stop - start));
    start = stop + 1u;
  }
  std::vector<const char*> argv;
  argv.reserve(args.size());
  // cppcheck-suppress stlcstrReturn ; the lambda returns const char*, not a std::string
  const auto c_string = [](const std::string& arg) -> const char* { return arg.c_str(); };
  std::transform(args.begin(), args.end(), std::back_inserter(argv), c_string);
  const seatbelt_sim::OptionsResult result =
      seatbelt_sim::ParseOptions(static_cast<int>(argv.size()), argv.data());
  if (!result.options) {
    return result.error.empty() ? "command line rejected without a message" : std::string();
  }
  if (result.options->duration_ms && *result.options->duration_ms > kMaxTimeMs) {
    return "duration beyond the clock accepted";
  }
  return {};
}

}  // namespace scenario_fuzz
