// Scenario file to RunSetup, with the messages of a rejected scenario.
#include "run_loader.h"

#include <cstdio>

#include "Rte_Host.h"
#include "builtin_scenario.h"

namespace seatbelt_sim {

bool LoadRun(const std::optional<std::string>& path, std::optional<uint32> duration_ms,
             LoadedRun& run) {
  std::string error;
  if (!LoadRun(path, duration_ms, run, error)) {
    // A scenario error is the user's input, not the command line: no --help hint.
    (void)std::fprintf(stderr, "seatbelt_sim: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool LoadRun(const std::optional<std::string>& path, std::optional<uint32> duration_ms,
             LoadedRun& run, std::string& error) {
  ParseResult loaded =
      path ? LoadScenarioFile(*path) : ParseScenario(BuiltinScenarioText(), kBuiltinScenarioName);
  run.name = path ? *path : std::string(kBuiltinScenarioName);
  if (!loaded.scenario) {
    error = FormatParseError(run.name, loaded.error);
    return false;
  }
  run.scenario = std::move(*loaded.scenario);

  const std::optional<uint32> end_ms = duration_ms ? duration_ms : run.scenario.end_ms;
  if (!end_ms) {
    error = run.name + ": no 'end' line; add one or give --duration MS";
    return false;
  }

  run.stimuli.reserve(run.scenario.stimuli.size());
  for (const ParsedStimulus& parsed : run.scenario.stimuli) {
    run.stimuli.push_back({parsed.time_ms, parsed.input, parsed.value,
                           parsed.input == Input::kNote ? parsed.text.c_str() : nullptr});
  }
  const uint32 ticks = TicksForDuration(*end_ms);
  run.expectations.reserve(run.scenario.expectations.size());
  for (const ParsedExpectation& parsed : run.scenario.expectations) {
    Expectation expectation = parsed.expectation;
    expectation.text = parsed.text.c_str();
    expectation.id = parsed.id.empty() ? nullptr : parsed.id.c_str();
    TickSpan span;
    if (!ExpectationSpan(expectation, ticks, span)) {
      const uint32 last_ms = ticks * kTickMs;
      const std::string message =
          ticks == 0u ? std::string("the run has no tick to check the expectation on")
                      : "expectation reaches past the run's last tick at " +
                            std::to_string(last_ms) + " ms and could never be decided";
      error = FormatParseError(run.name, {expectation.line, message});
      return false;
    }
    run.expectations.push_back(expectation);
  }
  run.setup.name = run.name.c_str();
  run.setup.calibration = run.scenario.calibration.ApplyTo(RteHost_DefaultCalibration());
  run.setup.ticks = ticks;
  run.setup.stimuli = run.stimuli.data();
  run.setup.stimulus_count = run.stimuli.size();
  run.setup.expectations = run.expectations.data();
  run.setup.expectation_count = run.expectations.size();
  return true;
}

}  // namespace seatbelt_sim
