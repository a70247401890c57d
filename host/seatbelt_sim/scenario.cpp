// Scenario text parser. One statement per line, tokens separated by blanks, '#' starts a comment:
//   <time_ms> <input> <value>     a stimulus (input: latch, occupancy, speed, door, ignition)
//   <time_ms> note <text>         a line of narration printed when its time comes
//   calibration <field> <value>   a calibration override, in force from the start
//   end <time_ms>                 the run length
//   expect <signal> <op> <value> <when> [as <id>]
//                                 an expectation of the run, judged while it goes on
#include "scenario.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "cli.h"

namespace seatbelt_sim {
namespace {

// Offending input is quoted back escaped, as the command line is.
using host_cli::Quote;

struct Word {
  const char* word;
  // cppcheck-suppress unusedStructMember ; read through the iterator that find_if returns
  uint32 value;
};

// The words a scenario may write for an input's two usual values; names and ranges are the
// simulation's (InputName, InputMax).
struct InputDef {
  Input input;
  std::array<Word, 2> words;
};

constexpr std::array<InputDef, 5> kInputs = {{
    {Input::kLatch, {{{"latched", 1u}, {"unlatched", 0u}}}},
    {Input::kOccupancy, {{{"occupied", 1u}, {"empty", 0u}}}},
    {Input::kSpeed, {{{nullptr, 0u}, {nullptr, 0u}}}},
    {Input::kDoor, {{{"closed", 1u}, {"open", 0u}}}},
    {Input::kIgnition, {{{"on", 1u}, {"off", 0u}}}},
}};

// The input of that name, or null.
const InputDef* FindInput(std::string_view name) {
  const auto* const found =
      std::find_if(kInputs.begin(), kInputs.end(),
                   [name](const InputDef& def) { return name == InputName(def.input); });
  return found == kInputs.end() ? nullptr : found;
}

constexpr const char* kKnownInputs = "latch, occupancy, speed, door, ignition or note";
constexpr const char* kKnownFields =
    "latch_debounce_ms, unlatch_debounce_ms, occ_debounce_ms, speed_threshold, door_grace_ms";

using Field = std::optional<uint16> CalibrationOverrides::*;
struct FieldDef {
  const char* name;
  Field field;
};
constexpr std::array<FieldDef, 5> kFields = {{
    {"latch_debounce_ms", &CalibrationOverrides::latch_debounce_ms},
    {"unlatch_debounce_ms", &CalibrationOverrides::unlatch_debounce_ms},
    {"occ_debounce_ms", &CalibrationOverrides::occ_debounce_ms},
    {"speed_threshold", &CalibrationOverrides::speed_threshold},
    {"door_grace_ms", &CalibrationOverrides::door_grace_ms},
}};

constexpr const char* kKnownOps = "==, !=, <, <=, > or >=";
constexpr const char* kKnownWindows = "at TIME, during FROM..TO, within FROM..TO or always";

constexpr std::array<const char*, kCompareOpCount> kOpTexts = {"==", "!=", "<", "<=", ">", ">="};

// The signal an expectation names, or kJudgedSignalCount.
std::size_t FindJudgedSignal(std::string_view name) {
  for (std::size_t signal = 0u; signal < kJudgedSignalCount; ++signal) {
    if (name == JudgedSignalName(signal)) {
      return signal;
    }
  }
  return kJudgedSignalCount;
}

std::string KnownJudgedSignals() {
  std::string known;
  for (std::size_t signal = 0u; signal < kJudgedSignalCount; ++signal) {
    known += signal == 0u ? "" : signal + 1u == kJudgedSignalCount ? " or " : ", ";
    known += JudgedSignalName(signal);
  }
  return known;
}

// The words an expectation may compare the signal with: its two named values (see
// JudgedValueWord) and true/false for every signal.
std::vector<Word> ValueWords(std::size_t signal) {
  std::vector<Word> words;
  for (const uint32 value : {0u, 1u, 2u}) {
    const char* const word = JudgedValueWord(signal, value);
    if (word != nullptr && std::strcmp(word, "true") != 0 && std::strcmp(word, "false") != 0) {
      words.push_back({word, value});
    }
  }
  words.push_back({"true", 1u});
  words.push_back({"false", 0u});
  return words;
}

bool IsIdCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '-';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// Splits off the first blank-separated token; rest keeps what follows it.
std::string_view NextToken(std::string_view& rest) {
  rest = TrimBlanks(rest);
  std::size_t end = 0u;
  while (end < rest.size() && !IsBlank(rest[end])) {
    ++end;
  }
  const std::string_view token = rest.substr(0u, end);
  rest.remove_prefix(end);
  return token;
}

enum class NumberKind { kOk, kNegative, kTooLarge, kNotANumber };

struct Number {
  NumberKind kind;
  uint32 value;
};

// Decimal digits only; a leading '-' followed by digits is recognised so the message can say
// "negative" rather than "not a number".
Number ParseNumber(std::string_view token, uint32 max) {
  const bool negative = !token.empty() && token.front() == '-';
  if (negative) {
    token.remove_prefix(1);
  }
  const char* const end = token.data() + token.size();
  uint32 value = 0u;
  const std::from_chars_result parsed = std::from_chars(token.data(), end, value);
  // Digits only, all of them: a letter after any number of digits makes it garbage, even after
  // too many of them.
  if (parsed.ptr != end || parsed.ec == std::errc::invalid_argument) {
    return {NumberKind::kNotANumber, 0u};
  }
  if (negative) {
    return {NumberKind::kNegative, 0u};
  }
  if (parsed.ec == std::errc::result_out_of_range || value > max) {
    return {NumberKind::kTooLarge, 0u};
  }
  return {NumberKind::kOk, value};
}

std::string RangeText(uint32 max) {
  return "0 to " + std::to_string(max);
}

class Parser {
 public:
  explicit Parser(std::string_view name) { scenario_.name = std::string(name); }

