// The Windows binaries of both FMUs, loaded from the unpacked FMUs as a Windows co-simulation
// tool loads them, driven with seatbelt_sim's example scenarios and compared with what
// seatbelt_sim wrote for them on Linux. The suite on Linux covers the logic; this program shows
// that the DLL behaves the same: interleaved instances, a reset, instances on threads, a bad
// call, and nothing on the console. A plain program (no test framework for MinGW): it prints a
// line per check and "N passed, N failed", and exits non-zero on any failure.
//
//   fmu_windows_test FMI3_DIR FMI2_DIR REFERENCE_DIR SCENARIO_FILE...
//
// FMI3_DIR, FMI2_DIR: the unpacked FMUs; REFERENCE_DIR: NAME.csv and NAME.out, seatbelt_sim's
// CSV and standard output for each scenario file NAME.txt.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "console_capture.h"
#include "fmu_importer.h"
#include "scenario.h"
#include "scenario_run.h"

namespace fmu_test {
namespace {

struct Loaded {
  std::string name;
  seatbelt_sim::Scenario scenario;
  Reference reference;
};

Loaded Load(const std::string& scenario_path, const std::string& reference_dir) {
  seatbelt_sim::ParseResult parsed = seatbelt_sim::LoadScenarioFile(scenario_path);
  if (!parsed.scenario) {
    throw std::runtime_error(seatbelt_sim::FormatParseError(scenario_path, parsed.error));
  }
  const std::size_t slash = scenario_path.find_last_of("/\\");
  std::string name = scenario_path.substr(slash == std::string::npos ? 0u : slash + 1u);
  name = name.substr(0u, name.rfind(".txt"));
  Reference reference =
      ReadReference(reference_dir + "/" + name + ".csv", reference_dir + "/" + name + ".out");
  return {name, *parsed.scenario, reference};
}

constexpr int kFmiError = 3;  // fmi3Error and fmi2Error

class Checks {
 public:
  // Prints the check's outcome; failure empty means passed.
  void Report(const std::string& check, const std::string& failure) {
    std::printf("%s %s%s%s\n", failure.empty() ? "PASS" : "FAIL", check.c_str(),
                failure.empty() ? "" : ": ", failure.c_str());
    ++(failure.empty() ? passed_ : failed_);
  }
  int failed() const { return failed_; }
  void Summary() const { std::printf("%d passed, %d failed\n", passed_, failed_); }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

// The first failure among the runs, or empty.
std::string FirstFailure(const std::vector<ScenarioRun>& runs) {
  for (const ScenarioRun& run : runs) {
    if (!run.failure().empty()) {
      return run.failure();
    }
  }
  return "";
}

// Two instances per scenario, one logging and one not.
std::vector<ScenarioRun> TwoRunsEach(const Fmu& fmu, const std::vector<Loaded>& scenarios,
                                     const std::string& tag) {
  std::vector<ScenarioRun> runs;
  for (const Loaded& loaded : scenarios) {
    runs.emplace_back(fmu, loaded.scenario, loaded.reference, loaded.name + tag + "_logging", true);
    runs.emplace_back(fmu, loaded.scenario, loaded.reference, loaded.name + tag + "_quiet", false);
  }
  return runs;
}

void CheckVersion(Checks& checks, int version, const std::string& dir,
                  const std::vector<Loaded>& scenarios, const std::string& work_file) {
  const Fmu fmu(version, dir);
  const std::string fmi = "FMI " + std::to_string(version) + ".0: ";

  // Every output of every tick, every trace line and diagnostic report equals seatbelt_sim's,
  // and nothing reaches the console. Then each instance is reset and runs its scenario again,
  // from the power-on state whichever instance ran last.
  {
    std::vector<ScenarioRun> runs = TwoRunsEach(fmu, scenarios, "");
    CaptureConsole console(work_file);
    bool ok = RunInterleaved(runs);
    for (ScenarioRun& run : runs) {
      ok = ok && run.LogMatches();
    }
    const std::string output = console.Captured();
    std::string failure = FirstFailure(runs);
    if (!output.empty()) {
      failure += " console output: " + output.substr(0u, output.find('\n'));
    }
    checks.Report(fmi + "interleaved instances match seatbelt_sim every tick", failure);

    ok = ok && RunInterleaved(runs, true);
    for (ScenarioRun& run : runs) {
      ok = ok && run.LogMatches();
    }
    checks.Report(fmi + "reset instances start from the power-on state", FirstFailure(runs));
  }

  // New instances, stepped at the same time from threads of their own, each getting and setting
  // its FMU state again and again.
  {
    std::vector<ScenarioRun> runs = TwoRunsEach(fmu, scenarios, "_thread");
    RunOnThreads(runs, true);
    checks.Report(fmi + "instances on threads, going back and forth, match seatbelt_sim",
                  FirstFailure(runs));
  }
  // A state serialized halfway and deserialized into a new instance runs on to the end.
  {
    const Loaded& loaded = scenarios.front();
    ScenarioRun first(fmu, loaded.scenario, loaded.reference, "serialized", false);
    ScenarioRun second(fmu, loaded.scenario, loaded.reference, "serialized", false);
    ScenarioRun::Mark mark;
    std::vector<std::uint8_t> bytes;
    bool ok = first.Start() && second.Start();
    for (std::size_t tick = 0u; ok && tick < loaded.reference.rows.size() / 2u; ++tick) {
      ok = first.StepBy(0.01);
    }
    ok = ok && first.Take(mark) && first.slave().SerializeState(mark.state, bytes) == 0;
    first.slave().Free();
    ok = ok && second.slave().DeserializeState(bytes.data(), bytes.size(), mark.state) == 0 &&
         second.GoBack(mark) && second.RunToEnd() && second.LogMatches();
    const std::string failure = first.failure() + second.failure();
    checks.Report(fmi + "a serialized state runs on in another instance",
                  ok || !failure.empty() ? failure : "the state functions failed");
  }

  // A step that does not start at the instance's time is refused with a logged reason, and the
  // instance goes on as if it had never been made.
  {
    ScenarioRun run(fmu, scenarios.front().scenario, scenarios.front().reference, "bad_call", true);
    std::string failure;
    if (!run.Start() || !run.StepBy(0.01)) {
      failure = run.failure();
    } else if (run.slave().DoStep(0.5, 0.01) != kFmiError) {
      failure = "a step from the wrong time was not refused with fmiError";
    } else if (run.slave().log.empty() || run.slave().log.back().category != "logStatusError") {
      failure = "no logStatusError message for the refused step";
    } else {
      run.slave().log.pop_back();
      if (!run.RunToEnd() || !run.LogMatches()) {
        failure = run.failure();
      }
    }
    checks.Report(fmi + "a bad call is refused and the instance stays usable", failure);
  }
}

}  // namespace
}  // namespace fmu_test

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: fmu_windows_test FMI3_DIR FMI2_DIR REFERENCE_DIR SCENARIO_FILE...\n");
    return 2;
  }
  fmu_test::Checks checks;
  try {
    const std::string reference_dir = argv[3];
    std::vector<fmu_test::Loaded> scenarios;
    for (int arg = 4; arg < argc; ++arg) {
      scenarios.push_back(fmu_test::Load(argv[arg], reference_dir));
    }
    const std::string work_file = reference_dir + "/console.txt";
    fmu_test::CheckVersion(checks, 3, argv[1], scenarios, work_file);
    fmu_test::CheckVersion(checks, 2, argv[2], scenarios, work_file);
  } catch (const std::exception& error) {
    checks.Report("setup", error.what());
  }
  checks.Summary();
  return checks.failed() == 0 ? 0 : 1;
}
