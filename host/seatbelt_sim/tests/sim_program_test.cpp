// seatbelt_sim as a user runs it: the built program is started for each case, with the real
// components and runtime layer, and its output, files and exit status are checked. Also
// scenario_table, which hands a scenario to the board: what it writes must be the run that
// seatbelt_sim makes of the same file, and what it refuses, it must refuse as seatbelt_sim does.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_loader.h"
#include "run_table.h"
#include "vcd_reader.h"
#include "xml_reader.h"

namespace {

using seatbelt_sim_test::ReadVcd;
using seatbelt_sim_test::VcdFile;
using seatbelt_sim_test::XmlDocument;
using seatbelt_sim_test::XmlElement;

const std::string kScenarios = SEATBELT_SIM_SCENARIO_DIR;

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "seatbelt_sim_run_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(line);
  }
  return lines;
}

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs program with args; stdout_path, if given, receives standard output instead.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdout_path = "") {
  const std::string out = TempPath("stdout");
  const std::string err = TempPath("stderr");
  std::string command = Quote(program);
  for (const std::string& arg : args) {
    command += " " + Quote(arg);
  }
  command += " >" + Quote(stdout_path.empty() ? out : stdout_path) + " 2>" + Quote(err);
  ProgramRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  std::remove(out.c_str());
  std::remove(err.c_str());
  return run;
}

ProgramRun RunSim(const std::vector<std::string>& args, const std::string& stdout_path = "") {
  return RunProgram(SEATBELT_SIM_EXE, args, stdout_path);
}

// The lines from "[SIM] --- summary ---" on.
std::vector<std::string> Summary(const std::string& out) {
  const std::vector<std::string> lines = Lines(out);
  for (std::size_t i = 0u; i < lines.size(); ++i) {
    if (lines[i] == "[SIM] --- summary ---") {
      return {lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end()};
    }
  }
  return {};
}

TEST(SeatbeltSimProgram, BuiltinDriveWarnsExactlyWhenTheStoryDoes) {
  const ProgramRun run = RunSim({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Summary(run.out), (std::vector<std::string>{
                                  "[SIM] ticks run: 3000 (last tick at 30000 ms)",
                                  "[SIM] warning intervals: 2",
                                  "[SIM]   warning from 9000 ms to 13040 ms (4040 ms)",
                                  "[SIM]   warning from 18090 ms to 20040 ms (1950 ms)",
                                  "[SIM] diagnostic reports: 4",
                                  "[SIM]   t=6000 ms: diagnostic event 0x1001 LATCH_STUCK FAILED",
                                  "[SIM]   t=6100 ms: diagnostic event 0x1001 LATCH_STUCK PASSED",
                                  "[SIM]   t=28500 ms: diagnostic event 0x1001 LATCH_STUCK FAILED",
                                  "[SIM]   t=28600 ms: diagnostic event 0x1001 LATCH_STUCK PASSED",
                                  "[SIM] expectations: 8 passed, 0 failed",
                              }));

  // Every line is either the components' trace, every 100 ms, or one of the host's own; the
  // host's line about a tick comes before that tick's trace line.
  const std::vector<std::string> lines = Lines(run.out);
  unsigned next_trace_ms = 100u;
  std::size_t warning_line = 0u;
  std::size_t trace_9000 = 0u;
  for (std::size_t i = 0u; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("[TIME ", 0u) == 0u) {
      unsigned time_ms = 0u;
      ASSERT_EQ(std::sscanf(line.c_str(), "[TIME %u]", &time_ms), 1) << line;
      EXPECT_EQ(time_ms, next_trace_ms) << line;
      next_trace_ms += 100u;
      trace_9000 = time_ms == 9000u ? i : trace_9000;
    } else {
      ASSERT_EQ(line.rfind("[SIM] ", 0u), 0u) << "unmarked line: " << line;
      warning_line = line == "[SIM] t=9000 ms: warning request 0 -> 2 (ACTIVE)" ? i : warning_line;
    }
  }
  EXPECT_EQ(next_trace_ms, 30100u) << "trace lines missing";
  EXPECT_EQ(lines[trace_9000], "[TIME  9000] IGN=1 SPD=25 OCC=1 LATCH=0 DOOR=1 GRACE=0 WARN=2");
  EXPECT_EQ(warning_line + 1u, trace_9000);
}