  ParseResult Run(std::string_view text) {
    std::size_t line_number = 0u;
    while (!text.empty()) {
      ++line_number;
      const std::size_t newline = text.find('\n');
      const std::string_view line = text.substr(0u, newline);
      text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1u);
      if (!ParseLine(line, line_number)) {
        return Fail();
      }
    }
    if (!seen_statement_) {
      error_ = {0u, "empty scenario: no stimulus, calibration or 'end' line"};
      return Fail();
    }
    if (scenario_.end_ms && !scenario_.stimuli.empty() &&
        scenario_.stimuli.back().time_ms > *scenario_.end_ms) {
      const std::uint32_t end_ms = *scenario_.end_ms;
      const ParsedStimulus& late = *std::find_if(
          scenario_.stimuli.begin(), scenario_.stimuli.end(),
          [end_ms](const ParsedStimulus& stimulus) { return stimulus.time_ms > end_ms; });
      error_ = {late.line, "time " + std::to_string(late.time_ms) + " lies after the end at " +
                               std::to_string(end_ms) + " ms (line " + std::to_string(end_line_) +
                               ") and would never apply"};
      return Fail();
    }
    ParseResult result;
    result.scenario = std::move(scenario_);
    return result;
  }

 private:
  ParseResult Fail() {
    ParseResult result;
    result.error = error_;
    return result;
  }

  bool Error(std::size_t line, std::string message) {
    error_ = {line, std::move(message)};
    return false;
  }

  bool ParseLine(std::string_view line, std::size_t number) {
    const std::size_t comment = line.find('#');
    std::string_view rest = line.substr(0u, comment);
    const std::string_view first = NextToken(rest);
    if (first.empty()) {
      return true;
    }
    seen_statement_ = true;
    if (first == "end") {
      return ParseEnd(rest, number);
    }
    if (first == "calibration") {
      return ParseCalibration(rest, number);
    }
    if (first == "expect") {
      return ParseExpectation(rest, number);
    }
    return ParseStimulus(first, rest, number);
  }

  bool ExpectEndOfLine(std::string_view rest, std::size_t number, const char* after) {
    const std::string_view extra = NextToken(rest);
    if (!extra.empty()) {
      return Error(number, "unexpected " + Quote(extra) + " after " + after);
    }
    return true;
  }

  bool ParseTime(std::string_view token, std::size_t number, uint32& time) {
    const Number parsed = ParseNumber(token, kMaxTimeMs);
    switch (parsed.kind) {
      case NumberKind::kOk:
        time = parsed.value;
        return true;
      case NumberKind::kNegative:
        return Error(number, "negative time " + Quote(token));
      case NumberKind::kTooLarge:
        return Error(number,
                     "time " + Quote(token) + " out of range (" + RangeText(kMaxTimeMs) + " ms)");
      case NumberKind::kNotANumber:
        break;
    }
    return Error(number,
                 "bad time " + Quote(token) + ": expected milliseconds, " + RangeText(kMaxTimeMs));
  }

