// The ECU startup sequence played through the startup monitor, with its tables of phases and
// errors and ecu_startup's help text.
#include "startup_sequence.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>

namespace startup_sequence {
namespace {

// Phases of the normal sequence, in order, each with the error it injects by default.
constexpr Phase kPhases[] = {
    {{"init", "INIT", STARTUP_PHASE_INIT}, STARTUP_ERROR_CLOCK_FAIL},
    {{"bsw_init", "BSW_INIT", STARTUP_PHASE_BSW_INIT}, STARTUP_ERROR_BSW_INIT_FAIL},
    {{"rte_start", "RTE_START", STARTUP_PHASE_RTE_START}, STARTUP_ERROR_RTE_START_FAIL},
    {{"app_init", "APP_INIT", STARTUP_PHASE_APP_INIT}, STARTUP_ERROR_APP_INIT_FAIL},
    {{"running", "RUNNING", STARTUP_PHASE_RUNNING}, STARTUP_ERROR_WATCHDOG_RESET},
};
constexpr std::size_t kPhaseCount = sizeof(kPhases) / sizeof(kPhases[0]);

constexpr Name kErrors[] = {
    {"none", "NONE", STARTUP_ERROR_NONE},
    {"clock_fail", "CLOCK_FAIL", STARTUP_ERROR_CLOCK_FAIL},
    {"ram_test_fail", "RAM_TEST_FAIL", STARTUP_ERROR_RAM_TEST_FAIL},
    {"flash_crc_fail", "FLASH_CRC_FAIL", STARTUP_ERROR_FLASH_CRC_FAIL},
    {"bsw_init_fail", "BSW_INIT_FAIL", STARTUP_ERROR_BSW_INIT_FAIL},
    {"rte_start_fail", "RTE_START_FAIL", STARTUP_ERROR_RTE_START_FAIL},
    {"app_init_fail", "APP_INIT_FAIL", STARTUP_ERROR_APP_INIT_FAIL},
    {"watchdog_reset", "WATCHDOG_RESET", STARTUP_ERROR_WATCHDOG_RESET},
    {"stack_overflow", "STACK_OVERFLOW", STARTUP_ERROR_STACK_OVERFLOW},
};

constexpr const char kHelp[] =
    "Usage: ecu_startup [--fail-at PHASE [--error ERROR]] [--emergency-recovery] [--help]\n"
    "\n"
    "Plays an engine control unit's startup through the startup monitor: Init, the critical\n"
    "systems check, then the phases BSW_INIT, RTE_START, APP_INIT and RUNNING.\n"
    "\n"
    "Options (also as --option=VALUE; each may be given once):\n"
    "  --fail-at PHASE       report an error once PHASE is reached and stop the startup there.\n"
    "                        PHASE: init, bsw_init, rte_start, app_init, running\n"
    "  --error ERROR         the error to report (needs --fail-at). ERROR: clock_fail,\n"
    "                        ram_test_fail, flash_crc_fail, bsw_init_fail, rte_start_fail,\n"
    "                        app_init_fail, watchdog_reset, stack_overflow. Default: clock_fail\n"
    "                        at init, watchdog_reset at running, else <phase>_fail\n"
    "  --emergency-recovery  trigger an emergency recovery after the startup ends or stops\n"
    "  --help, -h            print this help and exit\n"
    "\n"
    "Output (standard output): a line naming the scenario, then one line per step:\n"
    "  step <n>: <operation> phase=<PHASE>(<n>) error=<ERROR>(<n>) boot_count=<n>\n"
    "  error_count=<n> last_reset_reason=<n> startup_timestamp=<n>\n"
    "all on one line, <operation> padded with blanks to 27 characters. <operation> is Init,\n"
    "CheckCriticalSystems=TRUE|FALSE, SetPhase(<PHASE>), ReportError(<ERROR>) or\n"
    "EmergencyRecovery; the fields are the monitor's record after the step, in the record's\n"
    "order. A failed critical check stops the startup as well.\n"

