// Checks of the scenario fuzzer: each must complain about the fault it is there for (a check
// that never fires finds nothing), the formatter must give text the parser reads back, and the
// seed corpus and the example scenarios must pass.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scenario_oracle.h"

namespace {

using scenario_fuzz::CheckDuration;
using scenario_fuzz::CheckError;
using scenario_fuzz::CheckOptions;
using scenario_fuzz::CheckParse;
using scenario_fuzz::CheckScenario;
using scenario_fuzz::CountLines;
using scenario_fuzz::FormatScenario;
using seatbelt_sim::Input;
using seatbelt_sim::Scenario;

constexpr std::string_view kSample =
    "calibration door_grace_ms 2000\n"
    "0 ignition on   # comment\n"
    "5 note \t hello  world \n"
    "\n"
    "10 door 1\n"
    "end 10";

Scenario ParseSample() {
  const seatbelt_sim::ParseResult result =
      seatbelt_sim::ParseScenario(kSample, scenario_fuzz::kScenarioName);
  EXPECT_TRUE(result.scenario.has_value()) << result.error.message;
  return result.scenario.value_or(Scenario{});
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ScenarioOracle, CountsLinesAsTheParserDoes) {
  EXPECT_EQ(CountLines(""), 0u);
  EXPECT_EQ(CountLines("end 10"), 1u);
  EXPECT_EQ(CountLines("end 10\n"), 1u);
  EXPECT_EQ(CountLines("\n\nend 10"), 3u);
  EXPECT_EQ(CountLines(kSample), 6u);
}

TEST(ScenarioOracle, FormatsAScenarioTheParserReadsBack) {
  const Scenario scenario = ParseSample();
  EXPECT_EQ(FormatScenario(scenario),
            "calibration door_grace_ms 2000\n"
            "0 ignition 1\n"
            "5 note hello  world\n"
            "10 door 1\n"
            "end 10\n");
  EXPECT_EQ(scenario_fuzz::CheckRoundTrip(scenario), "");
  EXPECT_EQ(CheckScenario(scenario, CountLines(kSample)), "");
}

TEST(ScenarioOracle, ComplainsAboutEachMalformedScenario) {
  struct Case {
    const char* expected_message;
    void (*spoil)(Scenario&);
  };
  // Stimuli of the sample: 0 ignition (line 2), 1 note (line 3), 2 door (line 5).
  const Case cases[] = {
      {"scenario name 'other'", [](Scenario& s) { s.name = "other"; }},
      {"stimulus 2: time decreases", [](Scenario& s) { s.stimuli[2].time_ms = 4u; }},
      {"stimulus 0: time beyond the clock",
       [](Scenario& s) { s.stimuli[0].time_ms = seatbelt_sim::kMaxTimeMs + 1u; }},
      {"stimulus 0: line 0 outside 1..6", [](Scenario& s) { s.stimuli[0].line = 0u; }},
      {"stimulus 2: line 7 outside 1..6", [](Scenario& s) { s.stimuli[2].line = 7u; }},
      {"stimulus 2: line does not increase", [](Scenario& s) { s.stimuli[2].line = 3u; }},
      {"stimulus 2: value 2 out of range for door", [](Scenario& s) { s.stimuli[2].value = 2u; }},
      {"stimulus 1: note without text", [](Scenario& s) { s.stimuli[1].text.clear(); }},
      {"stimulus 1: note text not trimmed", [](Scenario& s) { s.stimuli[1].text += '\t'; }},
      {"stimulus 1: note text holds a newline or '#'",
       [](Scenario& s) { s.stimuli[1].text = "a # b"; }},
      {"stimulus 0: text on a stimulus that is no note",
       [](Scenario& s) { s.stimuli[0].text = "x"; }},
      {"stimulus 2: after the end", [](Scenario& s) { s.end_ms = 9u; }},
  };
  for (const Case& c : cases) {
    Scenario scenario = ParseSample();
    c.spoil(scenario);
    EXPECT_EQ(CheckScenario(scenario, CountLines(kSample)), c.expected_message);
  }
}

TEST(ScenarioOracle, ExpectationsRoundTripAndAreChecked) {
  constexpr std::string_view kText =
      "expect door_closed_status < 132 within 5..20 as R-1.a\n"
      "end 30\n"
      "expect warning_request == active always\n";
  const seatbelt_sim::ParseResult parsed =
      seatbelt_sim::ParseScenario(kText, scenario_fuzz::kScenarioName);
  ASSERT_TRUE(parsed.scenario.has_value()) << parsed.error.message;
  EXPECT_EQ(FormatScenario(*parsed.scenario),
            "end 30\n"
            "expect door_closed_status < 132 within 5..20 as R-1.a\n"
            "expect warning_request == 2 always\n");
  EXPECT_EQ(scenario_fuzz::CheckRoundTrip(*parsed.scenario), "");
  EXPECT_EQ(CheckScenario(*parsed.scenario, CountLines(kText)), "");

  struct Case {
    const char* expected_message;
    void (*spoil)(Scenario&);
  };
  const Case cases[] = {
      {"expectation 1: value out of range",
       [](Scenario& s) { s.expectations[1].expectation.value = 256u; }},
      {"expectation 0: window without a tick",
       [](Scenario& s) {
         s.expectations[0].expectation.from_ms = 1001u;
         s.expectations[0].expectation.to_ms = 1009u;
       }},
      {"expectation 1: line does not increase",
       [](Scenario& s) { s.expectations[1].expectation.line = 1u; }},
      {"expectation 0: statement text not the words of an expect line",
       [](Scenario& s) { s.expectations[0].text = "expect  door_closed_status"; }},
      {"expectation 0: requirement ID with other characters",
       [](Scenario& s) { s.expectations[0].id = "R/1"; }},
  };
  for (const Case& c : cases) {
    Scenario scenario = *parsed.scenario;
    c.spoil(scenario);
    EXPECT_EQ(CheckScenario(scenario, CountLines(kText)), c.expected_message);
  }
}

TEST(ScenarioOracle, ComplainsAboutUnsafeOrMisplacedErrors) {
  EXPECT_EQ(CheckError({2u, "unknown statement 'x'"}, 2u), "");
  EXPECT_EQ(CheckError({0u, "empty scenario"}, 0u), "");
  EXPECT_EQ(CheckError({3u, "bad"}, 2u), "error on line 3 of 2");
  EXPECT_EQ(CheckError({1u, ""}, 2u), "error without a message");
  EXPECT_EQ(CheckError({1u, "bad value '\x1b[2J'"}, 2u), "error message holds byte 27");
  EXPECT_EQ(CheckError({1u, "caf\xc3\xa9"}, 2u), "error message holds byte 195");
  EXPECT_EQ(CheckError({1u, std::string(601u, 'x')}, 2u), "error message of 601 characters");
}

TEST(ScenarioOracle, RunLengthsAgreeWithAnIndependentReading) {
  for (const char* text :
       {"0", "007", "10", "4294967290", "4294967291", "4294967296", "99999999999999999999",
        "000000000000004294967290", "", "-1", "+5", " 5", "5 ", "1e3", "0x10"}) {
    EXPECT_EQ(CheckDuration(text), "") << "'" << text << "'";
  }
}

TEST(ScenarioOracle, CommandLinesGiveOptionsOrAMessage) {
  using namespace std::string_literals;
  for (const std::string& bytes : {""s, "--help"s, "--duration\0-5"s, "--duration=4294967291"s,
                                   "a\0b"s, "--csv"s, "--\0--help"s,
                                   "--duration\0"
                                   "10\0--duration\0"
                                   "20"s}) {
    EXPECT_EQ(CheckOptions(bytes), "") << bytes;
  }
}

// Inputs that are rejected exercise the error path, accepted ones the round trip: the corpus
// needs both, and every file must pass as the fuzzer sees it.
TEST(ScenarioOracle, SeedCorpusAndExampleScenariosPass) {
  std::size_t accepted = 0u;
  std::size_t rejected = 0u;
  for (const char* dir : {SCENARIO_FUZZ_CORPUS_DIR, SCENARIO_EXAMPLES_DIR}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string text = ReadFile(entry.path());
      EXPECT_EQ(CheckParse(text), "") << entry.path();
      EXPECT_EQ(CheckDuration(text), "") << entry.path();
      EXPECT_EQ(CheckOptions(text), "") << entry.path();
      const bool ok = seatbelt_sim::ParseScenario(text, "seed").scenario.has_value();
      ++(ok ? accepted : rejected);
    }
  }
  EXPECT_GE(accepted, 4u);
  EXPECT_GE(rejected, 4u);
}

}  // namespace