  bool ParseEnd(std::string_view rest, std::size_t number) {
    if (scenario_.end_ms) {
      return Error(number,
                   "second 'end' line (the first is line " + std::to_string(end_line_) + ")");
    }
    const std::string_view token = NextToken(rest);
    if (token.empty()) {
      return Error(number, "missing time after 'end'");
    }
    uint32 time = 0u;
    if (!ParseTime(token, number, time) || !ExpectEndOfLine(rest, number, "the end time")) {
      return false;
    }
    scenario_.end_ms = time;
    end_line_ = number;
    return true;
  }

  bool ParseCalibration(std::string_view rest, std::size_t number) {
    const std::string_view name = NextToken(rest);
    if (name.empty()) {
      return Error(number,
                   std::string("missing field after 'calibration' (one of ") + kKnownFields + ")");
    }
    const FieldDef* def = nullptr;
    std::size_t index = 0u;
    for (; index < kFields.size(); ++index) {
      if (name == kFields[index].name) {
        def = &kFields[index];
        break;
      }
    }
    if (def == nullptr) {
      return Error(number,
                   "unknown calibration field " + Quote(name) + " (known: " + kKnownFields + ")");
    }
    std::optional<uint16>& field = scenario_.calibration.*(def->field);
    if (field) {
      return Error(number, std::string("calibration field '") + def->name +
                               "' set twice (first on line " +
                               std::to_string(calibration_lines_[index]) + ")");
    }
    const std::string_view token = NextToken(rest);
    if (token.empty()) {
      return Error(number, std::string("missing value for ") + def->name);
    }
    const Number parsed = ParseNumber(token, 65535u);
    if (parsed.kind == NumberKind::kNotANumber) {
      return Error(number, "bad value " + Quote(token) + " for " + def->name + " (expected " +
                               RangeText(65535u) + ")");
    }
    if (parsed.kind != NumberKind::kOk) {
      return Error(number, "value " + Quote(token) + " out of range for " + def->name + " (" +
                               RangeText(65535u) + ")");
    }
    if (!ExpectEndOfLine(rest, number, "the value")) {
      return false;
    }
    field = static_cast<uint16>(parsed.value);
    calibration_lines_[index] = number;
    return true;
  }

  bool ParseStimulus(std::string_view first, std::string_view rest, std::size_t number) {
    const bool looks_numeric =
        first.front() == '-' || (first.front() >= '0' && first.front() <= '9');
    if (!looks_numeric) {
      if (FindInput(first) != nullptr) {
        return Error(number, "missing time before " + Quote(first));
      }
      if (first == "note") {
        return Error(number, "missing time before 'note'");
      }
      return Error(number, "unknown statement " + Quote(first) +
                               ": a line starts with a time in ms, 'calibration', 'end' or "
                               "'expect'");
    }
    ParsedStimulus stimulus;
    stimulus.line = number;
    if (!ParseTime(first, number, stimulus.time_ms)) {
      return false;
    }
    if (!scenario_.stimuli.empty() && stimulus.time_ms < scenario_.stimuli.back().time_ms) {
      const ParsedStimulus& previous = scenario_.stimuli.back();
      return Error(number, "time " + std::to_string(stimulus.time_ms) +
                               " is earlier than the time before it (" +
                               std::to_string(previous.time_ms) + " ms on line " +
                               std::to_string(previous.line) + ")");
    }
    const std::string_view name = NextToken(rest);
    if (name.empty()) {
      return Error(number, "missing input after time " + std::to_string(stimulus.time_ms) +
                               " (one of " + kKnownInputs + ")");
    }
    if (name == "note") {
      const std::string_view text = TrimBlanks(rest);
      if (text.empty()) {
        return Error(number, "note without text");
      }
      stimulus.input = Input::kNote;
      stimulus.text = std::string(text);
      scenario_.stimuli.push_back(std::move(stimulus));
      return true;
    }
    const InputDef* const def = FindInput(name);
    if (def == nullptr) {
      return Error(number, "unknown signal " + Quote(name) + " (expected " + kKnownInputs + ")");
    }
    const std::string_view token = NextToken(rest);
    if (token.empty()) {
      return Error(number, std::string("missing value for ") + InputName(def->input));
    }
    if (!ParseInputValue(*def, token, number, stimulus.value) ||
        !ExpectEndOfLine(rest, number, "the value")) {
      return false;
    }
    stimulus.input = def->input;
    scenario_.stimuli.push_back(std::move(stimulus));
    return true;
  }

