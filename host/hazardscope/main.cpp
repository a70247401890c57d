// hazardscope: host program of the instrument-cluster race analysis. Runs HazardscopeMain once
// and exits with its result.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "IC_RaceAnalysis.h"

namespace {

constexpr int kExitUsage = 2;

const char kHelp[] =
    "Usage: hazardscope [--seed N] [--help]\n"
    "\n"
    "Runs the instrument-cluster race analysis once: records the events of four scripted race\n"
    "scenarios in the analysis log and prints the analysis report.\n"
    "\n"
    "Options:\n"
    "  --seed N, --seed=N  seed the C library's random generator with N (0..4294967295) before\n"
    "                      the run, for other simulated time stamps. Without it the generator is\n"
    "                      not seeded and every run prints the same text. Given twice, the last\n"
    "                      one counts.\n"
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

int UsageError(const char* message, const char* what) {
  (void)std::fprintf(stderr, "hazardscope: %s '%s'\nTry 'hazardscope --help'.\n", message, what);
  return kExitUsage;
}

// Accepts a plain decimal number of 0..UINT_MAX: no sign, no blanks, nothing after the digits.
bool ParseSeed(const char* text, unsigned* seed) {
  if (text[0] < '0' || text[0] > '9') {
    return false;
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0' || value > UINT_MAX) {
    return false;
  }
  *seed = static_cast<unsigned>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool seeded = false;
  unsigned seed = 0u;
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    const char* value = nullptr;
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      (void)std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(arg, "--seed") == 0) {
      if (i + 1 >= argc) {
        return UsageError("missing value after", arg);
      }
      value = argv[++i];
    } else if (std::strncmp(arg, "--seed=", 7) == 0) {
      value = arg + 7;
    } else {
      return UsageError("unknown option", arg);
    }
    if (!ParseSeed(value, &seed)) {
      return UsageError("--seed needs a number from 0 to 4294967295, not", value);
    }
    seeded = true;
  }
  if (seeded) {
    std::srand(seed);
  }
  return HazardscopeMain();
}
