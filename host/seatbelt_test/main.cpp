// seatbelt_test: runs a campaign of seatbelt scenarios in worker processes, each scenario from
// the components' power-on state, and reports it in path order. See CampaignHelpText() in
// campaign_options.cpp.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "campaign_options.h"
#include "campaign_report.h"
#include "cli.h"
#include "component_state.h"
#include "junit_report.h"
#include "process_pool.h"
#include "replacing_file.h"
#include "requirements.h"
#include "scenario.h"
#include "scenario_child.h"
#include "scenario_list.h"
#include "system_text.h"

namespace {

using namespace seatbelt_test;

constexpr const char* kProgram = "seatbelt_test";
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The board's run script stops the board itself at the timeout; the campaign's own limit is a
// backstop for a script that does not end.
constexpr unsigned kBoardGraceS = 30u;
constexpr std::size_t kStdoutBufferBytes = 1u << 16u;

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                     message.c_str(), kProgram);
  return kExitUsage;
}

int Refuse(const std::string& message, int status) {
  (void)std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return status;
}

unsigned ProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1u;
}

std::string BoardScript() {
  const std::string chosen = EnvironmentValue("SEATBELT_RUN_SCENARIO");
  return chosen.empty() ? SEATBELT_TEST_RUN_SCENARIO : chosen;
}

// Copies the log at fd into the output folder; the note for the scenario's line.
std::string KeepLog(int fd, std::string folder, const std::string& path) {
  while (folder.size() > 1u && folder.back() == '/') {
    folder.pop_back();
  }
  const std::string target = (folder == "/" ? "" : folder) + "/" + LogFileName(path);
  if (fd < 0) {
    return "";
  }
  // The folder and those above it, as "mkdir -p" makes them.
  for (std::size_t slash = folder.find('/', 1u);; slash = folder.find('/', slash + 1u)) {
    const std::string step = folder.substr(0u, slash);
    if (mkdir(step.c_str(), 0777) != 0 && errno != EEXIST) {
      return " (output not kept: cannot create " + host_cli::Quote(step) + ": " + ErrorText(errno) +
             ")";
    }
    if (slash == std::string::npos) {
      break;
    }
  }
  std::FILE* const out = std::fopen(target.c_str(), "wb");
  if (out == nullptr) {
    return " (output not kept: cannot create " + host_cli::Quote(target) + ": " + ErrorText(errno) +
           ")";
  }
  char buffer[1u << 16u];
  off_t at = 0;
  bool written = true;
  for (;;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, at);
    if (got <= 0) {
      break;
    }
    written = written && std::fwrite(buffer, 1u, static_cast<std::size_t>(got), out) ==
                             static_cast<std::size_t>(got);
    at += got;
  }
  written = std::fclose(out) == 0 && written;
  if (!written) {
    return " (output not kept in full: cannot write " + host_cli::Quote(target) + ")";
  }
  return " (output: " + target + ")";
}

// Parses every scenario of the list for the requirement IDs it names; a part of a sharded
// campaign needs them to leave requirements verified elsewhere to the other parts.
std::set<std::string> NamedRequirements(const std::vector<std::string>& paths) {
  std::set<std::string> named;
  for (const std::string& path : paths) {
    const seatbelt_sim::ParseResult parsed = seatbelt_sim::LoadScenarioFile(path);
    if (!parsed.scenario) {
      continue;
    }
    for (const seatbelt_sim::ParsedExpectation& expectation : parsed.scenario->expectations) {
      if (!expectation.id.empty()) {
        named.insert(expectation.id);
      }
    }
  }
  return named;
}

void AppendTo(const char* text, std::size_t size, void* context) {
  static_cast<std::string*>(context)->append(text, size);
}

}  // namespace