TEST(SeatbeltSimProgram, ScenarioFileWithCsvAndVcdLogs) {
  const std::string csv_path = TempPath("door_grace.csv");
  const std::string vcd_path = TempPath("door_grace.vcd");
  const ProgramRun run =
      RunSim({"--csv", csv_path, "--vcd", vcd_path, kScenarios + "/door_grace.txt"});
  const std::string csv = ReadFile(csv_path);
  const VcdFile vcd = ReadVcd(ReadFile(vcd_path));
  std::remove(csv_path.c_str());
  std::remove(vcd_path.c_str());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Summary(run.out), (std::vector<std::string>{
                                  "[SIM] ticks run: 1000 (last tick at 10000 ms)",
                                  "[SIM] warning intervals: 1",
                                  "[SIM]   warning from 4490 ms to 8040 ms (3550 ms)",
                                  "[SIM] diagnostic reports: 2",
                                  "[SIM]   t=5010 ms: diagnostic event 0x1001 LATCH_STUCK FAILED",
                                  "[SIM]   t=5110 ms: diagnostic event 0x1001 LATCH_STUCK PASSED",
                                  "[SIM] expectations: 4 passed, 0 failed",
                              }));

  const std::vector<std::string> rows = Lines(csv);
  ASSERT_EQ(rows.size(), 1001u);
  EXPECT_EQ(rows[0].substr(0u, 41u), "\"time\",\"latch_raw\",\"occupancy_raw\",\"speed");
  EXPECT_EQ(rows[1], "0.010,0,1,30,0,1,1,0,0,0,30,0,1,0,0,0,0");
  EXPECT_EQ(rows[448], "4.480,0,1,30,1,1,0,0,1,0,30,0,1,0,1,0,0");
  EXPECT_EQ(rows[449], "4.490,0,1,30,1,1,0,0,1,0,30,0,1,0,1,0,2");
  EXPECT_EQ(rows[1000], "10.000,1,1,30,1,1,1,0,1,0,30,0,1,0,1,0,0");

  // The waveform holds the same values as the table on every tick.
  ASSERT_EQ(vcd.error, "");
  EXPECT_EQ(vcd.last_time, 10000u);
  std::vector<std::string> names;
  {
    std::istringstream header(rows[0]);
    std::string quoted;
    while (std::getline(header, quoted, ',')) {
      names.push_back(quoted.substr(1u, quoted.size() - 2u));
    }
  }
  ASSERT_EQ(names.size(), vcd.vars.size() + 1u);
  for (std::size_t r = 1u; r < rows.size(); ++r) {
    std::istringstream row(rows[r]);
    std::string cell;
    std::getline(row, cell, ',');
    const std::uint64_t time_ms = r * 10u;
    ASSERT_EQ(cell, std::to_string(time_ms / 1000u) + "." +
                        std::to_string(1000u + time_ms % 1000u).substr(1u));
    for (std::size_t c = 1u; std::getline(row, cell, ','); ++c) {
      ASSERT_EQ(std::to_string(vcd.vars.at(names[c]).At(time_ms)), cell)
          << names[c] << " at " << time_ms << " ms";
    }
  }
}

TEST(SeatbeltSimProgram, DurationOverridesTheScenarioEnd) {
  // The scenario's expectations reach past a shorter run, which could never decide them.
  const std::string with_expectations = kScenarios + "/door_grace.txt";
  const ProgramRun refused = RunSim({"--duration", "4495", with_expectations});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err, "seatbelt_sim: " + with_expectations +
                             ":34: expectation reaches past the run's last tick at 4500 ms and "
                             "could never be decided\n");

  std::string text = ReadFile(with_expectations);
  text = text.substr(0u, text.find("\nexpect"));
  const std::string scenario = TempPath("door_grace_stimuli.txt");
  WriteFile(scenario, text);
  const ProgramRun run = RunSim({"--duration", "4495", scenario});
  std::remove(scenario.c_str());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> summary = Summary(run.out);
  ASSERT_GE(summary.size(), 3u);
  EXPECT_EQ(summary[0], "[SIM] ticks run: 450 (last tick at 4500 ms)");
  EXPECT_EQ(summary[2], "[SIM]   warning from 4490 ms to the end (still active at 4500 ms)");
}

