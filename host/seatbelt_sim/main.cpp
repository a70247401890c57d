// seatbelt_sim: software-in-the-loop host of the seatbelt reminder components. See HelpText()
// in options.cpp for what it does and prints.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "builtin_scenario.h"
#include "options.h"
#include "run_record.h"
#include "scenario.h"
#include "signal_log.h"
#include "simulation.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitOutputFailed = 1;
constexpr int kExitUsage = 2;

// Buffer of standard output when it is not a terminal: the trace lines of a long run are
// written in large blocks instead of 4 KiB ones.
constexpr std::size_t kStdoutBufferBytes = 1u << 16u;

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "seatbelt_sim: %s\nTry 'seatbelt_sim --help' for more information.\n",
                     message.c_str());
  return kExitUsage;
}

int OutputError(const std::string& message) {
  (void)std::fprintf(stderr, "seatbelt_sim: %s\n", message.c_str());
  return kExitOutputFailed;
}

// Flushes standard output and reports whether everything written to it arrived.
bool StdoutOk() {
  return std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace seatbelt_sim;

  if (isatty(STDOUT_FILENO) == 0) {
    (void)std::setvbuf(stdout, nullptr, _IOFBF, kStdoutBufferBytes);
  }

  const OptionsResult parsed = ParseOptions(argc, argv);
  if (!parsed.options) {
    return UsageError(parsed.error);
  }
  const Options& options = *parsed.options;
  if (options.help) {
    (void)std::fputs(HelpText(), stdout);
    return StdoutOk() ? kExitOk : OutputError("cannot write standard output");
  }

  const ParseResult loaded =
      options.scenario_path
          ? LoadScenarioFile(*options.scenario_path)
          : ParseScenario(BuiltinScenarioText(), std::string(kBuiltinScenarioName));
  const std::string name =
      options.scenario_path ? *options.scenario_path : std::string(kBuiltinScenarioName);
  if (!loaded.scenario) {
    // A scenario error is the user's input, not the command line: no --help hint.
    (void)std::fprintf(stderr, "seatbelt_sim: %s\n", FormatParseError(name, loaded.error).c_str());
    return kExitUsage;
  }
  const Scenario& scenario = *loaded.scenario;

  const std::optional<uint32> end_ms = options.duration_ms ? options.duration_ms : scenario.end_ms;
  if (!end_ms) {
    (void)std::fprintf(stderr, "seatbelt_sim: %s: no 'end' line; add one or give --duration MS\n",
                       name.c_str());
    return kExitUsage;
  }
  const uint32 ticks = TicksForDuration(*end_ms);

  // Outputs are opened only once the input is known to be good, so a rejected scenario
  // leaves no empty files behind.
  std::string error;
  std::optional<CsvWriter> csv;
  if (options.csv_path) {
    csv.emplace();
    if (!csv->Open(*options.csv_path, error)) {
      return OutputError(error);
    }
  }
  std::optional<VcdWriter> vcd;
  if (options.vcd_path) {
    vcd.emplace();
    if (!vcd->Open(*options.vcd_path, "scenario " + name, InitialSample(), error)) {
      return OutputError(error);
    }
  }

  RunRecord record(stdout);
  RunSimulation(scenario, ticks, stdout, record, csv ? &*csv : nullptr, vcd ? &*vcd : nullptr);

  int status = kExitOk;
  if (csv && !csv->Close(error)) {
    status = OutputError(error);
  }
  if (vcd && !vcd->Close(ticks * kTickMs, error)) {
    status = OutputError(error);
  }
  if (!StdoutOk()) {
    status = OutputError("cannot write standard output");
  }
  return status;
}
