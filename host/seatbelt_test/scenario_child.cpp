// The worker's side of a scenario run: on the desktop, the simulation core as seatbelt_sim's
// main drives it; on the board, run-scenario.sh and what it prints and writes.
#include "scenario_child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "junit_report.h"
#include "run_loader.h"
#include "run_record.h"
#include "scenario.h"
#include "scenario_result.h"
#include "simulation.h"
#include "system_text.h"

#ifdef SEATBELT_TEST_GCOV_DUMP
extern "C" void __gcov_dump();   // NOLINT(bugprone-reserved-identifier): libgcov's
extern "C" void __gcov_reset();  // NOLINT(bugprone-reserved-identifier): libgcov's
#endif

namespace seatbelt_test {
namespace {

constexpr const char* kProgram = "seatbelt_test";
// Exit status of run-scenario.sh when the board ran past its timeout.
constexpr int kBoardTimedOut = 124;

void AppendTo(const char* text, std::size_t size, void* context) {
  static_cast<std::string*>(context)->append(text, size);
}

// Writes all of text; what cannot be written (no memory left) makes the record incomplete,
// which the campaign reports.
void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0u;
  while (done < text.size()) {
    const ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    done += static_cast<std::size_t>(written);
  }
}

void Finish(const ScenarioResult& result, int result_fd) {
  (void)std::fflush(stdout);
  std::string record;
  EncodeVerdicts(result, record);
  WriteAll(result_fd, record);
#ifdef SEATBELT_TEST_GCOV_DUMP
  // A worker ends with _exit, which writes no coverage data: each scenario's is written as it
  // ends, and the counts start again from 0 for the next.
  __gcov_dump();
  __gcov_reset();
#endif
}

void SendExpectations(const ScenarioResult& result, int result_fd) {
  std::string record;
  EncodeExpectations(result, record);
  WriteAll(result_fd, record);
}

// Test hook, compiled only into the test build of the program (SEATBELT_TEST_HOOKS):
// SEATBELT_TEST_FAULT=crash:NAME or hang:NAME makes the scenario whose file name is NAME crash or
// hang once it has been read, so that the campaign's handling of both can be tested. The body
// alone is conditional, so that both builds have their functions on the same lines and their
// coverage data merge.
void ApplyFaultHook(const std::string& path) {
#ifdef SEATBELT_TEST_HOOKS
  const std::string text = EnvironmentValue("SEATBELT_TEST_FAULT");
  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1u);
  if (text == "crash:" + name) {
    (void)std::fflush(stdout);
    (void)std::signal(SIGSEGV, SIG_DFL);
    (void)std::raise(SIGSEGV);
  }
  if (text == "hang:" + name) {
    for (;;) {
      (void)pause();
    }
  }
#else
  (void)path;
#endif
}

void RunOnDesktop(const std::string& path, int result_fd) {
  const auto started = std::chrono::steady_clock::now();
  ScenarioResult result;
  seatbelt_sim::LoadedRun run;
  if (!seatbelt_sim::LoadRun(path, std::nullopt, run, result.problem)) {
    (void)std::fprintf(stderr, "%s: %s\n", kProgram, result.problem.c_str());
    result.kind = RunKind::kBadScenario;
    Finish(result, result_fd);
    return;
  }
  for (const seatbelt_sim::Expectation& expectation : run.expectations) {
    result.expectations.push_back({expectation.line,
                                   expectation.id != nullptr ? expectation.id : "",
                                   expectation.text, ExpectationOutcome::kUnknown});
  }
  SendExpectations(result, result_fd);
  ApplyFaultHook(path);

  using namespace seatbelt_sim;
  ExpectationJudge judge;
  if (!judge.Start(run.setup.expectations, run.setup.expectation_count, run.setup.ticks,
                   run.setup.name, stdout)) {
    result.problem = "out of memory for the expectations";
    (void)std::fprintf(stderr, "%s: %s\n", kProgram, result.problem.c_str());
    Finish(result, result_fd);
    return;
  }
  RunRecord record(stdout);
  RunSimulation(run.setup, stdout, record, nullptr, 0u, &judge);
  const int status =
      FinishRun(stdout, record, nullptr, 0u, run.setup.ticks * kTickMs, kProgram, stderr, &judge);

  result.kind = RunKind::kCompleted;
  RunEnd end;
  const auto elapsed = std::chrono::steady_clock::now() - started;
  end.millis =
      static_cast<uint32>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  if (status == kExitOutputFailed) {
    end.error = "an output could not be written in full";
    result.problem = end.error;
  }
  WriteJUnitSuite(run.setup.name, judge, end, &AppendTo, &result.suite_xml);
  const SuiteCounts counts = CountSuite(judge, end);
  result.tests = counts.tests;
  result.failures = counts.failures;
  result.errors = counts.errors;
  result.seconds = std::chrono::duration<double>(elapsed).count();
  // The failure shown is the earliest in the run; file order among those of one tick.
  std::optional<std::size_t> first;
  for (std::size_t i = 0u; i < judge.count(); ++i) {
    const Verdict& verdict = judge.verdict(i);
    result.expectations[i].outcome = verdict.outcome == Outcome::kPassed
                                         ? ExpectationOutcome::kPassed
                                         : ExpectationOutcome::kFailed;
    if (verdict.outcome != Outcome::kPassed &&
        (!first || verdict.time_ms < judge.verdict(*first).time_ms)) {
      first = i;
    }
  }
  if (first) {
    judge.Describe(*first, &AppendTo, &result.first_failure);
  }
  Finish(result, result_fd);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What has been written to fd so far (the log, open for reading and writing).
std::string ReadLog(int fd) {
  std::string text;
  char buffer[1u << 16u];
  off_t at = 0;
  for (;;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, at);
    if (got <= 0) {
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(got));
    at += got;
  }
}

