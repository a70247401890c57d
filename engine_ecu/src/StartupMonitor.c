/*
 * Engine ECU startup monitor: keeps the one startup record.
 */
#include "StartupMonitor.h"

/* Zero at program start: phase INIT, no error, both counters 0. */
static StartupMonitor_t startup_monitor;

/* The probes behind the critical checks. None of them is wired to hardware on this unit yet, so
 * each one passes; a real probe replaces the body and the caller decides how to react. */
static boolean StartupMonitor_ClockOk(void) {
  return TRUE;
}
static boolean StartupMonitor_RamOk(void) {
  return TRUE;
}
static boolean StartupMonitor_FlashCrcOk(void) {
  return TRUE;
}
static boolean StartupMonitor_StackOk(void) {
  return TRUE;
}

void StartupMonitor_Init(void) {
  startup_monitor.current_phase = STARTUP_PHASE_INIT;
  startup_monitor.last_error = STARTUP_ERROR_NONE;
  startup_monitor.boot_count++; /* wraps at 2^32 */
  startup_monitor.last_reset_reason = 0u;
  startup_monitor.startup_timestamp = 0u;
}

void StartupMonitor_SetPhase(StartupPhase_t phase) {
  startup_monitor.current_phase = phase;
}

void StartupMonitor_ReportError(StartupError_t error) {
  startup_monitor.last_error = error;
  startup_monitor.error_count++; /* wraps at 2^32 */
  startup_monitor.current_phase = STARTUP_PHASE_ERROR;
}

StartupMonitor_t* StartupMonitor_GetStatus(void) {
  return &startup_monitor;
}

boolean StartupMonitor_CheckCriticalSystems(void) {
  /* Every check runs, in this order, whatever an earlier one found; a failed check clears the
   * result. Bitwise AND keeps that free of short-circuit paths. */
  const boolean clock_ok = StartupMonitor_ClockOk();
  const boolean ram_ok = StartupMonitor_RamOk();
  const boolean flash_crc_ok = StartupMonitor_FlashCrcOk();
  const boolean stack_ok = StartupMonitor_StackOk();
  const boolean status = (boolean)(clock_ok & ram_ok & flash_crc_ok & stack_ok);
  return status;
}

void StartupMonitor_EmergencyRecovery(void) {
  startup_monitor.current_phase = STARTUP_PHASE_ERROR;
  startup_monitor.last_error = STARTUP_ERROR_NONE;
}
