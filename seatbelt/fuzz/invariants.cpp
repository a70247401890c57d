// Properties of every tick of the seatbelt chain (see invariants.h).
#include "invariants.h"

#include <algorithm>
#include <iterator>

namespace seatbelt_fuzz {

std::string CheckInvariants(const TickView& seen, const SeatbeltCalibration_t& cal) {
  if (seen.request_writes != 1u) {
    return Describe("warning request writes in one tick", 1u, seen.request_writes);
  }
  if (seen.request != SBW_WARN_NONE && seen.request != SBW_WARN_ACTIVE) {
    return Describe("warning request is neither NONE (0) nor ACTIVE (2)", SBW_WARN_ACTIVE,
                    seen.request);
  }
  const uint32 statuses[] = {seen.latch.status, seen.occupancy.status, seen.speed.status,
                             seen.ignition.status, seen.door.status};
  const uint32* const invalid = std::find_if(std::begin(statuses), std::end(statuses),
                                             [](uint32 status) { return status != 0u; });
  if (invalid != std::end(statuses)) {
    return Describe("status of a published signal", 0u, *invalid);
  }
  if (seen.latch.value != FALSE && seen.latch.value != TRUE) {
    return Describe("latch value is neither 0 nor 1", TRUE, seen.latch.value);
  }
  if (seen.request == SBW_WARN_ACTIVE) {
    if (seen.ignition.value != IGN_ON) {
      return Describe("warning active with ignition", IGN_ON, seen.ignition.value);
    }
    if (seen.speed.value < cal.speed_threshold) {
      return Describe("warning active below the speed threshold", cal.speed_threshold,
                      seen.speed.value);
    }
    if (seen.occupancy.value != OCC_OCCUPIED) {
      return Describe("warning active with occupancy", OCC_OCCUPIED, seen.occupancy.value);
    }
    if (seen.latch.value != FALSE) {
      return Describe("warning active with the belt latched", FALSE, seen.latch.value);
    }
  }
  if (seen.dem_count > seen.dem.size()) {
    return Describe("diagnostic reports in one tick, at most", seen.dem.size(), seen.dem_count);
  }
  for (std::size_t i = 0u; i < seen.dem_count; ++i) {
    const DemReport& report = seen.dem[i];
    if (report.event_id != DEM_EVENT_LATCH_STUCK && report.event_id != DEM_EVENT_SPEED_STUCK) {
      return Describe("diagnostic report of an unknown event", DEM_EVENT_LATCH_STUCK,
                      report.event_id);
    }
    if (report.status != DEM_EVENT_STATUS_FAILED && report.status != DEM_EVENT_STATUS_PASSED) {
      return Describe("diagnostic report status", DEM_EVENT_STATUS_FAILED, report.status);
    }
  }
  return {};
}

}  // namespace seatbelt_fuzz
