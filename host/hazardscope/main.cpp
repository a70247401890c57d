// hazardscope: host program of the instrument-cluster race analysis. Runs HazardscopeMain once
// and exits with its result.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "IC_RaceAnalysis.h"
#include "cli.h"

namespace {

constexpr int kExitUsage = 2;

const char kHelp[] =
    "Usage: hazardscope [--seed N] [--help]\n"
    "\n"
    "Runs the instrument-cluster race analysis once: records the events of four scripted race\n"
    "scenarios in the analysis log and prints the analysis report.\n"
    "\n"
    "Options (each may be given once):\n"
    "  --seed N, --seed=N  seed the C library's random generator with N (0..4294967295) before\n"
    "                      the run, for other simulated time stamps. Without it the generator is\n"
    "                      not seeded and every run prints the same text.\n"
    "  --help, -h          print this help and exit\n"
    "\n"
    "Output (standard output), in this order:\n"
    "  the title, a rule of 53 '=' and an empty line;\n"
    "  'IC Race Condition Analysis System Initialized';\n"
    "  the four scenarios, each an empty line, a numbered heading and two '   -> ' verdict lines,\n"
    "  framed by 'Simulating IC race condition scenarios...' and 'Simulation complete. ...';\n"
    "  the report between rules of 50 '=':\n"
    "    'Analysis Period: <events> events over 2547 ms',\n"
    "    '- <kind>: <count>' for locks, unlocks, shared accesses, priority waits, interrupts,\n"
    "    one 'CRITICAL [<ms> ms]: Thread <t>, Resource <r>, Location: <name>' line per logged\n"
    "    lock or shared access, in logging order (time stamps simulated, 0..9999 ms),\n"
    "    fixed contention, deadlock-risk and recommendation sections;\n"
    "  an empty line and 'Analysis complete. Review report for race condition prevention\n"
    "  strategies.'\n"
    "\n"
    "Exit status: 0 after a run or --help; 2 for a bad option (message on standard error).\n";

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "hazardscope: %s\nTry 'hazardscope --help'.\n", message.c_str());
  return kExitUsage;
}

// Accepts a plain decimal number of 0..UINT_MAX: no sign, no blanks, nothing after the digits.
bool ParseSeed(std::string_view text, unsigned* seed) {
  const char* const end = text.data() + text.size();
  unsigned value = 0u;
  const std::from_chars_result parsed = std::from_chars(text.data(), end, value);
  if (parsed.ec != std::errc() || parsed.ptr != end) {
    return false;
  }
  *seed = value;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using host_cli::Quote;
  bool seeded = false;
  unsigned seed = 0u;
  host_cli::OnceEach given;
  for (int i = 1; i < argc; i++) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      (void)std::fputs(kHelp, stdout);
      return 0;
    }
    const host_cli::Option option = host_cli::SplitOption(arg);
    if (option.name != "--seed") {
      return UsageError("unknown option " + Quote(arg));
    }
    // A single '-' is taken, so that "--seed -1" is reported as a bad number.
    const std::optional<std::string_view> value = host_cli::TakeValue(option, argc, argv, i, true);
    if (!value) {
      return UsageError("missing value after " + Quote(option.name));
    }
    if (!given.First(option.name)) {
      return UsageError(host_cli::GivenTwice(option.name));
    }
    if (!ParseSeed(*value, &seed)) {
      return UsageError("--seed needs a number from 0 to 4294967295, not " + Quote(*value));
    }
    seeded = true;
  }
  if (seeded) {
    std::srand(seed);
  }
  return HazardscopeMain();
}
