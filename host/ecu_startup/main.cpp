// ecu_startup: host program that plays an engine control unit's startup through the startup
// monitor and prints the monitor's record after every step (startup_sequence/).
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "cli.h"
#include "startup_sequence.h"

namespace {

constexpr int kExitUsage = 2;

int UsageError(const std::string& message) {
  (void)std::fprintf(stderr, "ecu_startup: %s\nTry 'ecu_startup --help'.\n", message.c_str());
  return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using host_cli::Quote;
  startup_sequence::Plan plan;
  host_cli::OnceEach given;
  for (int i = 1; i < argc; i++) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      (void)std::fputs(startup_sequence::HelpText(), stdout);
      return 0;
    }
    if (arg == "--emergency-recovery") {
      if (!given.First(arg)) {
        return UsageError(host_cli::GivenTwice(arg));
      }
      plan.emergencyRecovery = true;
      continue;
    }
    const host_cli::Option option = host_cli::SplitOption(arg);
    if (option.name != "--fail-at" && option.name != "--error") {
      return UsageError("unknown option " + Quote(arg));
    }
    const std::optional<std::string_view> value = host_cli::TakeValue(option, argc, argv, i);
    if (!value) {
      return UsageError("missing value after " + Quote(option.name));
    }
    if (!given.First(option.name)) {
      return UsageError(host_cli::GivenTwice(option.name));
    }
    if (option.name == "--fail-at") {
      plan.failAt = startup_sequence::FindPhase(*value);
      if (plan.failAt == nullptr) {
        return UsageError("invalid phase " + Quote(*value) +
                          " for --fail-at (expected init, bsw_init, rte_start, app_init or "
                          "running)");
      }
    } else {
      plan.error = startup_sequence::FindError(*value);
      if (plan.error == nullptr) {
        return UsageError("invalid error " + Quote(*value) +
                          " for --error (expected clock_fail, ram_test_fail, flash_crc_fail, "
                          "bsw_init_fail, rte_start_fail, app_init_fail, watchdog_reset or "
                          "stack_overflow)");
      }
    }
  }
  if (plan.error != nullptr && plan.failAt == nullptr) {
    return UsageError("option '--error' needs --fail-at");
  }
  startup_sequence::Play(plan);
  return 0;
}
