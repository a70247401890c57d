/*
 * Engine ECU startup monitor: one record of the unit's startup (phase reached, last error, boot
 * and error counts). Driven by the startup code through the six operations below, all on the one
 * thread of the startup sequence; the module prints nothing and calls nothing.
 */
#ifndef ENGINE_ECU_SRC_STARTUPMONITOR_H
#define ENGINE_ECU_SRC_STARTUPMONITOR_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Phase of the startup sequence. A normal startup passes 0..4 in order; ERROR is entered on a
 * reported error or an emergency recovery. Held in a uint32 so the record is six 32-bit words in
 * C and C++ alike; the monitor stores any value unchecked. */
typedef uint32 StartupPhase_t;
enum {
  STARTUP_PHASE_INIT = 0,
  STARTUP_PHASE_BSW_INIT = 1,
  STARTUP_PHASE_RTE_START = 2,
  STARTUP_PHASE_APP_INIT = 3,
  STARTUP_PHASE_RUNNING = 4,
  STARTUP_PHASE_ERROR = 5
};

/* Startup error codes; stored and counted unchecked. */
typedef uint32 StartupError_t;
enum {
  STARTUP_ERROR_NONE = 0,
  STARTUP_ERROR_CLOCK_FAIL = 1,
  STARTUP_ERROR_RAM_TEST_FAIL = 2,
  STARTUP_ERROR_FLASH_CRC_FAIL = 3,
  STARTUP_ERROR_BSW_INIT_FAIL = 4,
  STARTUP_ERROR_RTE_START_FAIL = 5,
  STARTUP_ERROR_APP_INIT_FAIL = 6,
  STARTUP_ERROR_WATCHDOG_RESET = 7,
  STARTUP_ERROR_STACK_OVERFLOW = 8
};

/* The startup record. Both counters wrap from 4294967295 to 0. */
typedef struct {
  StartupPhase_t current_phase; /* phase reached */
  StartupError_t last_error;    /* most recently reported error */
  uint32 boot_count;            /* initialisations since the record was last zero */
  uint32 error_count;           /* errors reported, across re-initialisations */
  uint32 last_reset_reason;     /* reason of the last reset; 0 after Init, encoding open */
  uint32 startup_timestamp;     /* time stamp of the startup; 0 after Init, unit open */
} StartupMonitor_t;

/* Layout checks, in a form that every C (C99 on) and C++ compiler takes and that needs no other
 * header: each array type has a negative size, a compile error, if its claim is false. */
typedef char StartupMonitor_PhaseIs4Bytes[(sizeof(StartupPhase_t) == 4u) ? 1 : -1];
typedef char StartupMonitor_ErrorIs4Bytes[(sizeof(StartupError_t) == 4u) ? 1 : -1];
typedef char StartupMonitor_RecordIsSixWords[(sizeof(StartupMonitor_t) == 24u) ? 1 : -1];

/* Starts a boot: phase INIT, no error, boot_count + 1, reset reason and time stamp 0. The error
 * count is kept. */
void StartupMonitor_Init(void);

/* Records the phase reached; nothing else changes. */
void StartupMonitor_SetPhase(StartupPhase_t phase);

/* Records an error: last_error = error, error_count + 1, phase ERROR. STARTUP_ERROR_NONE counts
 * too. */
void StartupMonitor_ReportError(StartupError_t error);

/* The monitor's record. Not const; valid for the whole run and shows every later change, and a
 * change made through it is seen by the operations. */
StartupMonitor_t* StartupMonitor_GetStatus(void);

/* Checks clock, RAM, flash checksum and stack. Leaves the record alone; returns TRUE when all
 * four pass. */
boolean StartupMonitor_CheckCriticalSystems(void);

/* Stops the startup in phase ERROR and clears last_error; counters, reset reason and time stamp
 * are kept. */
void StartupMonitor_EmergencyRecovery(void);

#ifdef __cplusplus
}
#endif

#endif /* ENGINE_ECU_SRC_STARTUPMONITOR_H */
