// seatbelt_test as CI runs it: the built program (its test build, whose hook can make a
// scenario crash or hang) is started on scenario folders made for each case, and its report,
// files and exit status are checked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ShellQuote(const std::string& arg) {
  std::string quoted = "'";
  for (const char c : arg) {
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

// A folder of its own for each case, with the scenarios it writes.
class Campaign : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* const info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = ::testing::TempDir() + "seatbelt_test_" + info->name() + "_" + std::to_string(getpid());
    ASSERT_EQ(
        std::system(("rm -rf " + ShellQuote(dir_) + " && mkdir -p " + ShellQuote(dir_)).c_str()),
        0);
  }
  void TearDown() override { (void)std::system(("rm -rf " + ShellQuote(dir_)).c_str()); }

  // Writes text to path, relative to the case's folder, making the folders on the way.
  void Write(const std::string& path, const std::string& text) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
      (void)std::system(("mkdir -p " + ShellQuote(dir_ + "/" + path.substr(0u, slash))).c_str());
    }
    std::ofstream(dir_ + "/" + path, std::ios::binary) << text;
  }

  // Runs seatbelt_test in the case's folder; env is prefixed to the command ("NAME=VALUE ").
  ProgramRun Run(const std::vector<std::string>& args, const std::string& env = "") {
    std::string command = "cd " + ShellQuote(dir_) + " && " + env + ShellQuote(SEATBELT_TEST_EXE);
    for (const std::string& arg : args) {
      command += " " + ShellQuote(arg);
    }
    command += " >stdout.log 2>stderr.log";
    ProgramRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(dir_ + "/stdout.log");
    run.err = ReadFile(dir_ + "/stderr.log");
    return run;
  }

  std::string dir_;
};

const char kPassing[] =
    "0 ignition on\n0 occupancy occupied\n0 latch unlatched\n0 speed 30\nend 4000\n"
    "expect warning_request == none during 10..2990 as R-1\n"
    "expect warning_request == active at 3500 as R-1\n";
const char kFailing[] =
    "0 ignition on\nend 1000\n"
    "expect ignition_state == on always as R-2\n"
    "expect warning_request == active at 600 as R-2\n"
    "expect warning_request == active at 300\n";
const char kNoExpectations[] = "100 door open\nend 500\n";
const char kBad[] = "end 500\n100 door ajar\n";

// Times are the one thing allowed to differ between two reports of one campaign.
std::string WithoutTimes(std::string junit) {
  const std::string key = " time=\"";
  for (std::size_t at = junit.find(key); at != std::string::npos; at = junit.find(key, at)) {
    junit.erase(at, junit.find('"', at + key.size()) + 1u - at);
  }
  return junit;
}

TEST_F(Campaign, ReportIsInPathOrderAndTheSameForAnyJobCount) {
  // "a.txt" sorts before "a/" in byte order ('.' is 0x2e, '/' 0x2f).
  Write("s/a.txt", kPassing);
  Write("s/a/z.txt", kFailing);
  Write("s/a/b/bad.txt", kBad);
  Write("s/B.txt", kNoExpectations);
  Write("s/notes.md", "not a scenario\n");
  Write("s/.hidden.txt", kBad);
  for (int i = 0; i < 8; ++i) {
    Write("s/many/m" + std::to_string(i) + ".txt", kPassing);
  }
  // The same file twice, and once under another path, runs once.
  const ProgramRun one = Run({"--jobs", "1", "--junit", "one.xml", "s", "s/a.txt", "./s/B.txt"});
  const ProgramRun four = Run({"--jobs=4", "--junit=four.xml", "s", "s/a.txt", "./s/B.txt"});
  EXPECT_EQ(one.status, 1) << one.err;
  EXPECT_EQ(one.out, four.out);
  EXPECT_EQ(WithoutTimes(ReadFile(dir_ + "/one.xml")), WithoutTimes(ReadFile(dir_ + "/four.xml")));

  const std::vector<std::string> lines = Lines(one.out);
  ASSERT_EQ(lines.size(), 13u) << one.out;
  EXPECT_EQ(lines[0], "PASS ./s/B.txt (no expectations)");
  EXPECT_EQ(lines[1], "PASS s/a.txt (2 expectations)");
  EXPECT_EQ(lines[2],
            "FAIL s/a/b/bad.txt: bad scenario: s/a/b/bad.txt:2: bad value 'ajar' for door "
            "(expected closed, open or 0 to 1)");
  // The earliest failure, though not the first in the file.
  EXPECT_EQ(
      lines[3],
      "FAIL s/a/z.txt: s/a/z.txt:5: expect warning_request == active at 300: "
      "warning_request was 0 (none) at 300 ms (output: seatbelt_test-output/s__a__z.txt.log)");
  EXPECT_EQ(lines[4], "PASS s/many/m0.txt (2 expectations)");
  EXPECT_EQ(lines[12], "20 passed, 3 failed");

  // The log is the scenario's whole output, as seatbelt_sim prints it.
  const std::string log = ReadFile(dir_ + "/seatbelt_test-output/s__a__z.txt.log");
  EXPECT_NE(log.find("[SIM] scenario s/a/z.txt: 100 ticks"), std::string::npos) << log;
  EXPECT_NE(log.find("[SIM] expectations: 1 passed, 2 failed\n"), std::string::npos) << log;
}

