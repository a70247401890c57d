/*
 * Minimal runtime layer for the benchmarks: every signal is a plain record that an update stores
 * and a read returns. No listeners, counters, timestamps or never-received status, so a tick
 * costs the components' own steps plus one call per runtime service: the cost a target's
 * generated runtime layer would add at most.
 */
#include "bench_rte.h"

uint32 g_time_ms = 0u;

static Rte_SeatbeltLatchFiltered_t latch_record;
static Rte_OccupancyFiltered_t occupancy_record;
static Rte_VehicleSpeed_t speed_record;
static Rte_IgnitionState_t ignition_record;
static Rte_DoorClosed_t door_record;
static SeatbeltCalibration_t calibration = {50u, 100u, 300u, 25u, 3000u};
static uint8 warning_request = SBW_WARN_NONE;

Std_ReturnType Rte_Update_SeatbeltLatchFiltered(boolean value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  latch_record.value = value;
  latch_record.status = status;
  return E_OK;
}

Std_ReturnType Rte_Update_OccupancyFiltered(uint32 value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  occupancy_record.value = value;
  occupancy_record.status = status;
  return E_OK;
}

Std_ReturnType Rte_Update_VehicleSpeed(uint16 value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  speed_record.value = value;
  speed_record.status = status;
  return E_OK;
}

Std_ReturnType Rte_Update_IgnitionState(uint32 value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  ignition_record.value = value;
  ignition_record.status = status;
  return E_OK;
}

Std_ReturnType Rte_Update_DoorClosed(boolean value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  door_record.value = value;
  door_record.status = status;
  return E_OK;
}

Rte_SeatbeltLatchFiltered_t Rte_Read_SeatbeltLatchFiltered(void) {
  return latch_record;
}

Rte_OccupancyFiltered_t Rte_Read_OccupancyFiltered(void) {
  return occupancy_record;
}

Rte_VehicleSpeed_t Rte_Read_VehicleSpeed(void) {
  return speed_record;
}

Rte_IgnitionState_t Rte_Read_IgnitionState(void) {
  return ignition_record;
}

Rte_DoorClosed_t Rte_Read_DoorClosed(void) {
  return door_record;
}

Std_ReturnType Rte_Write_SBW_WarningRequest(uint8 value) {
  warning_request = value;
  return E_OK;
}

const SeatbeltCalibration_t* NvM_GetCal(void) {
  return &calibration;
}

Std_ReturnType Dem_ReportErrorStatus(uint16 eventId, uint8 eventStatus) {
  (void)eventId;
  (void)eventStatus;
  return E_OK;
}

void BenchRte_SetCalibration(const SeatbeltCalibration_t* record) {
  calibration = *record;
}

uint8 BenchRte_GetWarningRequest(void) {
  return warning_request;
}

const char* BenchRte_Name(void) {
  return "minimal rte";
}
