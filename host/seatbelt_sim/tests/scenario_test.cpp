// Scenario parser and command line of seatbelt_sim: what good input yields, and the message for
// each kind of bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"
#include "scenario.h"

namespace seatbelt_sim {
namespace {

Scenario ParseOk(std::string_view text) {
  ParseResult result = ParseScenario(text, "s.txt");
  EXPECT_TRUE(result.scenario.has_value())
      << "rejected: " << FormatParseError("s.txt", result.error);
  return result.scenario.value_or(Scenario{});
}

std::string ParseError(std::string_view text) {
  const ParseResult result = ParseScenario(text, "s.txt");
  if (result.scenario) {
    return "(accepted)";
  }
  return FormatParseError("s.txt", result.error);
}

TEST(SeatbeltSimScenario, ReadsEveryKindOfStatement) {
  const Scenario scenario = ParseOk(
      "# comment line\r\n"
      "\r\n"
      "calibration door_grace_ms 2000   # trailing comment\r\n"
      "calibration speed_threshold 0\r\n"
      "  0 ignition on\r\n"
      "0\tlatch\tunlatched\r\n"
      "15 occupancy occupied\r\n"
      "15 note  Pulling away, slowly \r\n"
      "1000 speed 65535\r\n"
      "1000 door open\r\n"
      "2000 latch 255\n"
      "2000 occupancy 4294967295\n"
      "end 4294967290");  // no newline after the last line

  EXPECT_EQ(scenario.name, "s.txt");
  ASSERT_TRUE(scenario.end_ms.has_value());
  EXPECT_EQ(*scenario.end_ms, kMaxTimeMs);
  EXPECT_EQ(scenario.calibration.door_grace_ms, std::optional<uint16>(2000u));
  EXPECT_EQ(scenario.calibration.speed_threshold, std::optional<uint16>(0u));
  EXPECT_FALSE(scenario.calibration.latch_debounce_ms.has_value());

  struct Expected {
    uint32 time_ms;
    Input input;
    uint32 value;
    std::size_t line;
  };
  const std::vector<Expected> expected = {
      {0u, Input::kIgnition, IGN_ON, 5u},         {0u, Input::kLatch, 0u, 6u},
      {15u, Input::kOccupancy, OCC_OCCUPIED, 7u}, {15u, Input::kNote, 0u, 8u},
      {1000u, Input::kSpeed, 65535u, 9u},         {1000u, Input::kDoor, 0u, 10u},
      {2000u, Input::kLatch, 255u, 11u},          {2000u, Input::kOccupancy, 4294967295u, 12u},
  };
  ASSERT_EQ(scenario.stimuli.size(), expected.size());
  for (std::size_t i = 0u; i < expected.size(); ++i) {
    const ParsedStimulus& got = scenario.stimuli[i];
    EXPECT_EQ(got.time_ms, expected[i].time_ms) << "stimulus " << i;
    EXPECT_EQ(got.input, expected[i].input) << "stimulus " << i;
    EXPECT_EQ(got.value, expected[i].value) << "stimulus " << i;
    EXPECT_EQ(got.line, expected[i].line) << "stimulus " << i;
  }
  EXPECT_EQ(scenario.stimuli[3].text, "Pulling away, slowly");
}

TEST(SeatbeltSimScenario, AcceptsScenariosWithoutStimuliOrEnd) {
  EXPECT_FALSE(ParseOk("calibration latch_debounce_ms 0\n").end_ms.has_value());
  EXPECT_TRUE(ParseOk("end 0\n").stimuli.empty());
  // A stimulus exactly at the end still applies, on the last tick.
  EXPECT_EQ(ParseOk("100 speed 1\nend 100\n").stimuli.size(), 1u);
}

TEST(SeatbeltSimScenario, OverridesOnlyTheCalibrationFieldsGiven) {
  const Scenario scenario = ParseOk(
      "calibration latch_debounce_ms 1\ncalibration unlatch_debounce_ms 2\n"
      "calibration occ_debounce_ms 65535\nend 0\n");
  const SeatbeltCalibration_t base = {50u, 100u, 300u, 25u, 3000u};
  const SeatbeltCalibration_t cal = scenario.calibration.ApplyTo(base);
  EXPECT_EQ(cal.latch_debounce_ms, 1u);
  EXPECT_EQ(cal.unlatch_debounce_ms, 2u);
  EXPECT_EQ(cal.occ_debounce_ms, 65535u);
  EXPECT_EQ(cal.speed_threshold, 25u);
  EXPECT_EQ(cal.door_grace_ms, 3000u);
}

struct BadCase {
  const char* text;
  const char* message;
};

void ExpectErrors(const std::vector<BadCase>& cases) {
  for (const BadCase& bad : cases) {
    EXPECT_EQ(ParseError(bad.text), bad.message) << "input: " << bad.text;
  }
}

TEST(SeatbeltSimScenarioErrors, UnknownNames) {
  ExpectErrors({
      {"0 ignition on\n1200 sped 30\n",
       "s.txt:2: unknown signal 'sped' (expected latch, occupancy, speed, door, ignition or "
       "note)"},
      {"begin 100\n",
       "s.txt:1: unknown statement 'begin': a line starts with a time in ms, 'calibration', "
       "'end' or 'expect'"},
      {"calibration grace 100\n",
       "s.txt:1: unknown calibration field 'grace' (known: latch_debounce_ms, "
       "unlatch_debounce_ms, occ_debounce_ms, speed_threshold, door_grace_ms)"},
      {"0 door ajar\n", "s.txt:1: bad value 'ajar' for door (expected closed, open or 0 to 1)"},
      {"0 speed fast\n", "s.txt:1: bad value 'fast' for speed (expected 0 to 65535)"},
      {"0 ignition ON\n",
       "s.txt:1: bad value 'ON' for ignition (expected on, off or 0 to 4294967295)"},
  });
}

TEST(SeatbeltSimScenarioErrors, ValuesOutOfRangeForTheirType) {
  ExpectErrors({
      {"0 latch 256\n", "s.txt:1: value '256' out of range for latch (0 to 255)"},
      {"0 speed 65536\n", "s.txt:1: value '65536' out of range for speed (0 to 65535)"},
      {"0 door 2\n", "s.txt:1: value '2' out of range for door (0 to 1)"},
      {"0 occupancy 4294967296\n",
       "s.txt:1: value '4294967296' out of range for occupancy (0 to 4294967295)"},
      {"0 ignition 99999999999999999999\n",
       "s.txt:1: value '99999999999999999999' out of range for ignition (0 to 4294967295)"},
      {"0 speed -1\n", "s.txt:1: value '-1' out of range for speed (0 to 65535)"},
      {"calibration door_grace_ms 65536\n",
       "s.txt:1: value '65536' out of range for door_grace_ms (0 to 65535)"},
      {"calibration door_grace_ms -3\n",
       "s.txt:1: value '-3' out of range for door_grace_ms (0 to 65535)"},
      {"calibration door_grace_ms 3s\n",
       "s.txt:1: bad value '3s' for door_grace_ms (expected 0 to 65535)"},
  });
}

TEST(SeatbeltSimScenarioErrors, BadOrMissingTimes) {
  ExpectErrors({
      {"speed 30\n", "s.txt:1: missing time before 'speed'"},
      {"note hello\n", "s.txt:1: missing time before 'note'"},
      {"-10 speed 30\n", "s.txt:1: negative time '-10'"},
      {"-0 speed 30\n", "s.txt:1: negative time '-0'"},
      {"12abc speed 30\n", "s.txt:1: bad time '12abc': expected milliseconds, 0 to 4294967290"},
      {"1.5 speed 30\n", "s.txt:1: bad time '1.5': expected milliseconds, 0 to 4294967290"},
      {"4294967300 speed 1\n", "s.txt:1: time '4294967300' out of range (0 to 4294967290 ms)"},
      {"end\n", "s.txt:1: missing time after 'end'"},
      {"end soon\n", "s.txt:1: bad time 'soon': expected milliseconds, 0 to 4294967290"},
      {"1000 speed 1\n# gap\n500 speed 2\n",
       "s.txt:3: time 500 is earlier than the time before it (1000 ms on line 1)"},
      {"end 100\n200 speed 1\n",
       "s.txt:2: time 200 lies after the end at 100 ms (line 1) and would never apply"},
      {"200 speed 1\nend 100\n",
       "s.txt:1: time 200 lies after the end at 100 ms (line 2) and would never apply"},
      {"end 100\nend 200\n", "s.txt:2: second 'end' line (the first is line 1)"},
  });
}

TEST(SeatbeltSimScenarioErrors, IncompleteOrOverlongLines) {
  ExpectErrors({
      {"100\n",
       "s.txt:1: missing input after time 100 (one of latch, occupancy, speed, door, ignition "
       "or note)"},
      {"100 speed\n", "s.txt:1: missing value for speed"},
      {"100 speed 5 6\n", "s.txt:1: unexpected '6' after the value"},
      {"100 note   # only a comment\n", "s.txt:1: note without text"},
      {"end 100 200\n", "s.txt:1: unexpected '200' after the end time"},
      {"calibration\n",
       "s.txt:1: missing field after 'calibration' (one of latch_debounce_ms, "
       "unlatch_debounce_ms, occ_debounce_ms, speed_threshold, door_grace_ms)"},
      {"calibration speed_threshold\n", "s.txt:1: missing value for speed_threshold"},
      {"calibration speed_threshold 5\ncalibration speed_threshold 6\n",
       "s.txt:2: calibration field 'speed_threshold' set twice (first on line 1)"},
  });
}

TEST(SeatbeltSimScenarioErrors, EmptyInputAndGarbage) {
  ExpectErrors({
      {"", "s.txt: empty scenario: no stimulus, calibration or 'end' line"},
      {"\n\n  # nothing but comments\n\t\n",
       "s.txt: empty scenario: no stimulus, calibration or 'end' line"},
  });
  // Unprintable bytes are escaped and long tokens cut, so the message stays one short line.
  EXPECT_EQ(ParseError(std::string("\x7f\x01 speed 1\n", 10)),
            "s.txt:1: unknown statement '\\x7f\\x01': a line starts with a time in ms, "
            "'calibration', 'end' or 'expect'");
  EXPECT_EQ(ParseError(std::string("0 speed \0\n", 10)),
            "s.txt:1: bad value '\\x00' for speed (expected 0 to 65535)");
  EXPECT_EQ(ParseError("0 " + std::string(100, 'x') + " 1\n"),
            "s.txt:1: unknown signal '" + std::string(40, 'x') +
                "...' (expected latch, occupancy, speed, door, ignition or note)");
}

TEST(SeatbeltSimScenarioExpectations, ParsesEveryFormAnywhereInTheFile) {
  const ParseResult parsed = ParseScenario(
      "expect latch_stuck == true at 5010 as R-1.a_b  # after the end too\n"
      "end 100\n"
      "expect warning_request != active during 10..90\n"
      "expect door_raw <= open within 0..0x\n",
      "s.txt");
  ASSERT_FALSE(parsed.scenario.has_value());
  EXPECT_EQ(parsed.error.line, 4u);  // a bad time, after the end line

  const ParseResult good = ParseScenario(
      "expect latch_stuck == true at 5010 as R-1.a_b  # after the end too\n"
      "end 100\n"
      "50 speed 3\n"
      "expect\twarning_request   >=  active during 10..90\n"
      "expect occupancy_filtered < 4294967295 always\n"
      "expect latch_filtered_status > 131 within 5..5000\n",
      "s.txt");
  ASSERT_TRUE(good.scenario.has_value()) << good.error.message;
  const std::vector<ParsedExpectation>& got = good.scenario->expectations;
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].text, "expect latch_stuck == true at 5010 as R-1.a_b");
  EXPECT_EQ(got[0].id, "R-1.a_b");
  EXPECT_EQ(got[0].expectation.signal, kLatchStuck);
  EXPECT_EQ(got[0].expectation.from_ms, 5010u);
  EXPECT_EQ(got[1].text, "expect warning_request >= active during 10..90");
  EXPECT_EQ(got[1].expectation.op, CompareOp::kGreaterEqual);
  EXPECT_EQ(got[1].expectation.value, 2u);
  EXPECT_EQ(got[1].expectation.line, 4u);
  EXPECT_EQ(got[2].expectation.window, Window::kAlways);
  EXPECT_EQ(got[2].expectation.value, 4294967295u);
  EXPECT_EQ(got[3].expectation.window, Window::kWithin);
  EXPECT_EQ(got[3].expectation.to_ms, 5000u);
  EXPECT_TRUE(got[3].id.empty());
}

