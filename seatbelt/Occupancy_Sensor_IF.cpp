// Occupancy sensor interface: debounces the raw seat occupancy with one time for both directions
// and publishes OccupancyFiltered.
#include "Occupancy_Sensor_IF.h"

#include "Rte_Seatbelt.h"

namespace {

constexpr uint16 kTickMs = 10u;

// Values are copied and compared for equality only, so any value passes through unchanged.
OccupancyState_t rawOcc = OCC_EMPTY;
OccupancyState_t filteredOcc = OCC_EMPTY;
// How long the raw input has differed from filteredOcc; wraps at 16 bits.
uint16 occ_timer_ms = 0u;

// The timer runs only while the raw input differs from the debounced value. It keeps running if
// the raw input moves between two such values; the take-over uses the raw value of that tick.
void Debounce(OccupancyState_t raw, const SeatbeltCalibration_t& cal) {
  if (raw == filteredOcc) {
    occ_timer_ms = 0u;
    return;
  }
  occ_timer_ms = static_cast<uint16>(occ_timer_ms + kTickMs);
  if (occ_timer_ms >= cal.occ_debounce_ms) {
    filteredOcc = raw;
    occ_timer_ms = 0u;
  }
}

}  // namespace

extern "C" {

void Occupancy_Sensor_IF_SetRaw(uint32 raw) {
  rawOcc = raw;
}

void Occupancy_Sensor_IF_10ms(void) {
  const SeatbeltCalibration_t* const cal = NvM_GetCal();
  Debounce(rawOcc, *cal);
  (void)Rte_Update_OccupancyFiltered(filteredOcc, 0u, g_time_ms);
}

}  // extern "C"
