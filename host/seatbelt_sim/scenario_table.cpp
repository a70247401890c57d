// scenario_table: reads and checks a scenario as seatbelt_sim does and writes the run as a run
// table (simulation/run_table.h), which the board's scenario player runs. A bad scenario gets
// seatbelt_sim's message and exit status, so the board run of a file reports what the desktop
// run of it would.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "cli.h"
#include "replacing_file.h"
#include "run_loader.h"
#include "run_table.h"
#include "simulation.h"

namespace {

using seatbelt_sim::kExitOk;
using seatbelt_sim::kExitUsage;
constexpr int kExitWriteFailed = 1;

constexpr const char kHelp[] =
    "Usage: scenario_table --output TABLE_FILE [--csv FILE] [--junit FILE] [--duration MS] [--] "
    "[SCENARIO_FILE]\n"
    "\n"
    "Reads SCENARIO_FILE (without it, the built-in drive) as seatbelt_sim does and writes the run\n"
    "to TABLE_FILE for the board's scenario player, with FILE as the CSV file the player is to\n"
    "write. A bad scenario is reported as seatbelt_sim reports it. With --junit the player\n"
    "writes its JUnit report to TABLE_FILE.junit, for the caller to put in place as FILE; FILE\n"
    "is checked now, and refused as seatbelt_sim refuses it, when it cannot be written.\n"
    "\n"
    "Exit status: 0 table written, 1 TABLE_FILE could not be written, 2 bad command line or\n"
    "scenario.\n";

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "scenario_table: %s\nTry 'scenario_table --help'.\n", message.c_str());
  return kExitUsage;
}

struct Options {
  std::optional<std::string> output;
  std::optional<std::string> csv;
  std::optional<std::string> junit;
  std::optional<uint32> duration_ms;
  std::optional<std::string> scenario;
};

// Parses the command line into options; returns the exit status to end with, or -1 to go on.
int ParseCommandLine(int argc, const char* const* argv, Options& options) {
  using host_cli::Quote;
  host_cli::OnceEach given;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || !host_cli::LooksLikeOption(arg, false)) {
      if (options.scenario) {
        return UsageError("more than one scenario file");
      }
      options.scenario = std::string(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      (void)std::fputs(kHelp, stdout);
      return kExitOk;
    }
    const host_cli::Option option = host_cli::SplitOption(arg);
    if (option.name != "--output" && option.name != "--csv" && option.name != "--junit" &&
        option.name != "--duration") {
      return UsageError("unknown option " + Quote(arg));
    }
    const std::optional<std::string_view> value = host_cli::TakeValue(option, argc, argv, i);
    if (!value || value->empty()) {
      return UsageError("option " + Quote(option.name) + " needs a value");
    }
    if (!given.First(option.name)) {
      return UsageError(host_cli::GivenTwice(option.name));
    }
    if (option.name == "--output") {
      options.output = std::string(*value);
    } else if (option.name == "--csv") {
      options.csv = std::string(*value);
    } else if (option.name == "--junit") {
      options.junit = std::string(*value);
    } else {
      options.duration_ms = seatbelt_sim::ParseDurationMs(*value);
      if (!options.duration_ms) {
        return UsageError("invalid duration " + Quote(*value));
      }
    }
  }
  if (!options.output) {
    return UsageError("option '--output' is required");
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace seatbelt_sim;
  Options options;
  const int status = ParseCommandLine(argc, argv, options);
  if (status >= 0) {
    return status;
  }

  LoadedRun run;
  if (!LoadRun(options.scenario, options.duration_ms, run)) {
    return kExitUsage;
  }

  // The report's own file is checked as seatbelt_sim checks it, before anything runs.
  std::string junit_path;
  if (options.junit) {
    ReplacingFile check;
    std::string error;
    if (!check.Open(*options.junit, error)) {
      (void)std::fprintf(stderr, "seatbelt_sim: %s\n", error.c_str());
      return kExitWriteFailed;
    }
    junit_path = *options.output + ".junit";
  }

  const char* const path = options.output->c_str();
  std::FILE* const table = std::fopen(path, "wb");
  const char* failed = table == nullptr ? "create" : nullptr;
  if (table != nullptr) {
    const bool written = WriteRunTable(run.setup, options.csv ? options.csv->c_str() : nullptr,
                                       options.junit ? junit_path.c_str() : nullptr, table);
    failed = std::fclose(table) != 0 || !written ? "write" : nullptr;
  }
  if (failed != nullptr) {
    const char* const reason = std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): one thread
    (void)std::fprintf(stderr, "scenario_table: cannot %s '%s': %s\n", failed, path, reason);
    return kExitWriteFailed;
  }
  return kExitOk;
}