// The value of attribute name in the first line of suite, 0 when absent.
std::size_t SuiteNumber(const std::string& suite, const char* name) {
  const std::string key = std::string(" ") + name + "=\"";
  const std::size_t at = suite.find(key);
  if (at == std::string::npos || at > suite.find('\n')) {
    return 0u;
  }
  return static_cast<std::size_t>(std::strtoul(suite.c_str() + at + key.size(), nullptr, 10));
}

// The board's run: the script prints what seatbelt_sim prints, with its status, and writes the
// report, whose testsuite is taken as it stands.
void RunOnBoard(const std::string& path, const ChildSettings& settings, int result_fd) {
  const auto started = std::chrono::steady_clock::now();
  ScenarioResult result;
  const seatbelt_sim::ParseResult parsed = seatbelt_sim::LoadScenarioFile(path);
  if (parsed.scenario) {
    for (const seatbelt_sim::ParsedExpectation& expectation : parsed.scenario->expectations) {
      result.expectations.push_back({expectation.expectation.line, expectation.id, expectation.text,
                                     ExpectationOutcome::kUnknown});
    }
  }
  SendExpectations(result, result_fd);

  std::string report = TempFolder() + "/seatbelt_test-junit.XXXXXX";
  const int report_fd = mkstemp(report.data());
  if (report_fd < 0) {
    result.problem = std::string("cannot create a temporary file: ") + ErrorText(errno);
    Finish(result, result_fd);
    return;
  }
  (void)close(report_fd);
  const std::string timeout = std::to_string(settings.timeout_s);
  std::vector<const char*> args = {settings.board_script.c_str(),
                                   "--timeout",
                                   timeout.c_str(),
                                   "--junit",
                                   report.c_str(),
                                   "--",
                                   path.c_str(),
                                   nullptr};
  (void)std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    (void)execv(args[0], const_cast<char* const*>(args.data()));  // NOLINT: execv's type
    (void)std::fprintf(stderr, "%s: cannot run '%s': %s\n", kProgram, args[0],
                       ErrorText(errno).c_str());
    _exit(127);
  }
  int status = 0;
  while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string suite_file = ReadWhole(report);
  (void)unlink(report.c_str());
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (pid < 0) {
    result.problem = std::string("cannot start the board run: ") + ErrorText(errno);
    Finish(result, result_fd);
    return;
  }
  if (WIFSIGNALED(status)) {
    result.kind = RunKind::kCrashed;
    result.signal = WTERMSIG(status);
    Finish(result, result_fd);
    return;
  }
  const int code = WEXITSTATUS(status);
  const std::string log = ReadLog(STDOUT_FILENO);
  if (code == kBoardTimedOut) {
    result.kind = RunKind::kTimedOut;
    Finish(result, result_fd);
    return;
  }
  if (code == seatbelt_sim::kExitUsage) {
    // The scenario's problem, as seatbelt_sim words it; else the script's first line.
    const std::string prefix = "seatbelt_sim: ";
    std::istringstream lines(log);
    std::string line;
    std::string first;
    while (std::getline(lines, line)) {
      if (first.empty()) {
        first = line;
      }
      if (line.compare(0u, prefix.size(), prefix) == 0) {
        result.problem = line.substr(prefix.size());
        break;
      }
    }
    if (!result.problem.empty()) {
      result.kind = RunKind::kBadScenario;
    } else {
      result.problem = first.empty() ? "the board run ended with status 2" : first;
    }
    Finish(result, result_fd);
    return;
  }
  const std::size_t open = suite_file.find("  <testsuite ");
  const std::size_t close = suite_file.find("  </testsuite>\n");
  if ((code != seatbelt_sim::kExitOk && code != seatbelt_sim::kExitExpectationFailed) ||
      open == std::string::npos || close == std::string::npos || close < open) {
    result.problem = "the board run ended with status " + std::to_string(code) +
                     (open == std::string::npos ? " and no JUnit report" : "");
    Finish(result, result_fd);
    return;
  }
  result.kind = RunKind::kCompleted;
  result.suite_xml = suite_file.substr(open, close + 15u - open);
  result.tests = SuiteNumber(result.suite_xml, "tests");
  result.failures = SuiteNumber(result.suite_xml, "failures");
  result.errors = SuiteNumber(result.suite_xml, "errors");
  // The verdict lines name the failed expectations, earliest first.
  for (ExpectationResult& expectation : result.expectations) {
    expectation.outcome = ExpectationOutcome::kPassed;
  }
  const std::string marker = "expectation failed: " + path + ":";
  for (std::size_t at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1u)) {
    const std::size_t end = log.find('\n', at);
    const std::string description =
        log.substr(at + 20u, end == std::string::npos ? std::string::npos : end - at - 20u);
    if (result.first_failure.empty()) {
      result.first_failure = description;
    }
    const unsigned long line = std::strtoul(log.c_str() + at + marker.size(), nullptr, 10);
    for (ExpectationResult& expectation : result.expectations) {
      if (expectation.line == line) {
        expectation.outcome = ExpectationOutcome::kFailed;
      }
    }
  }
  Finish(result, result_fd);
}

}  // namespace

void RunScenarioChild(const std::string& path, const ChildSettings& settings, int result_fd) {
  if (settings.board_script.empty()) {
    RunOnDesktop(path, result_fd);
  } else {
    RunOnBoard(path, settings, result_fd);
  }
}

}  // namespace seatbelt_test