TEST(SeatbeltSimProgram, RejectsBadScenariosAndRunsNothing) {
  const std::string scenario = TempPath("bad.txt");
  const std::string csv_path = TempPath("bad.csv");
  struct Case {
    const char* text;  // nullptr: the file does not exist
    std::vector<std::string> extra_args;
    std::string expected_err;
  };
  const std::vector<Case> cases = {
      {"0 speed 10\n1200 sped 30\nend 2000\n",
       {},
       "seatbelt_sim: " + scenario +
           ":2: unknown signal 'sped' (expected latch, occupancy, speed, door, ignition or "
           "note)\n"},
      {"500 speed 10\n100 speed 20\nend 2000\n",
       {},
       "seatbelt_sim: " + scenario +
           ":2: time 100 is earlier than the time before it (500 ms on line 1)\n"},
      {"",
       {},
       "seatbelt_sim: " + scenario +
           ": empty scenario: no stimulus, calibration or "
           "'end' line\n"},
      {"0 speed 10\n",
       {},
       "seatbelt_sim: " + scenario + ": no 'end' line; add one or give --duration MS\n"},
      {nullptr, {}, "seatbelt_sim: " + scenario + ": cannot open: No such file or directory\n"},
  };
  for (const Case& bad : cases) {
    std::remove(scenario.c_str());
    if (bad.text != nullptr) {
      WriteFile(scenario, bad.text);
    }
    std::vector<std::string> args = {"--csv", csv_path, scenario};
    const ProgramRun run = RunSim(args);
    EXPECT_EQ(run.status, 2) << bad.expected_err;
    EXPECT_EQ(run.err, bad.expected_err);
    EXPECT_EQ(run.out, "") << "a rejected scenario must not run";
    EXPECT_FALSE(Exists(csv_path)) << "a rejected scenario must leave no output file";
    std::remove(csv_path.c_str());
  }
  std::remove(scenario.c_str());
  // Without an end line, --duration is enough.
  WriteFile(scenario, "0 speed 10\n");
  const ProgramRun with_duration = RunSim({"--duration", "100", scenario});
  std::remove(scenario.c_str());
  EXPECT_EQ(with_duration.status, 0) << with_duration.err;
}

