/*
 * Host side of the runtime-services layer that the seatbelt components link against.
 *
 * The layer keeps the latest update of each signal, the calibration record, the warning request
 * and the diagnostic reports, and defines g_time_ms. These calls let a host (a simulation, a
 * test, a check program) set the calibration and observe what the components wrote. Everything
 * runs on the one thread of the 10 ms schedule; nothing is locked.
 */
#ifndef RTE_RTE_HOST_H
#define RTE_RTE_HOST_H

#include "Rte_Seatbelt.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status of a signal read before its first update; its value is then 0. */
#define RTE_E_NEVER_RECEIVED 0x84u

/* Calibration in force until a host sets another one (all times in ms). */
#define RTEHOST_DEFAULT_LATCH_DEBOUNCE_MS 50u
#define RTEHOST_DEFAULT_UNLATCH_DEBOUNCE_MS 100u
#define RTEHOST_DEFAULT_OCC_DEBOUNCE_MS 300u
#define RTEHOST_DEFAULT_SPEED_THRESHOLD 25u
#define RTEHOST_DEFAULT_DOOR_GRACE_MS 3000u

/* Called for every diagnostic report, after it has been counted. */
typedef void (*RteHost_DemListener_t)(uint16 eventId, uint8 eventStatus, void* context);
/* Called for every write of the warning request, after it has been stored. */
typedef void (*RteHost_WarningListener_t)(uint8 request, void* context);

/* Back to the power-on state: no signal received, default calibration, warning request
 * SBW_WARN_NONE, counters 0, no listeners, g_time_ms 0. */
void RteHost_Reset(void);

/* The default calibration record. */
SeatbeltCalibration_t RteHost_DefaultCalibration(void);

/* Copies the record; NvM_GetCal returns it from then on. A null pointer changes nothing. */
void RteHost_SetCalibration(const SeatbeltCalibration_t* calibration);

/* The latest warning request written (SBW_WARN_NONE before the first write). */
uint8 RteHost_GetWarningRequest(void);
/* How many times the warning request was written. */
uint32 RteHost_GetWarningWriteCount(void);
/* How many diagnostic reports were made. */
uint32 RteHost_GetDemReportCount(void);
/* How many updates changed a signal's value or status (wrapping): a host that watches the
 * signals reads them again only when this count has moved. */
uint32 RteHost_GetSignalChangeCount(void);

/* Installs a listener (null removes it); context is passed back unchanged. */
void RteHost_SetDemListener(RteHost_DemListener_t listener, void* context);
void RteHost_SetWarningListener(RteHost_WarningListener_t listener, void* context);

#ifdef __cplusplus
}
#endif

#endif /* RTE_RTE_HOST_H */