TEST(SeatbeltSimScenarioExpectations, RejectsWhatCouldNeverBeJudged) {
  ExpectErrors({
      {"expect speed == 1 always\n",
       "s.txt:1: unknown signal 'speed' in expectation (expected latch_raw, occupancy_raw, "
       "speed_raw, door_raw, ignition_raw, latch_filtered, latch_filtered_status, "
       "occupancy_filtered, occupancy_filtered_status, vehicle_speed, vehicle_speed_status, "
       "ignition_state, ignition_state_status, door_closed, door_closed_status, "
       "warning_request, latch_stuck or speed_stuck)"},
      {"expect speed_raw = 1 always\n",
       "s.txt:1: unknown operator '=' after speed_raw (expected ==, !=, <, <=, > or >=)"},
      {"expect latch_raw == open always\n",
       "s.txt:1: bad value 'open' for latch_raw (expected unlatched, latched, true, false, or 0 "
       "to 255)"},
      {"expect warning_request == 256 always\n",
       "s.txt:1: value '256' out of range for warning_request (0 to 255)"},
      {"expect door_closed_status == 300 always\n",
       "s.txt:1: value '300' out of range for door_closed_status (0 to 255)"},
      {"expect speed_stuck == 2 always\n",
       "s.txt:1: value '2' out of range for speed_stuck (0 to 1)"},
      {"expect speed_raw == 1 sometimes\n",
       "s.txt:1: unknown window 'sometimes' (expected at TIME, during FROM..TO, within FROM..TO "
       "or always)"},
      {"expect speed_raw == 1 during 200..100\n", "s.txt:1: window 200..100 ends before it starts"},
      {"expect speed_raw == 1 within 1001..1009\n",
       "s.txt:1: window 1001..1009 holds no tick (the ticks run at multiples of 10 ms from 10)"},
      {"expect speed_raw == 1 during 100-200\n",
       "s.txt:1: bad window '100-200' after 'during': expected FROM..TO in ms"},
      {"expect speed_raw == 1 at\n", "s.txt:1: missing time after 'at'"},
      {"expect speed_raw == 1 always as\n", "s.txt:1: missing requirement after 'as'"},
      {"expect speed_raw == 1 always as R/1\n",
       "s.txt:1: bad requirement 'R/1': letters, digits, '_', '.' and '-' only"},
      {"expect speed_raw == 1 always because\n",
       "s.txt:1: unexpected 'because' after the window (expected 'as ID')"},
  });
}