TEST(SeatbeltSimProgram, RejectsBadCommandLinesWithAHint) {
  const ProgramRun run = RunSim({"--duration", "abc"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "seatbelt_sim: invalid duration 'abc' (expected ms, 0 to 4294967290)\n"
            "Try 'seatbelt_sim --help' for more information.\n");
  EXPECT_EQ(run.out, "");

  const ProgramRun help = RunSim({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: seatbelt_sim [OPTIONS] [SCENARIO_FILE]\n", 0u), 0u);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
}

TEST(SeatbeltSimProgram, ReportsOutputsThatCannotBeWritten) {
  for (const std::string option : {"--csv", "--svg"}) {
    const std::string path = "/nonexistent/dir/out." + option.substr(2u);
    const ProgramRun no_dir = RunSim({option, path});
    EXPECT_EQ(no_dir.status, 1) << option;
    EXPECT_EQ(no_dir.err,
              "seatbelt_sim: cannot create '" + path + "': No such file or directory\n");
    EXPECT_EQ(no_dir.out, "") << "nothing may run before the outputs are open";
  }

  // Failures during the run: a full disk for the log or the picture, then for standard output.
  for (const char* option : {"--vcd", "--svg"}) {
    const ProgramRun full = RunSim({option, "/dev/full"});
    EXPECT_EQ(full.status, 1) << option;
    EXPECT_EQ(full.err, "seatbelt_sim: cannot write '/dev/full': No space left on device\n");
  }

  const ProgramRun full_stdout = RunSim({}, "/dev/full");
  EXPECT_EQ(full_stdout.status, 1);
  EXPECT_EQ(full_stdout.err, "seatbelt_sim: cannot write standard output\n");
}

// A failed expectation ends the run with status 3 once every output is written; an output
// that fails ends it with 1 all the same; a report that cannot be written is refused first.
TEST(SeatbeltSimProgram, ExitStatusOfFailedExpectationsYieldsToFailedOutputs) {
  const std::string verdicts = SEATBELT_SIM_TEST_SCENARIO_DIR "/verdicts.txt";
  const std::string csv_path = TempPath("verdicts.csv");
  const std::string junit_path = TempPath("verdicts.xml");
  const ProgramRun failed = RunSim({"--csv", csv_path, "--junit", junit_path, verdicts});
  EXPECT_EQ(failed.status, 3) << failed.err;
  EXPECT_EQ(failed.err, "");
  EXPECT_NE(failed.out.find("\n[SIM] expectations: 10 passed, 7 failed\n"), std::string::npos);
  EXPECT_EQ(Lines(ReadFile(csv_path)).size(), 621u);
  EXPECT_NE(ReadFile(junit_path).find("tests=\"17\" failures=\"7\""), std::string::npos);
  std::remove(csv_path.c_str());
  std::remove(junit_path.c_str());

  EXPECT_EQ(RunSim({verdicts}, "/dev/full").status, 1);
  EXPECT_EQ(RunSim({"--vcd", "/dev/full", verdicts}).status, 1);

  const ProgramRun refused = RunSim({"--junit", TempPath("no/such/dir/r.xml"), verdicts});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("seatbelt_sim: cannot create '"), std::string::npos) << refused.err;
}

// --- scenario_table ---------------------------------------------------------------------------

TEST(ScenarioTableProgram, WritesTheRunSeatbeltSimMakesOfTheFile) {
  using seatbelt_sim::LoadedRun;
  using seatbelt_sim::RunSetup;
  const std::string scenario = kScenarios + "/calibration_edges.txt";
  const std::string table_path = TempPath("run.table");
  const ProgramRun run = RunProgram(SCENARIO_TABLE_EXE, {"--output", table_path, "--csv", "a b.csv",
                                                         "--duration=1534", "--", scenario});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");

  const std::string bytes = ReadFile(table_path);
  std::remove(table_path.c_str());
  seatbelt_sim::RunTable table;
  const char* problem =
      table.Read(reinterpret_cast<const unsigned char*>(bytes.data()),  // NOLINT: bytes of chars
                 bytes.size());
  ASSERT_EQ(problem, nullptr) << problem;
  LoadedRun expected;
  ASSERT_TRUE(seatbelt_sim::LoadRun(scenario, 1534u, expected));
  const RunSetup& got = table.setup();
  EXPECT_STREQ(got.name, scenario.c_str());
  EXPECT_STREQ(table.csv_path(), "a b.csv");
  EXPECT_EQ(got.ticks, 154u);
  EXPECT_EQ(got.expectation_count, expected.setup.expectation_count);
  EXPECT_EQ(got.calibration.latch_debounce_ms, expected.setup.calibration.latch_debounce_ms);
  EXPECT_EQ(got.calibration.door_grace_ms, expected.setup.calibration.door_grace_ms);
  EXPECT_EQ(got.calibration.speed_threshold, expected.setup.calibration.speed_threshold);
  ASSERT_EQ(got.stimulus_count, expected.setup.stimulus_count);
  for (std::size_t i = 0u; i < got.stimulus_count; ++i) {
    const seatbelt_sim::Stimulus& a = got.stimuli[i];
    const seatbelt_sim::Stimulus& b = expected.setup.stimuli[i];
    EXPECT_EQ(a.time_ms, b.time_ms) << "stimulus " << i;
    EXPECT_EQ(a.input, b.input) << "stimulus " << i;
    EXPECT_EQ(a.value, b.value) << "stimulus " << i;
    EXPECT_EQ(std::string(a.text == nullptr ? "-" : a.text),
              std::string(b.text == nullptr ? "-" : b.text))
        << "stimulus " << i;
  }
}

TEST(ScenarioTableProgram, RefusesWhatSeatbeltSimRefusesWithItsMessage) {
  const std::string table_path = TempPath("refused.table");
  const std::string bad = TempPath("bad.txt");
  WriteFile(bad, "5 speed 30\n5 sped 40\nend 100\n");
  const std::string no_end = TempPath("no_end.txt");
  WriteFile(no_end, "5 speed 30\n");
  for (const std::string& scenario : {bad, no_end, TempPath("missing.txt")}) {
    const ProgramRun sim = RunSim({scenario});
    const ProgramRun table = RunProgram(SCENARIO_TABLE_EXE, {"--output", table_path, scenario});
    EXPECT_EQ(table.status, 2) << scenario;
    EXPECT_EQ(table.status, sim.status) << scenario;
    EXPECT_EQ(table.err, sim.err) << scenario;
    EXPECT_FALSE(Exists(table_path)) << "a refused scenario leaves no table: " << scenario;
  }
  std::remove(bad.c_str());
  std::remove(no_end.c_str());

  // Its own command line: the table file is required, and one that cannot be written fails.
  const ProgramRun no_output = RunProgram(SCENARIO_TABLE_EXE, {kScenarios + "/drive.txt"});
  EXPECT_EQ(no_output.status, 2);
  EXPECT_NE(no_output.err.find("option '--output' is required"), std::string::npos)
      << no_output.err;
  const ProgramRun unwritable = RunProgram(
      SCENARIO_TABLE_EXE, {"--output", "/nonexistent/dir/run.table", kScenarios + "/drive.txt"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err,
            "scenario_table: cannot create '/nonexistent/dir/run.table': No such file or "
            "directory\n");
}

std::vector<std::string> Titles(const XmlDocument& svg, const std::string& group_class) {
  std::vector<std::string> titles;
  for (const XmlElement* group : svg.root.All("g")) {
    if (group->Attribute("class") == group_class) {
      titles.push_back(group->Title());
    }
  }
  return titles;
}

TEST(SeatbeltSimProgram, SvgDrawsTheRunAsAWellFormedPicture) {
  // Markup characters in the file name and the notes, and bytes that are no text.
  const std::string scenario = TempPath("a&b<c>.txt");
  const std::string svg_path = TempPath("run.svg");
  const std::string csv_path = TempPath("run.csv");
  WriteFile(scenario,
            "calibration speed_threshold 30\ncalibration door_grace_ms 0\n"
            "0 ignition on\n0 occupancy occupied\n0 latch unlatched\n"
            "0 note Start & go: <fast> \"now\" 'ok' \x01 \xff \xc3\xbc\n"
            "1000 speed 30\n2000 latch latched\n2000 note buckled\nend 8000\n");
  const ProgramRun plain = RunSim({scenario});
  const ProgramRun drawn = RunSim({"--svg", svg_path, "--csv", csv_path, scenario});
  const XmlDocument svg = seatbelt_sim_test::ReadXml(ReadFile(svg_path));
  std::remove(scenario.c_str());
  std::remove(svg_path.c_str());
  std::remove(csv_path.c_str());
  ASSERT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.out, plain.out) << "the picture changes nothing on standard output";
  ASSERT_EQ(svg.error, "");

  // Standalone: no script, no outside file or font.
  EXPECT_EQ(svg.root.name, "svg");
  EXPECT_EQ(svg.root.Attribute("xmlns"), "http://www.w3.org/2000/svg");
  EXPECT_EQ(svg.root.Title(), "seatbelt_sim: " + scenario);
  std::vector<const XmlElement*> all;
  svg.root.Descendants(all);
  std::vector<std::string> lanes;
  for (const XmlElement* element : all) {
    EXPECT_TRUE(element->name != "script" && element->name != "image" &&
                element->name != "foreignObject" && element->Attribute("href").empty())
        << element->name;
    const std::string style = element->name == "style" ? element->text : "";
    EXPECT_EQ(style.find("@import"), std::string::npos);
    EXPECT_EQ(style.find("url("), style.find("url(#")) << "only references within the file";
    if (element->Attribute("class") == "lane") {
      lanes.push_back(element->Attribute("id"));
    }
  }
  EXPECT_EQ(lanes, (std::vector<std::string>{
                       "lane-latch_raw", "lane-occupancy_raw", "lane-speed_raw", "lane-door_raw",
                       "lane-ignition_raw", "lane-latch_filtered", "lane-occupancy_filtered",
                       "lane-vehicle_speed", "lane-ignition_state", "lane-door_closed",
                       "lane-warning_request", "lane-conditions", "lane-diagnostics"}));

  // Markers, their tooltips as the [SIM] lines: the notes at the ticks that printed them, the
  // reports and the warning interval as the summary gives them.
  EXPECT_EQ(Titles(svg, "note"),
            (std::vector<std::string>{
                "t=10 ms: note: Start & go: <fast> \"now\" 'ok' \\x01 \\xFF \xc3\xbc",
                "t=2000 ms: note: buckled"}));
  const std::vector<std::string> summary = Summary(drawn.out);
  ASSERT_EQ(summary.size(), 6u);
  EXPECT_EQ(summary[2], "[SIM]   warning from 1000 ms to 2040 ms (1040 ms)");
  EXPECT_EQ(Titles(svg, "report"),
            (std::vector<std::string>{summary[4].substr(8u), summary[5].substr(8u)}));
  std::vector<std::string> bands;
  for (const XmlElement* text : svg.root.All("text")) {
    if (text->Title().rfind("warning requested", 0u) == 0u) {
      bands.push_back(text->Title());
    }
  }
  EXPECT_EQ(bands, std::vector<std::string>{"warning requested 1000 to 2040 ms (1040 ms)"});
}

TEST(SeatbeltSimProgram, SvgFileAppearsOnlyComplete) {
  std::string dir = TempPath("svgdir_XXXXXX");
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const std::string path = dir + "/run.svg";
  const auto names = [&dir] {
    std::vector<std::string> found;
    DIR* const listing = opendir(dir.c_str());
    for (const dirent* entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
      if (entry->d_name[0] != '.' || std::string(entry->d_name).size() > 2u) {
        found.push_back(entry->d_name);
      }
    }
    closedir(listing);
    return found;
  };
  WriteFile(path, "an older picture");
  // A file size limit of 4 KiB makes the write fail half way (SIGXFSZ ignored: the write
  // reports the error instead). A coverage build's own data (gcc's or clang's) would be cut
  // short too: it goes to a scratch folder, and its complaints follow the program's message.
  const std::string err = TempPath("limited.err");
  const std::string coverage = TempPath("limited.coverage");
  const int raw =
      std::system(("trap '' XFSZ; ulimit -f 8; GCOV_PREFIX=" + Quote(coverage) +
                   " LLVM_PROFILE_FILE=" + Quote(coverage + "/run.profraw") + " " +
                   Quote(SEATBELT_SIM_EXE) + " --svg " + Quote(path) + " >/dev/null 2>" +
                   Quote(err) + "; status=$?; rm -rf " + Quote(coverage) + "; exit $status")
                      .c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  const std::string message = "seatbelt_sim: cannot write '" + path + "': File too large\n";
  EXPECT_EQ(ReadFile(err).substr(0u, message.size()), message);
  std::remove(err.c_str());
  EXPECT_EQ(ReadFile(path), "an older picture");
  EXPECT_EQ(names(), std::vector<std::string>{"run.svg"}) << "no temporary file left behind";

  // Written through a symbolic link, the picture replaces the file the link leads to.
  const std::string link = dir + "/link.svg";
  ASSERT_EQ(symlink("run.svg", link.c_str()), 0);
  const ProgramRun run = RunSim({"--svg", link}, "/dev/null");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(path).rfind("<svg ", 0u), 0u);
  std::vector<std::string> after = names();
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, (std::vector<std::string>{"link.svg", "run.svg"}));
  std::remove(link.c_str());
  std::remove(path.c_str());
  rmdir(dir.c_str());
}

}  // namespace