  bool ParseExpectation(std::string_view rest, std::size_t number) {
    ParsedExpectation parsed;
    Expectation& expectation = parsed.expectation;
    expectation.line = static_cast<uint32>(number);
    parsed.text = "expect";
    const auto next = [&rest, &parsed]() {
      const std::string_view token = NextToken(rest);
      if (!token.empty()) {
        parsed.text += ' ';
        parsed.text += token;
      }
      return token;
    };

    const std::string_view name = next();
    if (name.empty()) {
      return Error(number, "missing signal after 'expect' (one of " + KnownJudgedSignals() + ")");
    }
    const std::size_t signal = FindJudgedSignal(name);
    if (signal == kJudgedSignalCount) {
      return Error(number, "unknown signal " + Quote(name) + " in expectation (expected " +
                               KnownJudgedSignals() + ")");
    }
    expectation.signal = static_cast<uint32>(signal);

    const std::string_view op = next();
    const auto* const found = std::find(kOpTexts.begin(), kOpTexts.end(), op);
    if (op.empty() || found == kOpTexts.end()) {
      return Error(
          number, (op.empty() ? std::string("missing operator") : "unknown operator " + Quote(op)) +
                      " after " + JudgedSignalName(signal) + " (expected " + kKnownOps + ")");
    }
    expectation.op = static_cast<CompareOp>(found - kOpTexts.begin());

    const std::string_view value = next();
    if (value.empty()) {
      return Error(number, std::string("missing value for ") + JudgedSignalName(signal));
    }
    if (!ParseExpectedValue(signal, value, number, expectation.value)) {
      return false;
    }
    if (!ParseWindow(next, number, expectation)) {
      return false;
    }

    const std::string_view as = next();
    if (!as.empty()) {
      if (as != "as") {
        return Error(number, "unexpected " + Quote(as) + " after the window (expected 'as ID')");
      }
      const std::string_view id = next();
      if (id.empty()) {
        return Error(number, "missing requirement after 'as'");
      }
      if (!std::all_of(id.begin(), id.end(), IsIdCharacter)) {
        return Error(number,
                     "bad requirement " + Quote(id) + ": letters, digits, '_', '.' and '-' only");
      }
      parsed.id = std::string(id);
      if (!ExpectEndOfLine(rest, number, "the requirement")) {
        return false;
      }
    }
    scenario_.expectations.push_back(std::move(parsed));
    return true;
  }

  bool ParseExpectedValue(std::size_t signal, std::string_view token, std::size_t number,
                          uint32& value) {
    const std::vector<Word> words = ValueWords(signal);
    std::string expected;
    for (const Word& word : words) {
      if (token == word.word) {
        value = word.value;
        return true;
      }
      expected += std::string(word.word) + ", ";
    }
    return ParseValueNumber(token, JudgedSignalMax(signal), JudgedSignalName(signal),
                            expected + "or ", number, value);
  }

  // A number for the value of name, 0 to max; words_before lists the words it could also have
  // been, for the message of a token that is neither ("latched, unlatched or ").
  bool ParseValueNumber(std::string_view token, uint32 max, const char* name,
                        const std::string& words_before, std::size_t number, uint32& value) {
    const Number parsed = ParseNumber(token, max);
    if (parsed.kind == NumberKind::kOk) {
      value = parsed.value;
      return true;
    }
    if (parsed.kind != NumberKind::kNotANumber) {
      return Error(number, "value " + Quote(token) + " out of range for " + name + " (" +
                               RangeText(max) + ")");
    }
    return Error(number, "bad value " + Quote(token) + " for " + name + " (expected " +
                             words_before + RangeText(max) + ")");
  }