TEST(SeatbeltSimScenarioFile, ReportsFilesThatCannotBeRead) {
  ParseResult missing = LoadScenarioFile("/nonexistent/scenario.txt");
  ASSERT_FALSE(missing.scenario.has_value());
  EXPECT_EQ(FormatParseError("x.txt", missing.error),
            "x.txt: cannot open: No such file or directory");

  ParseResult directory = LoadScenarioFile("/");
  ASSERT_FALSE(directory.scenario.has_value());
  EXPECT_EQ(FormatParseError("/", directory.error), "/: cannot read: Is a directory");
}

TEST(SeatbeltSimTiming, RoundsTheEndUpToWholeTicks) {
  EXPECT_EQ(TicksForDuration(0u), 0u);
  EXPECT_EQ(TicksForDuration(1u), 1u);
  EXPECT_EQ(TicksForDuration(10u), 1u);
  EXPECT_EQ(TicksForDuration(15u), 2u);
  EXPECT_EQ(TicksForDuration(86400000u), 8640000u);
  // Rounding up near the top must not wrap to 0 ticks.
  EXPECT_EQ(TicksForDuration(kMaxTimeMs - 5u), 429496729u);
  EXPECT_EQ(TicksForDuration(kMaxTimeMs), 429496729u);
}

// --- command line ---------------------------------------------------------------------------