int main(int argc, char** argv) {
  // Flushed after each batch of report lines; workers inherit an empty buffer, which their
  // trace lines fill, so that a worker writes a scenario's log in a few large writes. (With a null
  // buffer the C library would pick its own, smaller size.)
  static char stdout_buffer[kStdoutBufferBytes];
  (void)std::setvbuf(stdout, stdout_buffer, _IOFBF, sizeof stdout_buffer);

  const CampaignOptionsResult parsed = ParseCampaignOptions(argc, argv);
  if (!parsed.options) {
    return UsageError(parsed.error);
  }
  const CampaignOptions& options = *parsed.options;
  if (options.help) {
    (void)std::fputs(CampaignHelpText(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      return Refuse("cannot write standard output", kExitFailed);
    }
    return kExitOk;
  }

  std::optional<Catalogue> catalogue;
  if (options.requirements_path) {
    catalogue.emplace();
    std::string error;
    if (!LoadCatalogue(*options.requirements_path, *catalogue, error)) {
      return Refuse(error, kExitUsage);
    }
  }
  const ScenarioListResult listed = ListScenarios(options.paths);
  if (!listed.error.empty()) {
    return Refuse(listed.error, kExitUsage);
  }
  if (listed.paths.empty()) {
    std::string given;
    for (const std::string& path : options.paths) {
      given += (given.empty() ? "" : ", ") + host_cli::Quote(path);
    }
    return Refuse("no scenario (*.txt) found in " + given, kExitUsage);
  }
  std::vector<std::string> paths = listed.paths;
  std::optional<std::set<std::string>> named_anywhere;
  if (options.shard) {
    if (catalogue) {
      named_anywhere = NamedRequirements(paths);
    }
    const ShardRange range = ShardOf(paths.size(), options.shard->index, options.shard->count);
    paths.assign(paths.begin() + static_cast<std::ptrdiff_t>(range.first),
                 paths.begin() + static_cast<std::ptrdiff_t>(range.first + range.count));
  }

  ChildSettings child;
  child.timeout_s = options.timeout_s;
  if (options.board) {
    child.board_script = BoardScript();
    if (access(child.board_script.c_str(), X_OK) != 0) {
      return Refuse("cannot run " + host_cli::Quote(child.board_script) + ": " + ErrorText(errno),
                    kExitUsage);
    }
  }

  // Reports that cannot be written are refused before anything runs.
  seatbelt_sim::ReplacingFile junit;
  seatbelt_sim::ReplacingFile trace;
  std::string error;
  if (options.junit_path && !junit.Open(*options.junit_path, error)) {
    return Refuse(error, kExitFailed);
  }
  if (options.trace_path && !trace.Open(*options.trace_path, error)) {
    return Refuse(error, kExitFailed);
  }

  const auto started = std::chrono::steady_clock::now();
  // What the campaign keeps of a scenario once its line is out: counts, and the testsuite and
  // the verifications only when a report needs them. The rest is freed at once, as every
  // page the campaign writes after a fork is copied while that worker lives.
  std::size_t passed = 0u;
  std::size_t failed = 0u;
  seatbelt_sim::SuiteCounts totals;
  std::string suites;
  std::optional<Traceability> traceability;
  if (catalogue) {
    traceability.emplace(*catalogue);
  }
  const auto absorb = [&](const std::string& path, const ScenarioResult& result) {
    const TestcaseCounts counts = CountTestcases(result);
    passed += counts.passed;
    failed += counts.failed;
    totals.tests += result.tests;
    totals.failures += result.failures;
    totals.errors += result.errors;
    if (options.junit_path) {
      suites += result.suite_xml;
    }
    if (traceability) {
      for (const ExpectationResult& expectation : result.expectations) {
        if (!expectation.id.empty()) {
          traceability->Add(expectation.id, path + ":" + std::to_string(expectation.line),
                            expectation.outcome == ExpectationOutcome::kPassed);
        }
      }
    }
  };
  // A log of an earlier campaign would tell of a failure that is gone; without the folder
  // there is none to remove.
  struct stat output_dir_status {};
  const bool old_logs = stat(options.output_dir.c_str(), &output_dir_status) == 0;

  // Results as the workers finish them, kept until the lines before theirs are out.
  std::vector<std::optional<ScenarioResult>> pending(paths.size());
  std::vector<std::string> lines(paths.size());
  std::size_t printed = 0u;
  const auto done = [&](std::size_t index, ScenarioResult& result, int log_fd) {
    const std::string& path = paths[index];
    if (result.kind != RunKind::kCompleted) {
      WriteFailureSuite(path, options.timeout_s, result);
    } else if (catalogue) {
      ApplyCatalogue(path, *catalogue, result);
    }
    const bool scenario_failed = CountTestcases(result).failed > 0u;
    const std::string log_note = scenario_failed ? KeepLog(log_fd, options.output_dir, path) : "";
    if (!scenario_failed && old_logs) {
      (void)unlink((options.output_dir + "/" + LogFileName(path)).c_str());
    }
    lines[index] = ScenarioLine(path, result, options.timeout_s, log_note);
    pending[index] = std::move(result);
    while (printed < paths.size() && pending[printed]) {
      (void)std::printf("%s\n", lines[printed].c_str());
      absorb(paths[printed], *pending[printed]);
      pending[printed].reset();
      std::string().swap(lines[printed]);
      ++printed;
    }
    (void)std::fflush(stdout);
  };
  PoolSettings pool;
  pool.jobs = options.jobs > 0u ? options.jobs : ProcessorCount();
  pool.time_limit_s = options.timeout_s + (options.board ? kBoardGraceS : 0u);
  // A board run starts a script per scenario, which a worker of its own costs little beside.
  pool.reuse_workers = !options.board && ComponentStateRegionUsable();
  if (pool.reuse_workers) {
    SaveComponentState();  // the power-on state: no scenario has run in this process
  }
  RunTasks(
      paths.size(), pool,
      [&paths, &child, &pool](std::size_t index, int result_fd) {
        if (pool.reuse_workers) {
          RestoreComponentState();
        }
        RunScenarioChild(paths[index], child, result_fd);
      },
      done);

  std::vector<RequirementResult> requirements;
  if (traceability) {
    requirements = traceability->Judge(named_anywhere ? &*named_anywhere : nullptr,
                                       !options.shard || options.shard->index == 1u);
    std::size_t requirement_failures = 0u;
    suites += RequirementsSuite(requirements, requirement_failures);
    totals.tests += requirements.size();
    totals.failures += requirement_failures;
    passed += requirements.size() - requirement_failures;
    failed += requirement_failures;
    for (const RequirementResult& requirement : requirements) {
      if (requirement.verdict != RequirementVerdict::kPassed) {
        (void)std::printf("FAIL requirement %s: %s\n", requirement.requirement->id.c_str(),
                          requirement.why.c_str());
      }
    }
  }
  (void)std::printf("%lu passed, %lu failed\n", static_cast<unsigned long>(passed),
                    static_cast<unsigned long>(failed));

  int status = failed > 0u ? kExitFailed : kExitOk;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    status = Refuse("cannot write standard output", kExitFailed);
  }
  if (options.junit_path) {
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::string report;
    seatbelt_sim::WriteJUnitHeader(kProgram, totals, static_cast<uint32>(millis.count()), &AppendTo,
                                   &report);
    report += suites;
    report += "</testsuites>\n";
    if (!junit.Commit(report, error)) {
      status = Refuse(error, kExitFailed);
    }
  }
  if (options.trace_path && !trace.Commit(traceability->Markdown(requirements), error)) {
    status = Refuse(error, kExitFailed);
  }
  return status;
}
