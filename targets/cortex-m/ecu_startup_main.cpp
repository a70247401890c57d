// ecu_startup on the board: the startup sequence of the desktop program (startup_sequence/),
// with its plan taken from the semihosting command line. It takes the desktop's options,
// --fail-at PHASE, --error ERROR, --emergency-recovery and --help, in either form
// (--name VALUE or --name=VALUE), and prints the same lines. A bad command line gets one
// message and exit status 2; the desktop program's detailed messages stay on the desktop.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "command_line.h"
#include "startup_sequence.h"

namespace {

constexpr int kExitUsage = 2;

// In static storage rather than on the stack, as in the other board programs.
board::CommandLine line;

// Applies --name VALUE or --name=VALUE at argument index of the command line (moving index
// past a separate value) to plan; false when the word is no option of ecu_startup, its value is
// missing or unknown, or the option came before.
bool ApplyOption(std::size_t& index, startup_sequence::Plan& plan) {
  const std::string_view word = line.argument(index);
  if (word == "--emergency-recovery") {
    const bool first = !plan.emergencyRecovery;
    plan.emergencyRecovery = true;
    return first;
  }
  // Built from pointers, not with substr, which would bring the C++ library's exceptions.
  const std::size_t equals = word.find('=');
  const std::string_view name(word.data(), equals == std::string_view::npos ? word.size() : equals);
  std::string_view value;
  if (equals != std::string_view::npos) {
    value = std::string_view(word.data() + equals + 1u, word.size() - equals - 1u);
  } else if (index + 1u < line.argument_count()) {
    value = line.argument(++index);
  }
  if (name == "--fail-at" && plan.failAt == nullptr) {
    plan.failAt = startup_sequence::FindPhase(value);
    return plan.failAt != nullptr;
  }
  if (name == "--error" && plan.error == nullptr) {
    plan.error = startup_sequence::FindError(value);
    return plan.error != nullptr;
  }
  return false;
}

}  // namespace

int main() {
  if (!line.Read()) {
    (void)std::fputs("ecu_startup: cannot read the command line\n", stderr);
    return kExitUsage;
  }
  startup_sequence::Plan plan;
  for (std::size_t i = 0u; i < line.argument_count(); ++i) {
    const char* const word = line.argument(i);
    if (std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0) {
      (void)std::fputs(startup_sequence::HelpText(), stdout);
      return 0;
    }
    if (!ApplyOption(i, plan)) {
      (void)std::fprintf(stderr, "ecu_startup: bad option '%s'; try 'ecu_startup --help'\n", word);
      return kExitUsage;
    }
  }
  if (plan.error != nullptr && plan.failAt == nullptr) {
    (void)std::fputs("ecu_startup: option '--error' needs --fail-at\n", stderr);
    return kExitUsage;
  }
  startup_sequence::Play(plan);
  return 0;
}