OptionsResult Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "seatbelt_sim");
  return ParseOptions(static_cast<int>(args.size()), args.data());
}

TEST(SeatbeltSimCommandLine, ReadsOptionsInBothForms) {
  const OptionsResult result =
      Parse({"--csv", "out.csv", "--vcd=out.vcd", "--duration", "86400000", "drive.txt"});
  ASSERT_TRUE(result.options.has_value()) << result.error;
  EXPECT_EQ(result.options->csv_path, std::optional<std::string>("out.csv"));
  EXPECT_EQ(result.options->vcd_path, std::optional<std::string>("out.vcd"));
  EXPECT_EQ(result.options->duration_ms, std::optional<uint32>(86400000u));
  EXPECT_EQ(result.options->scenario_path, std::optional<std::string>("drive.txt"));
  EXPECT_FALSE(result.options->help);

  const OptionsResult none = Parse({});
  ASSERT_TRUE(none.options.has_value());
  EXPECT_FALSE(none.options->scenario_path.has_value());

  const OptionsResult dashed = Parse({"--duration=0", "--", "-odd-name.txt"});
  ASSERT_TRUE(dashed.options.has_value()) << dashed.error;
  EXPECT_EQ(dashed.options->scenario_path, std::optional<std::string>("-odd-name.txt"));
  EXPECT_EQ(dashed.options->duration_ms, std::optional<uint32>(0u));

  const OptionsResult help = Parse({"--duration", "abc", "-h"});
  EXPECT_FALSE(help.options.has_value()) << "an error before --help is still an error";
  const OptionsResult help_first = Parse({"--help", "--bogus"});
  ASSERT_TRUE(help_first.options.has_value());
  EXPECT_TRUE(help_first.options->help);
}

