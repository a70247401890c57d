// Command-line parsing and the --help text of seatbelt_test.
#include "campaign_options.h"

#include <string_view>

#include "cli.h"

namespace seatbelt_test {
namespace {

constexpr const char kHelp[] = R"(Usage: seatbelt_test [OPTIONS] PATH...

Runs a campaign of seatbelt scenarios: each scenario file runs as seatbelt_sim runs it (same
parser, same components, same verdicts), each from the components' power-on state, several at
a time in worker processes.
A PATH is a scenario file or a folder; a folder stands for every *.txt file in it and in its
subfolders (names starting with '.' are skipped). The scenarios run in the byte order of
their paths as printed; a file given twice runs once.

Options:
  --jobs N            run N scenarios at a time (default: one per processor; 1 to 1024)
  --shard K/N         run only the K-th of N contiguous parts of the sorted list
                      (1 <= K <= N); the parts' sizes differ by one at most
  --timeout S         stop a scenario after S whole seconds (1 to 999999; default 60)
  --output-dir DIR    keep the output of each failed scenario in DIR (default
                      seatbelt_test-output); the file is named after the scenario's path,
                      '/' replaced by "__", plus ".log"
  --junit FILE        write the campaign as one JUnit XML report to FILE
  --requirements FILE check the expectations' requirement IDs against the catalogue FILE
                      (Markdown, one "### ID title" heading per requirement); each
                      requirement becomes one more testcase
  --trace FILE        write the traceability table (Markdown) to FILE; needs
                      --requirements, and the whole campaign (no --shard)
  --board             run each scenario on the emulated board with
                      targets/cortex-m/run-scenario.sh (or $SEATBELT_RUN_SCENARIO)
  -h, --help          show this text and exit
  --                  end of options; the remaining arguments are PATHs
  Options also take their value as --name=VALUE.

Testcases:
  Each expectation of a scenario is a testcase; a scenario without expectations is one
  testcase, "run", that passes when the run completes. A scenario that is rejected, that
  crashes or that is still running after the timeout is one failed testcase. With
  --requirements, an expectation whose ID the catalogue lacks fails even when it held, and
  each requirement passes when it has expectations and all of them passed.

Output (standard output), one line per scenario in path order, whatever --jobs:
  PASS PATH (N expectations)
  FAIL PATH: NAME:LINE: expect ...: what was seen (output: DIR/FILE.log)
  FAIL PATH: bad scenario: PATH:LINE: problem
  FAIL PATH: crashed (signal N) (output: DIR/FILE.log)
  FAIL PATH: timed out after S s (output: DIR/FILE.log)
  The failure shown is the earliest; the log holds the scenario's whole standard output
  and standard error. With --requirements, one line per failed requirement follows:
  FAIL requirement ID: why
  The report ends with "P passed, F failed", counting testcases. It holds no times, so it
  is the same for every --jobs; the JUnit report has the times.

Sharding in CI: run the same command in N jobs, job K with --shard K/N and its own
  --junit FILE, then merge the reports, e.g. with junitparser (Debian python3-junitparser):
    seatbelt_test --shard 2/4 --junit campaign-2.xml scenarios/
    junitparser merge campaign-*.xml campaign.xml
  With --requirements, each part judges the requirements its scenarios verify; a
  requirement that no scenario of the whole list names fails in part 1 only.

Exit status:
  0  every testcase passed
  1  a testcase failed, or a report could not be written
  2  bad command line, unreadable PATH or catalogue, or no scenario found
)";

constexpr unsigned kMaxJobs = 1024u;
constexpr unsigned kMaxTimeoutS = 999999u;
constexpr unsigned kMaxShards = 1000000u;

// A whole number from 1 to max, decimal digits only.
std::optional<unsigned> ParseCount(std::string_view text, unsigned max) {
  if (text.empty() || text.size() > 7u) {
    return std::nullopt;
  }
  unsigned value = 0u;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10u + static_cast<unsigned>(c - '0');
  }
  if (value < 1u || value > max) {
    return std::nullopt;
  }
  return value;
}

std::optional<Shard> ParseShard(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<unsigned> index = ParseCount(text.substr(0u, slash), kMaxShards);
  const std::optional<unsigned> count = ParseCount(text.substr(slash + 1u), kMaxShards);
  if (!index || !count || *index > *count) {
    return std::nullopt;
  }
  return Shard{*index, *count};
}

}  // namespace

const char* CampaignHelpText() {
  return kHelp;
}

CampaignOptionsResult ParseCampaignOptions(int argc, const char* const* argv) {
  using host_cli::Quote;
  CampaignOptions options;
  CampaignOptionsResult result;
  host_cli::OnceEach given;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_ended || !host_cli::LooksLikeOption(arg, false)) {
      options.paths.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      result.options = options;
      return result;
    }
    const host_cli::Option option = host_cli::SplitOption(arg);
    const bool is_path = option.name == "--output-dir" || option.name == "--junit" ||
                         option.name == "--requirements" || option.name == "--trace";
    const bool is_number =
        option.name == "--jobs" || option.name == "--timeout" || option.name == "--shard";
    if (option.name == "--board") {
      if (option.value) {
        result.error = "option '--board' takes no value";
        return result;
      }
      if (!given.First(option.name)) {
        result.error = host_cli::GivenTwice(option.name);
        return result;
      }
      options.board = true;
      continue;
    }
    if (!is_path && !is_number) {
      result.error = "unknown option " + Quote(arg);
      return result;
    }
    // A single '-' is taken by the numbers, so that "--jobs -1" is reported as a bad count.
    const std::optional<std::string_view> value =
        host_cli::TakeValue(option, argc, argv, i, is_number);
    if (!value || value->empty()) {
      result.error =
          "option " + Quote(option.name) +
          (is_path ? (option.name == "--output-dir" ? " needs a folder name" : " needs a file name")
                   : " needs a value");
      return result;
    }
    if (!given.First(option.name)) {
      result.error = host_cli::GivenTwice(option.name);
      return result;
    }
    if (option.name == "--jobs") {
      const std::optional<unsigned> jobs = ParseCount(*value, kMaxJobs);
      if (!jobs) {
        result.error = "invalid job count " + Quote(*value) + " (expected 1 to " +
                       std::to_string(kMaxJobs) + ")";
        return result;
      }
      options.jobs = *jobs;
    } else if (option.name == "--timeout") {
      const std::optional<unsigned> timeout = ParseCount(*value, kMaxTimeoutS);
      if (!timeout) {
        result.error = "invalid timeout " + Quote(*value) + " (expected whole seconds, 1 to " +
                       std::to_string(kMaxTimeoutS) + ")";
        return result;
      }
      options.timeout_s = *timeout;
    } else if (option.name == "--shard") {
      options.shard = ParseShard(*value);
      if (!options.shard) {
        result.error = "invalid shard " + Quote(*value) + " (expected K/N with 1 <= K <= N)";
        return result;
      }
    } else if (option.name == "--output-dir") {
      options.output_dir = std::string(*value);
    } else if (option.name == "--junit") {
      options.junit_path = std::string(*value);
    } else if (option.name == "--requirements") {
      options.requirements_path = std::string(*value);
    } else {
      options.trace_path = std::string(*value);
    }
  }
  if (options.trace_path && !options.requirements_path) {
    result.error = "option '--trace' needs --requirements";
    return result;
  }
  if (options.trace_path && options.shard) {
    result.error = "option '--trace' needs the whole campaign, not a --shard";
    return result;
  }
  if (options.paths.empty()) {
    result.error = "no scenario file or folder given";
    return result;
  }
  result.options = options;
  return result;
}

}  // namespace seatbelt_test