TEST_F(Campaign, ShardsPartitionTheSortedList) {
  std::vector<std::string> all;
  for (int i = 0; i < 7; ++i) {
    Write("s/s" + std::to_string(i) + ".txt", kNoExpectations);
    all.push_back("PASS s/s" + std::to_string(i) + ".txt (no expectations)");
  }
  for (const unsigned parts : {1u, 3u, 7u, 9u}) {
    std::vector<std::string> joined;
    std::size_t shortest = all.size();
    std::size_t longest = 0u;
    for (unsigned k = 1u; k <= parts; ++k) {
      const ProgramRun run = Run({"--shard", std::to_string(k) + "/" + std::to_string(parts), "s"});
      EXPECT_EQ(run.status, 0) << run.err;
      std::vector<std::string> lines = Lines(run.out);
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.back(), std::to_string(lines.size() - 1u) + " passed, 0 failed");
      lines.pop_back();
      shortest = std::min(shortest, lines.size());
      longest = std::max(longest, lines.size());
      joined.insert(joined.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(joined, all) << parts << " parts";
    EXPECT_LE(longest - shortest, 1u) << parts << " parts";
  }
}

TEST_F(Campaign, CrashAndHangAreFailuresAndTheCampaignGoesOn) {
  Write("s/a.txt", kPassing);
  Write("s/crash.txt", kPassing);
  Write("s/hang.txt", kPassing);
  Write("s/z.txt", kPassing);
  const ProgramRun crashed =
      Run({"--jobs", "2", "--junit", "crash.xml", "s"}, "SEATBELT_TEST_FAULT=crash:crash.txt ");
  EXPECT_EQ(crashed.status, 1) << crashed.err;
  EXPECT_EQ(
      crashed.out,
      "PASS s/a.txt (2 expectations)\n"
      "FAIL s/crash.txt: crashed (signal 11) (output: seatbelt_test-output/s__crash.txt.log)\n"
      "PASS s/hang.txt (2 expectations)\n"
      "PASS s/z.txt (2 expectations)\n"
      "6 passed, 1 failed\n");
  EXPECT_NE(
      ReadFile(dir_ + "/crash.xml").find("<error message=\"crashed (signal 11)\" type=\"crash\"/>"),
      std::string::npos);

  const ProgramRun hung = Run({"--jobs", "2", "--timeout", "1", "--junit", "hang.xml", "s"},
                              "SEATBELT_TEST_FAULT=hang:hang.txt ");
  EXPECT_EQ(hung.status, 1) << hung.err;
  EXPECT_EQ(Lines(hung.out)[2],
            "FAIL s/hang.txt: timed out after 1 s (output: seatbelt_test-output/s__hang.txt.log)");
  EXPECT_EQ(Lines(hung.out)[4], "6 passed, 1 failed");
  // The crash's log is gone once the scenario passes again.
  struct stat info {};
  EXPECT_NE(stat((dir_ + "/seatbelt_test-output/s__crash.txt.log").c_str(), &info), 0);
}

TEST_F(Campaign, UncoveredAndUnknownRequirementsFailTheRun) {
  Write("catalogue.md",
        "# Requirements\n\n### R-1 Warns at speed\ntext\n\n```\n### R-9 in a code block\n```\n"
        "### R-2 Ignition followed\n### R-3 Never verified\n");
  Write("s/pass.txt", kPassing);
  Write("s/fail.txt", kFailing);
  Write("s/unknown.txt", "end 100\nexpect ignition_state == off always as R-9\n");
  const ProgramRun run = Run(
      {"--requirements", "catalogue.md", "--trace", "TRACE.md", "--junit", "campaign.xml", "s"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(
      run.out,
      "FAIL s/fail.txt: s/fail.txt:5: expect warning_request == active at 300: "
      "warning_request was 0 (none) at 300 ms (output: seatbelt_test-output/s__fail.txt.log)\n"
      "PASS s/pass.txt (2 expectations)\n"
      "FAIL s/unknown.txt: s/unknown.txt:2: expect ignition_state == off always as R-9: "
      "requirement R-9 is not in catalogue.md "
      "(output: seatbelt_test-output/s__unknown.txt.log)\n"
      "FAIL requirement R-2: failed: s/fail.txt:4\n"
      "FAIL requirement R-3: not covered: no expectation verifies it\n"
      "4 passed, 5 failed\n");
  const std::string trace = ReadFile(dir_ + "/TRACE.md");
  EXPECT_NE(trace.find("| R-1 | Warns at speed | `s/pass.txt:6`<br>`s/pass.txt:7` | passed |\n"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("| R-2 | Ignition followed | `s/fail.txt:3`<br>`s/fail.txt:4` (failed) | "
                       "failed |\n"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("| R-3 | Never verified |  | not covered |\n"), std::string::npos);
  EXPECT_NE(trace.find("- `s/unknown.txt:2`: R-9\n"), std::string::npos);
  EXPECT_NE(ReadFile(dir_ + "/campaign.xml")
                .find("<testsuite name=\"requirements\" tests=\"3\" "
                      "failures=\"2\""),
            std::string::npos);
}

TEST_F(Campaign, ShardsJudgeTheRequirementsTheirScenariosVerify) {
  Write("catalogue.md", "### R-1 One\n### R-2 Two\n### R-3 Three\n");
  Write("s/a.txt", kPassing);
  Write("s/b.txt", kFailing);  // R-2, failing
  // R-3 is named nowhere: only part 1 reports it, though part 1 has no scenario naming it.
  const ProgramRun first = Run({"--shard", "1/2", "--requirements", "catalogue.md", "s"});
  const ProgramRun second = Run({"--shard", "2/2", "--requirements", "catalogue.md", "s"});
  EXPECT_EQ(first.status, 1) << first.err;
  EXPECT_EQ(first.out,
            "PASS s/a.txt (2 expectations)\n"
            "FAIL requirement R-3: not covered: no expectation verifies it\n"
            "3 passed, 1 failed\n");
  EXPECT_EQ(second.status, 1) << second.err;
  EXPECT_EQ(Lines(second.out).at(1), "FAIL requirement R-2: failed: s/b.txt:4");
  EXPECT_EQ(Lines(second.out).at(2), "1 passed, 3 failed");
}

TEST_F(Campaign, ResultsLargerThanAPipeHoldsArriveWhole) {
  // Some 400 kB of testsuite from one child, two such children at a time.
  std::string many = "end 100\n";
  for (int i = 0; i < 3000; ++i) {
    many += "expect door_closed == closed always as R-" + std::to_string(i) + "\n";
  }
  Write("s/many1.txt", many);
  Write("s/many2.txt", many);
  const ProgramRun run = Run({"--jobs", "2", "--junit", "many.xml", "s"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out).back(), "6000 passed, 0 failed");
  const std::string junit = ReadFile(dir_ + "/many.xml");
  EXPECT_NE(junit.find("name=\"R-2999 s/many2.txt:3001\""), std::string::npos);
}

// A worker runs many scenarios, each from the power-on state: every log is what seatbelt_sim
// prints in a process of its own, whatever ran before in the worker, including the scenario
// itself. The drive leaves the belt unbuckled, the seat empty, diagnostic reports counted and
// the clock at 30 s.
TEST_F(Campaign, AWorkerRunsEachScenarioAsAFreshProcessWould) {
  const std::string drive =
      ReadFile(std::string(SOURCE_DIR) + "/host/seatbelt_sim/scenarios/drive.txt") +
      "expect warning_request == active at 29000\n";
  Write("ab/a.txt", drive);
  Write("ab/b.txt", kFailing);
  Write("ab/c.txt", drive);
  Write("ba/a.txt", kFailing);
  Write("ba/b.txt", drive);
  const ProgramRun ab = Run({"--jobs", "1", "ab"});
  const ProgramRun ba = Run({"--jobs", "1", "ba"});
  EXPECT_EQ(ab.status, 1) << ab.err;
  EXPECT_EQ(ba.status, 1) << ba.err;
  ASSERT_EQ(Lines(ab.out).size(), 4u) << ab.out;
  ASSERT_EQ(Lines(ba.out).size(), 3u) << ba.out;
  // The same verdicts for the same scenario, first, second or third in its worker.
  const auto unnamed = [](std::string line, const std::string& path) {
    std::string log_name = path;
    log_name.replace(2u, 1u, "__");
    for (const std::string& name : {path, log_name}) {
      for (std::size_t at = line.find(name); at != std::string::npos; at = line.find(name, at)) {
        line.replace(at, name.size(), "S");
      }
    }
    return line;
  };
  EXPECT_EQ(unnamed(Lines(ab.out)[0], "ab/a.txt"), unnamed(Lines(ab.out)[2], "ab/c.txt"));
  EXPECT_EQ(unnamed(Lines(ab.out)[0], "ab/a.txt"), unnamed(Lines(ba.out)[1], "ba/b.txt"));
  EXPECT_EQ(unnamed(Lines(ab.out)[1], "ab/b.txt"), unnamed(Lines(ba.out)[0], "ba/a.txt"));
  for (const char* path : {"ab/a.txt", "ab/b.txt", "ab/c.txt", "ba/a.txt", "ba/b.txt"}) {
    const std::string fresh = dir_ + "/fresh.log";
    (void)std::system(("cd " + ShellQuote(dir_) + " && " + ShellQuote(SEATBELT_SIM_EXE) + " " +
                       path + " >" + ShellQuote(fresh) + " 2>&1")
                          .c_str());
    std::string log_name = path;
    log_name.replace(2u, 1u, "__");
    const std::string log = ReadFile(dir_ + "/seatbelt_test-output/" + log_name + ".log");
    EXPECT_NE(log.find("expectation failed"), std::string::npos) << path;
    EXPECT_EQ(log, ReadFile(fresh)) << path;
  }
}

TEST_F(Campaign, BoardRunsGiveTheDesktopsReport) {
  // A stand-in for the board's run script: seatbelt_sim prints and writes what the board does.
  Write("board.sh", std::string("#!/bin/sh\n# --timeout S --junit X -- FILE\nexec ") +
                        ShellQuote(SEATBELT_SIM_EXE) + " --junit \"$4\" \"$6\"\n");
  ASSERT_EQ(chmod((dir_ + "/board.sh").c_str(), 0755), 0);
  Write("s/pass.txt", kPassing);
  Write("s/fail.txt", kFailing);
  Write("s/bad.txt", kBad);
  Write("s/plain.txt", kNoExpectations);
  const ProgramRun desktop = Run({"--junit", "desktop.xml", "s"});
  const ProgramRun board =
      Run({"--board", "--junit", "board.xml", "s"}, "SEATBELT_RUN_SCENARIO=./board.sh ");
  EXPECT_EQ(board.status, 1) << board.err;
  EXPECT_EQ(board.out, desktop.out);
  EXPECT_EQ(WithoutTimes(ReadFile(dir_ + "/board.xml")),
            WithoutTimes(ReadFile(dir_ + "/desktop.xml")));
}

TEST_F(Campaign, BadCommandLinesAndMissingScenariosAreRefusedBeforeRunning) {
  Write("s/a.txt", kPassing);
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--jobs", "2", "--jobs=3", "s"}, "option '--jobs' given twice"},
      {{"--junit", "--jobs", "s"}, "option '--junit' needs a file name"},
      {{"--shard", "0/2", "s"}, "invalid shard '0/2' (expected K/N with 1 <= K <= N)"},
      {{"--timeout", "-1", "s"}, "invalid timeout '-1' (expected whole seconds, 1 to 999999)"},
      {{"--trace", "t.md", "s"}, "option '--trace' needs --requirements"},
      {{"--bogus\x1b", "s"}, "unknown option '--bogus\\x1b'"},
      {{"--board=yes", "s"}, "option '--board' takes no value"},
      {{"--jobs", "4x", "s"}, "invalid job count '4x' (expected 1 to 1024)"},
      {{}, "no scenario file or folder given"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Run(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.err, "seatbelt_test: " + c.message +
                           "\nTry 'seatbelt_test --help' for more information.\n");
    EXPECT_EQ(run.out, "");
  }
  const ProgramRun help = Run({"s", "--help", "--bogus"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: seatbelt_test [OPTIONS] PATH...\n", 0), 0u) << help.out;

  Write("twice.md", "### R-1 One\n\n### R-1 Again\n");
  const ProgramRun twice = Run({"--requirements", "twice.md", "s"});
  EXPECT_EQ(twice.status, 2);
  EXPECT_EQ(twice.err, "seatbelt_test: twice.md:3: requirement 'R-1' listed twice\n");

  Write("empty/notes.md", "");
  const ProgramRun empty = Run({"empty"});
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err, "seatbelt_test: no scenario (*.txt) found in 'empty'\n");
  const ProgramRun unwritable = Run({"--junit", "no/such/dir/x.xml", "s"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(unwritable.err,
            "seatbelt_test: cannot create 'no/such/dir/x.xml': No such file or directory\n");
  EXPECT_EQ(unwritable.out, "");
}

}  // namespace