TEST(SeatbeltSimCommandLine, RejectsBadOptionsWithAClearMessage) {
  const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
      {{"--duration", "abc"}, "invalid duration 'abc' (expected ms, 0 to 4294967290)"},
      {{"--duration", "-5"}, "invalid duration '-5' (expected ms, 0 to 4294967290)"},
      {{"--duration=4294967291"}, "invalid duration '4294967291' (expected ms, 0 to 4294967290)"},
      {{"--duration"}, "option '--duration' needs a time in ms"},
      {{"--duration", "5", "--duration", "6"}, "option '--duration' given twice"},
      {{"--csv"}, "option '--csv' needs a file name"},
      {{"--csv", "--vcd", "x.vcd"}, "option '--csv' needs a file name"},
      {{"--vcd="}, "option '--vcd' needs a file name"},
      {{"--csv", "a", "--csv", "b"}, "option '--csv' given twice"},
      {{"--fast"}, "unknown option '--fast'"},
      {{"-x"}, "unknown option '-x'"},
      // Control bytes are escaped, so an option cannot drive the terminal.
      {{"--\x1b[2J"}, "unknown option '--\\x1b[2J'"},
      {{"--duration", "1\n2"}, "invalid duration '1\\x0a2' (expected ms, 0 to 4294967290)"},
      {{"a.txt", "b.txt"}, "more than one scenario file ('a.txt' and 'b.txt')"},
  };
  for (const auto& [args, message] : cases) {
    const OptionsResult result = Parse(args);
    EXPECT_FALSE(result.options.has_value()) << message;
    EXPECT_EQ(result.error, message);
  }
}

}  // namespace
}  // namespace seatbelt_sim
