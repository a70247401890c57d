#include "FakeRte.h"

#include <cstdio>

uint32 g_time_ms = 0u;

namespace fake_rte {

std::vector<std::string> calls;
SeatbeltCalibration_t cal = {50u, 100u, 300u, 25u, 0u};
Rte_SeatbeltLatchFiltered_t latch{};
Rte_OccupancyFiltered_t occupancy{};
Rte_VehicleSpeed_t speed{};
Rte_IgnitionState_t ignition{};
Rte_DoorClosed_t door{};

std::vector<std::string> Calls(const std::string& prefix) {
  std::vector<std::string> matching;
  for (const std::string& call : calls) {
    if (call.compare(0, prefix.size(), prefix) == 0) {
      matching.push_back(call);
    }
  }
  return matching;
}

namespace {

template <typename Record, typename Value>
Std_ReturnType Update(const char* name, Record& record, Value value, uint32 status,
                      uint32 timestamp) {
  record.value = value;
  record.status = status;
  calls.push_back(std::string(name) + "=" + std::to_string(value) +
                  " status=" + std::to_string(status) + " t=" + std::to_string(timestamp));
  return E_OK;
}

template <typename Record>
Record Read(const char* name, const Record& record) {
  calls.push_back(std::string("read ") + name);
  return record;
}

}  // namespace
}  // namespace fake_rte

using namespace fake_rte;

extern "C" {

Std_ReturnType Rte_Update_SeatbeltLatchFiltered(boolean value, uint32 status, uint32 timestamp) {
  return Update("latch", latch, value, status, timestamp);
}
Std_ReturnType Rte_Update_OccupancyFiltered(uint32 value, uint32 status, uint32 timestamp) {
  return Update("occ", occupancy, value, status, timestamp);
}
Std_ReturnType Rte_Update_VehicleSpeed(uint16 value, uint32 status, uint32 timestamp) {
  return Update("speed", speed, value, status, timestamp);
}
Std_ReturnType Rte_Update_IgnitionState(uint32 value, uint32 status, uint32 timestamp) {
  return Update("ign", ignition, value, status, timestamp);
}
Std_ReturnType Rte_Update_DoorClosed(boolean value, uint32 status, uint32 timestamp) {
  return Update("door", door, value, status, timestamp);
}

Rte_SeatbeltLatchFiltered_t Rte_Read_SeatbeltLatchFiltered(void) {
  return Read("latch", latch);
}
Rte_OccupancyFiltered_t Rte_Read_OccupancyFiltered(void) {
  return Read("occ", occupancy);
}
Rte_VehicleSpeed_t Rte_Read_VehicleSpeed(void) {
  return Read("speed", speed);
}
Rte_IgnitionState_t Rte_Read_IgnitionState(void) {
  return Read("ign", ignition);
}
Rte_DoorClosed_t Rte_Read_DoorClosed(void) {
  return Read("door", door);
}

Std_ReturnType Rte_Write_SBW_WarningRequest(uint8 value) {
  calls.push_back("warn=" + std::to_string(value));
  return E_OK;
}

const SeatbeltCalibration_t* NvM_GetCal(void) {
  calls.push_back("cal");
  return &cal;
}

Std_ReturnType Dem_ReportErrorStatus(uint16 eventId, uint8 eventStatus) {
  char line[64];
  (void)std::snprintf(line, sizeof line, "dem 0x%04x %s t=%u", static_cast<unsigned>(eventId),
                      eventStatus == DEM_EVENT_STATUS_FAILED   ? "failed"
                      : eventStatus == DEM_EVENT_STATUS_PASSED ? "passed"
                                                               : "other",
                      static_cast<unsigned>(g_time_ms));
  calls.push_back(line);
  return E_OK;
}

}  // extern "C"
