// Runtime-services layer of the hosts and the board build: signal store, calibration, warning
// request, diagnostic reports and the schedule clock.
#include "Rte_Host.h"

uint32 g_time_ms = 0u;

namespace {

// A signal that has never been updated reads as value 0 with RTE_E_NEVER_RECEIVED, so a
// consumer that checks the status treats it as unknown rather than as a real 0.
template <typename Record>
constexpr Record NeverReceived() noexcept {
  Record record{};
  record.status = RTE_E_NEVER_RECEIVED;
  return record;
}

struct State {
  Rte_SeatbeltLatchFiltered_t latch = NeverReceived<Rte_SeatbeltLatchFiltered_t>();
  Rte_OccupancyFiltered_t occupancy = NeverReceived<Rte_OccupancyFiltered_t>();
  Rte_VehicleSpeed_t speed = NeverReceived<Rte_VehicleSpeed_t>();
  Rte_IgnitionState_t ignition = NeverReceived<Rte_IgnitionState_t>();
  Rte_DoorClosed_t door = NeverReceived<Rte_DoorClosed_t>();
  SeatbeltCalibration_t calibration = {
      RTEHOST_DEFAULT_LATCH_DEBOUNCE_MS, RTEHOST_DEFAULT_UNLATCH_DEBOUNCE_MS,
      RTEHOST_DEFAULT_OCC_DEBOUNCE_MS, RTEHOST_DEFAULT_SPEED_THRESHOLD,
      RTEHOST_DEFAULT_DOOR_GRACE_MS};
  uint8 warningRequest = SBW_WARN_NONE;
  uint32 warningWrites = 0u;
  uint32 demReports = 0u;
  uint32 signalChanges = 0u;
  RteHost_DemListener_t demListener = nullptr;
  void* demContext = nullptr;
  RteHost_WarningListener_t warningListener = nullptr;
  void* warningContext = nullptr;
};

State state;

template <typename Record, typename Value>
Std_ReturnType Store(Record& record, Value value, uint32 status) {
  if (record.value != value || record.status != status) {
    ++state.signalChanges;
  }
  record.value = value;
  record.status = status;
  return E_OK;
}

}  // namespace

extern "C" {

Std_ReturnType Rte_Update_SeatbeltLatchFiltered(boolean value, uint32 status,
                                                uint32 /*timestamp*/) {
  return Store(state.latch, value, status);
}

Std_ReturnType Rte_Update_OccupancyFiltered(uint32 value, uint32 status, uint32 /*timestamp*/) {
  return Store(state.occupancy, value, status);
}

Std_ReturnType Rte_Update_VehicleSpeed(uint16 value, uint32 status, uint32 /*timestamp*/) {
  return Store(state.speed, value, status);
}

Std_ReturnType Rte_Update_IgnitionState(uint32 value, uint32 status, uint32 /*timestamp*/) {
  return Store(state.ignition, value, status);
}

Std_ReturnType Rte_Update_DoorClosed(boolean value, uint32 status, uint32 /*timestamp*/) {
  return Store(state.door, value, status);
}

Rte_SeatbeltLatchFiltered_t Rte_Read_SeatbeltLatchFiltered(void) {
  return state.latch;
}
Rte_OccupancyFiltered_t Rte_Read_OccupancyFiltered(void) {
  return state.occupancy;
}
Rte_VehicleSpeed_t Rte_Read_VehicleSpeed(void) {
  return state.speed;
}
Rte_IgnitionState_t Rte_Read_IgnitionState(void) {
  return state.ignition;
}
Rte_DoorClosed_t Rte_Read_DoorClosed(void) {
  return state.door;
}

Std_ReturnType Rte_Write_SBW_WarningRequest(uint8 value) {
  state.warningRequest = value;
  ++state.warningWrites;
  if (state.warningListener != nullptr) {
    state.warningListener(value, state.warningContext);
  }
  return E_OK;
}

const SeatbeltCalibration_t* NvM_GetCal(void) {
  return &state.calibration;
}

Std_ReturnType Dem_ReportErrorStatus(uint16 eventId, uint8 eventStatus) {
  ++state.demReports;
  if (state.demListener != nullptr) {
    state.demListener(eventId, eventStatus, state.demContext);
  }
  return E_OK;
}

void RteHost_Reset(void) {
  state = State{};
  g_time_ms = 0u;
}

SeatbeltCalibration_t RteHost_DefaultCalibration(void) {
  return State{}.calibration;
}

void RteHost_SetCalibration(const SeatbeltCalibration_t* calibration) {
  if (calibration != nullptr) {
    state.calibration = *calibration;
  }
}

uint8 RteHost_GetWarningRequest(void) {
  return state.warningRequest;
}
uint32 RteHost_GetWarningWriteCount(void) {
  return state.warningWrites;
}
uint32 RteHost_GetDemReportCount(void) {
  return state.demReports;
}
uint32 RteHost_GetSignalChangeCount(void) {
  return state.signalChanges;
}

void RteHost_SetDemListener(RteHost_DemListener_t listener, void* context) {
  state.demListener = listener;
  state.demContext = context;
}

void RteHost_SetWarningListener(RteHost_WarningListener_t listener, void* context) {
  state.warningListener = listener;
  state.warningContext = context;
}

}  // extern "C"
