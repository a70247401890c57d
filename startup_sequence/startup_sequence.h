// The startup an engine control unit plays through the startup monitor (bootguard): Init, the
// critical systems check, then the phases BSW_INIT, RTE_START, APP_INIT and RUNNING, with an
// error injected at a phase and an emergency recovery on request. The monitor's record is
// printed after every step. The same source plays it in the desktop program ecu_startup and on
// the board; each reads its plan from its own command line.
#ifndef STARTUP_SEQUENCE_STARTUP_SEQUENCE_H
#define STARTUP_SEQUENCE_STARTUP_SEQUENCE_H

#include <string_view>

#include "StartupMonitor.h"

namespace startup_sequence {

struct Name {
  const char* option;  // as given on the command line
  const char* label;   // as printed
  uint32 value;
};

// A phase of the normal sequence with the error it injects by default.
struct Phase {
  Name name;
  StartupError_t defaultError;
};

struct Plan {
  const Phase* failAt = nullptr;  // nullptr: the normal sequence
  const Name* error = nullptr;    // nullptr: the phase's default error
  bool emergencyRecovery = false;
};

// The phase or error a command line names ("rte_start", "flash_crc_fail"), or nullptr. "none"
// names no error: reporting no error is not an injected fault.
const Phase* FindPhase(std::string_view option);
const Name* FindError(std::string_view option);

// ecu_startup's --help text: the command line, the output and the exit statuses.
const char* HelpText();

// Plays the plan and prints a line naming it, then one line per step, to standard output.
void Play(const Plan& plan);

}  // namespace startup_sequence

#endif  // STARTUP_SEQUENCE_STARTUP_SEQUENCE_H