    "\n"
    "Exit status: 0 after a played startup (whatever its outcome) or --help; 2 for a bad\n"
    "option (message on standard error).\n";

const char* PhaseLabel(uint32 value) {
  const auto* const found = std::find_if(std::begin(kPhases), std::end(kPhases),
                                         [value](const Phase& p) { return p.name.value == value; });
  if (found != std::end(kPhases)) {
    return found->name.label;
  }
  return value == STARTUP_PHASE_ERROR ? "ERROR" : "?";
}

const char* ErrorLabel(uint32 value) {
  const auto* const found = std::find_if(std::begin(kErrors), std::end(kErrors),
                                         [value](const Name& e) { return e.value == value; });
  return found != std::end(kErrors) ? found->label : "?";
}

void PrintStep(unsigned* step, const char* operation) {
  const StartupMonitor_t* r = StartupMonitor_GetStatus();
  ++*step;
  std::printf(
      "step %u: %-27s phase=%s(%u) error=%s(%u) boot_count=%u error_count=%u "
      "last_reset_reason=%u startup_timestamp=%u\n",
      *step, operation, PhaseLabel(r->current_phase), static_cast<unsigned>(r->current_phase),
      ErrorLabel(r->last_error), static_cast<unsigned>(r->last_error),
      static_cast<unsigned>(r->boot_count), static_cast<unsigned>(r->error_count),
      static_cast<unsigned>(r->last_reset_reason), static_cast<unsigned>(r->startup_timestamp));
}

}  // namespace

const Phase* FindPhase(std::string_view option) {
  const auto* const found =
      std::find_if(std::begin(kPhases), std::end(kPhases),
                   [option](const Phase& p) { return option == p.name.option; });
  return found != std::end(kPhases) ? found : nullptr;
}

const Name* FindError(std::string_view option) {
  const auto* const found = std::find_if(
      std::begin(kErrors), std::end(kErrors),
      [option](const Name& e) { return e.value != STARTUP_ERROR_NONE && option == e.option; });
  return found != std::end(kErrors) ? found : nullptr;
}

const char* HelpText() {
  return kHelp;
}

void Play(const Plan& plan) {
  StartupError_t injected = STARTUP_ERROR_NONE;
  if (plan.failAt != nullptr) {
    injected = (plan.error != nullptr) ? plan.error->value : plan.failAt->defaultError;
    std::printf("ECU startup: %s injected at %s%s\n", ErrorLabel(injected), plan.failAt->name.label,
                plan.emergencyRecovery ? ", then emergency recovery" : "");
  } else {
    std::printf("ECU startup: normal sequence%s\n",
                plan.emergencyRecovery ? ", then emergency recovery" : "");
  }

  char operation[48];
  unsigned step = 0u;
  for (std::size_t i = 0; i < kPhaseCount; i++) {
    const Phase& phase = kPhases[i];
    if (i == 0u) {
      StartupMonitor_Init();
      PrintStep(&step, "Init");
      const boolean passed = StartupMonitor_CheckCriticalSystems();
      PrintStep(&step, passed ? "CheckCriticalSystems=TRUE" : "CheckCriticalSystems=FALSE");
      if (!passed) {
        break;
      }
    } else {
      StartupMonitor_SetPhase(phase.name.value);
      (void)std::snprintf(operation, sizeof(operation), "SetPhase(%s)", phase.name.label);
      PrintStep(&step, operation);
    }
    if (plan.failAt == &phase) {
      StartupMonitor_ReportError(injected);
      (void)std::snprintf(operation, sizeof(operation), "ReportError(%s)", ErrorLabel(injected));
      PrintStep(&step, operation);
      break;  // a unit stops its startup at the first error
    }
  }
  if (plan.emergencyRecovery) {
    StartupMonitor_EmergencyRecovery();
    PrintStep(&step, "EmergencyRecovery");
  }
}

}  // namespace startup_sequence