  template <typename Next>
  bool ParseWindow(Next& next, std::size_t number, Expectation& expectation) {
    const std::string_view kind = next();
    if (kind.empty()) {
      return Error(number, std::string("missing window after the value (") + kKnownWindows + ")");
    }
    if (kind == "always") {
      expectation.window = Window::kAlways;
      return true;
    }
    if (kind == "at") {
      expectation.window = Window::kAt;
      const std::string_view time = next();
      if (time.empty()) {
        return Error(number, "missing time after 'at'");
      }
      if (!ParseTime(time, number, expectation.from_ms)) {
        return false;
      }
      expectation.to_ms = expectation.from_ms;
      return true;
    }
    if (kind != "during" && kind != "within") {
      return Error(number, "unknown window " + Quote(kind) + " (expected " + kKnownWindows + ")");
    }
    expectation.window = kind == "during" ? Window::kDuring : Window::kWithin;
    const std::string_view span = next();
    const std::size_t dots = span.find("..");
    if (span.empty() || dots == std::string_view::npos) {
      return Error(number,
                   (span.empty() ? std::string("missing window") : "bad window " + Quote(span)) +
                       " after " + Quote(kind) + ": expected FROM..TO in ms");
    }
    if (!ParseTime(span.substr(0u, dots), number, expectation.from_ms) ||
        !ParseTime(span.substr(dots + 2u), number, expectation.to_ms)) {
      return false;
    }
    if (expectation.from_ms > expectation.to_ms) {
      return Error(number, "window " + std::string(span) + " ends before it starts");
    }
    TickSpan ticks;
    if (!ExpectationSpan(expectation, kMaxTimeMs / kTickMs, ticks)) {
      return Error(number, "window " + std::string(span) +
                               " holds no tick (the ticks run at multiples of 10 ms from 10)");
    }
    return true;
  }

  bool ParseInputValue(const InputDef& def, std::string_view token, std::size_t number,
                       uint32& value) {
    const auto* const word =
        std::find_if(def.words.begin(), def.words.end(),
                     [token](const Word& w) { return w.word != nullptr && token == w.word; });
    if (word != def.words.end()) {
      value = word->value;
      return true;
    }
    std::string expected;
    if (def.words[0].word != nullptr) {
      expected = std::string(def.words[0].word) + ", " + def.words[1].word + " or ";
    }
    return ParseValueNumber(token, InputMax(def.input), InputName(def.input), expected, number,
                            value);
  }

  Scenario scenario_;
  ParseError error_;
  bool seen_statement_ = false;
  std::size_t end_line_ = 0u;
  std::array<std::size_t, kFields.size()> calibration_lines_{};
};

}  // namespace

SeatbeltCalibration_t CalibrationOverrides::ApplyTo(SeatbeltCalibration_t base) const {
  base.latch_debounce_ms = latch_debounce_ms.value_or(base.latch_debounce_ms);
  base.unlatch_debounce_ms = unlatch_debounce_ms.value_or(base.unlatch_debounce_ms);
  base.occ_debounce_ms = occ_debounce_ms.value_or(base.occ_debounce_ms);
  base.speed_threshold = speed_threshold.value_or(base.speed_threshold);
  base.door_grace_ms = door_grace_ms.value_or(base.door_grace_ms);
  return base;
}

ParseResult ParseScenario(std::string_view text, std::string_view name) {
  return Parser(name).Run(text);
}

ParseResult LoadScenarioFile(const std::string& path) {
  ParseResult result;
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): single-threaded host
    result.error = {0u, std::string("cannot open: ") + std::strerror(errno)};
    return result;
  }
  // A scenario is a few kilobytes; a small chunk keeps a read from touching (and zeroing) a
  // large stack, which each of seatbelt_test's forked children would pay for.
  std::string text;
  std::array<char, 4096> chunk{};
  std::size_t got = 0u;
  while ((got = std::fread(chunk.data(), 1u, chunk.size(), file.get())) > 0u) {
    text.append(chunk.data(), got);
  }
  // A directory opens fine on Linux and fails only on the read.
  if (std::ferror(file.get()) != 0) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): single-threaded host
    result.error = {0u, std::string("cannot read: ") + std::strerror(errno)};
    return result;
  }
  return ParseScenario(text, path);
}

std::string FormatParseError(std::string_view name, const ParseError& error) {
  std::string out(name);
  if (error.line != 0u) {
    out += ":" + std::to_string(error.line);
  }
  out += ": " + error.message;
  return out;
}

uint32 TicksForDuration(uint32 end_ms) {
  // 64-bit so that rounding kMaxTimeMs - 9 up cannot wrap.
  return static_cast<uint32>((static_cast<std::uint64_t>(end_ms) + kTickMs - 1u) / kTickMs);
}

std::optional<uint32> ParseDurationMs(std::string_view text) {
  const Number parsed = ParseNumber(text, kMaxTimeMs);
  if (parsed.kind != NumberKind::kOk) {
    return std::nullopt;
  }
  return parsed.value;
}

}  // namespace seatbelt_sim
