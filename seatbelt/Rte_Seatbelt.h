/*
 * Runtime-services contract of the seatbelt reminder application.
 *
 * The four seatbelt components exchange their signals, read calibration, report diagnostic
 * events and read the clock only through the calls declared here. The runtime-services layer
 * that defines them is linked separately, so a host can bring its own.
 */
#ifndef SEATBELT_RTE_SEATBELT_H
#define SEATBELT_RTE_SEATBELT_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Seat occupancy, a 32-bit enumeration passed as uint32. */
typedef uint32 OccupancyState_t;
#define OCC_EMPTY 0u
#define OCC_OCCUPIED 1u

/* Ignition state, a 32-bit enumeration passed as uint32. */
typedef uint32 IgnitionState_t;
#define IGN_OFF 0u
#define IGN_ON 1u

/* Seatbelt warning request written by the warning logic. */
#define SBW_WARN_NONE 0u
#define SBW_WARN_ACTIVE 2u

/* Diagnostic events and their status values. */
#define DEM_EVENT_LATCH_STUCK 0x1001u
#define DEM_EVENT_SPEED_STUCK 0x1004u
#define DEM_EVENT_STATUS_PASSED 0u
#define DEM_EVENT_STATUS_FAILED 1u

/* Signal records: the latest value and its status (0 = valid). */
typedef struct {
  boolean value; /* TRUE = latched */
  uint32 status;
} Rte_SeatbeltLatchFiltered_t;

typedef struct {
  OccupancyState_t value;
  uint32 status;
} Rte_OccupancyFiltered_t;

typedef struct {
  uint16 value; /* vehicle speed, in the unit of speed_threshold */
  uint32 status;
} Rte_VehicleSpeed_t;

typedef struct {
  IgnitionState_t value;
  uint32 status;
} Rte_IgnitionState_t;

typedef struct {
  boolean value; /* TRUE = door closed */
  uint32 status;
} Rte_DoorClosed_t;

/* Calibration record; all times in ms. */
typedef struct {
  uint16 latch_debounce_ms;
  uint16 unlatch_debounce_ms;
  uint16 occ_debounce_ms;
  uint16 speed_threshold; /* in the unit of VehicleSpeed */
  uint16 door_grace_ms;
} SeatbeltCalibration_t;

/* Publish a signal's value with its status; timestamp is g_time_ms at the call. The next read of
 * the same signal returns value and status. */
Std_ReturnType Rte_Update_SeatbeltLatchFiltered(boolean value, uint32 status, uint32 timestamp);
Std_ReturnType Rte_Update_OccupancyFiltered(uint32 value, uint32 status, uint32 timestamp);
Std_ReturnType Rte_Update_VehicleSpeed(uint16 value, uint32 status, uint32 timestamp);
Std_ReturnType Rte_Update_IgnitionState(uint32 value, uint32 status, uint32 timestamp);
Std_ReturnType Rte_Update_DoorClosed(boolean value, uint32 status, uint32 timestamp);

/* The record of the latest update of a signal. */
Rte_SeatbeltLatchFiltered_t Rte_Read_SeatbeltLatchFiltered(void);
Rte_OccupancyFiltered_t Rte_Read_OccupancyFiltered(void);
Rte_VehicleSpeed_t Rte_Read_VehicleSpeed(void);
Rte_IgnitionState_t Rte_Read_IgnitionState(void);
Rte_DoorClosed_t Rte_Read_DoorClosed(void);

/* The warning request, SBW_WARN_NONE or SBW_WARN_ACTIVE, written once per tick. */
Std_ReturnType Rte_Write_SBW_WarningRequest(uint8 value);

/* The calibration record; never null, owned by the runtime services. */
const SeatbeltCalibration_t* NvM_GetCal(void);

/* Report a diagnostic event's status (DEM_EVENT_STATUS_FAILED or _PASSED). */
Std_ReturnType Dem_ReportErrorStatus(uint16 eventId, uint8 eventStatus);

/* Milliseconds since the schedule started. The host of the 10 ms schedule adds 10 before each
 * tick; the components only read it. */
extern uint32 g_time_ms;

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_RTE_SEATBELT_H */
