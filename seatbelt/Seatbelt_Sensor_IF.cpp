// Seatbelt latch sensor interface: debounces the raw latch input with separate latch and unlatch
// times, watches it for a value that never changes, and publishes SeatbeltLatchFiltered.
#include "Seatbelt_Sensor_IF.h"

#include "Rte_Seatbelt.h"

namespace {

constexpr uint16 kTickMs = 10u;
// A raw input unchanged this long is reported stuck (failed), and passed 100 ms later.
constexpr uint32 kLatchStuckFailMs = 5000u;
constexpr uint32 kLatchStuckPassMs = 5100u;

// Input and debounce state. The module starts as if the belt had been latched all along.
uint8 rawLatch = 1u;  // 0 = unlatched, any other value = latched
boolean filteredLatch = TRUE;
uint16 latch_timer_ms = 0u;    // raw latched without a break; wraps at 16 bits
uint16 unlatch_timer_ms = 0u;  // raw unlatched without a break; wraps at 16 bits

// Stuck monitor state, used by the runnable only.
uint8 last_raw = 1u;
uint32 same_state_ms = 0u;

uint16 AdvanceTimer(uint16 timer_ms) {
  return static_cast<uint16>(timer_ms + kTickMs);
}

// Each tick of the opposite raw state restarts the other timer, so a change has to persist for
// the whole debounce time without a break.
void Debounce(uint8 raw, const SeatbeltCalibration_t& cal) {
  if (raw != 0u) {
    latch_timer_ms = AdvanceTimer(latch_timer_ms);
    unlatch_timer_ms = 0u;
    if (latch_timer_ms >= cal.latch_debounce_ms) {
      filteredLatch = TRUE;
    }
  } else {
    unlatch_timer_ms = AdvanceTimer(unlatch_timer_ms);
    latch_timer_ms = 0u;
    if (unlatch_timer_ms >= cal.unlatch_debounce_ms) {
      filteredLatch = FALSE;
    }
  }
}

// Compares the raw byte itself, so 1 -> 2 is a change although both debounce as latched.
void MonitorStuck(uint8 raw) {
  if (raw == last_raw) {
    same_state_ms += kTickMs;
    if (same_state_ms == kLatchStuckFailMs) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (same_state_ms == kLatchStuckPassMs) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    same_state_ms = 0u;
    last_raw = raw;
  }
}

}  // namespace

extern "C" {

void Seatbelt_Sensor_IF_SetRaw(uint8 raw) {
  rawLatch = raw;
}

void Seatbelt_Sensor_IF_10ms(void) {
  const SeatbeltCalibration_t* const cal = NvM_GetCal();
  const uint8 raw = rawLatch;  // debounce and monitor judge the same sample
  Debounce(raw, *cal);
  MonitorStuck(raw);
  (void)Rte_Update_SeatbeltLatchFiltered(filteredLatch, 0u, g_time_ms);
}

}  // extern "C"
