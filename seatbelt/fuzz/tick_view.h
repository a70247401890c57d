// What a host observes after one tick of the seatbelt chain: the five published signals, the
// warning request and the diagnostic reports. The model predicts it, the driver reads it from
// the runtime layer, and the checks judge it.
#ifndef SEATBELT_FUZZ_TICK_VIEW_H
#define SEATBELT_FUZZ_TICK_VIEW_H

#include <array>
#include <cstddef>
#include <string>

#include "Rte_Seatbelt.h"

namespace seatbelt_fuzz {

struct DemReport {
  uint16 event_id = 0u;
  uint8 status = 0u;
};

struct TickView {
  Rte_SeatbeltLatchFiltered_t latch{};
  Rte_OccupancyFiltered_t occupancy{};
  Rte_VehicleSpeed_t speed{};
  Rte_IgnitionState_t ignition{};
  Rte_DoorClosed_t door{};
  uint8 request = SBW_WARN_NONE;
  uint32 request_writes = 0u;  // writes of the warning request during the tick
  // Diagnostic reports during the tick, in order. At most one per monitor per tick can be
  // right; the room for more lets a wrong extra report show up as such.
  std::array<DemReport, 4> dem{};
  std::size_t dem_count = 0u;
};

// Appends a report; beyond the room in dem it is only counted.
void AddReport(TickView& view, uint16 event_id, uint8 status);

// "what: expected E, got S", the form of every complaint of the checks.
std::string Describe(const char* what, unsigned long expected, unsigned long seen);

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_TICK_VIEW_H
