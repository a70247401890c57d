/*
 * Instrument-cluster race analysis: a fixed log of 1000 simulated concurrency events and the
 * analysis report printed from it, plus four scripted fault scenarios and the tool entry.
 *
 * Calling order: IC_RaceAnalysis_Init, any number of IC_RaceAnalysis_LogEvent calls, then
 * IC_RaceAnalysis_GenerateReport. All operations run on the caller's thread and hold no lock, so
 * one thread at a time only. Measured values are simulated with rand(); the module never seeds it.
 * All times are in milliseconds, all loads in percent.
 */
#ifndef INSTRUMENT_CLUSTER_DIAGNOSTICS_IC_RACEANALYSIS_H
#define INSTRUMENT_CLUSTER_DIAGNOSTICS_IC_RACEANALYSIS_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Kind of a logged event. Held in a uint32 so the record layout is the same in C and C++;
 * values of RACE_EVENT_MAX and above are stored as they come but counted under no kind. */
typedef uint32 RaceEventType_t;
enum {
  RACE_EVENT_RESOURCE_LOCK = 0,   /* a task locks a shared resource */
  RACE_EVENT_RESOURCE_UNLOCK = 1, /* a task unlocks a shared resource */
  RACE_EVENT_SHARED_ACCESS = 2,   /* a task accesses shared data */
  RACE_EVENT_PRIORITY_WAIT = 3,   /* a task waits for a resource another task holds */
  RACE_EVENT_INTERRUPT = 4,       /* an interrupt acts on the resource */
  RACE_EVENT_MAX = 5              /* number of event kinds, not a kind itself */
};

/* Race pattern kinds, published for analysis tools built on this log; the report does not use
 * them. Plain constants: nothing in the module stores them. */
enum {
  RACE_TYPE_DOUBLE_LOCK = 0,
  RACE_TYPE_CONCURRENT_ACCESS = 1,
  RACE_TYPE_PRIORITY_INVERSION = 2,
  RACE_TYPE_DEADLOCK_CYCLE = 3,
  RACE_TYPE_RAPID_ACCESS = 4,
  RACE_TYPE_MISSING_UNLOCK = 5,
  RACE_TYPE_MAX = 6
};

/* Capacity of the log in entries; events beyond it are dropped silently. */
#define IC_RACE_LOG_CAPACITY 1000u
/* Size of a location field: at most 63 characters plus the terminating zero. */
#define IC_RACE_LOCATION_SIZE 64u

/* One log entry. */
typedef struct {
  uint32 timestamp;                     /* simulated time of the event, ms (0..9999) */
  RaceEventType_t eventType;            /* stored unchecked */
  uint32 threadId;                      /* task, thread or ISR that raised the event */
  uint32 resourceId;                    /* shared resource involved */
  char location[IC_RACE_LOCATION_SIZE]; /* code location, zero-terminated */
  uint8 cpuUsage;                       /* simulated CPU load, percent (0..99) */
  uint8 memoryUsage;                    /* simulated memory usage, percent (0..99) */
} RaceConditionLog_t;

/* Layout checks, in a form that every C (C99 on) and C++ compiler takes and that needs no other
 * header: each array type has a negative size, a compile error, if its claim is false. */
typedef char IC_RaceEventTypeIs32Bits[(sizeof(RaceEventType_t) == 4u) ? 1 : -1];
/* Four words, 64 location bytes, two loads. */
typedef char IC_RaceLogEntryIs84Bytes[(sizeof(RaceConditionLog_t) == 84u) ? 1 : -1];

/* Clears the whole log, enables logging and prints the initialisation line. May be called again
 * at any time to start over. */
void IC_RaceAnalysis_Init(void);

/* Records one event if logging is enabled and the log holds fewer than 1000 entries; otherwise
 * does nothing at all. A recorded event takes three rand() draws (time stamp, CPU load, memory
 * usage, in that order); a dropped one takes none. `location` is copied (first 63 characters);
 * a null `location` is logged as an empty one. */
void IC_RaceAnalysis_LogEvent(RaceEventType_t eventType, uint32 threadId, uint32 resourceId,
                              const char* location);

/* Prints the analysis report to standard output. Reads the log only; takes no rand() draw. */
void IC_RaceAnalysis_GenerateReport(void);

/* Runs the four scripted scenarios (nine events in all) and prints their verdicts. */
void IC_RaceAnalysis_SimulateScenarios(void);

/* Simulated time stamp in ms, 0..9999; one rand() draw. */
uint32 GetHighResolutionTimer(void);

/* Simulated CPU load in percent, 0..99; one rand() draw. */
uint8 GetCurrentCPUUsage(void);

/* Simulated memory usage in percent, 0..99; one rand() draw. */
uint8 GetCurrentMemoryUsage(void);

/* Length of the analysis period in ms (fixed). */
uint32 GetAnalysisDuration(void);

/* The whole tool: banner, fresh log, scenarios, report, closing line. Always returns 0, meant as
 * the host program's exit status. */
int HazardscopeMain(void);

#ifdef __cplusplus
}
#endif

#endif /* INSTRUMENT_CLUSTER_DIAGNOSTICS_IC_RACEANALYSIS_H */
