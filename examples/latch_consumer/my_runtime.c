/* The smallest runtime layer the latch sensor interface needs: a signal store for the filtered
 * latch, a calibration record, a diagnostic sink that counts reports, and the clock. */
#include "my_runtime.h"

uint32 g_time_ms = 0u;

static const SeatbeltCalibration_t calibration = {30u, 60u, 300u, 25u, 0u};
static Rte_SeatbeltLatchFiltered_t latch = {0u, 1u};
static uint32 reports = 0u;

Std_ReturnType Rte_Update_SeatbeltLatchFiltered(boolean value, uint32 status, uint32 timestamp) {
  (void)timestamp;
  latch.value = value;
  latch.status = status;
  return E_OK;
}

Rte_SeatbeltLatchFiltered_t Rte_Read_SeatbeltLatchFiltered(void) {
  return latch;
}

const SeatbeltCalibration_t* NvM_GetCal(void) {
  return &calibration;
}

Std_ReturnType Dem_ReportErrorStatus(uint16 eventId, uint8 eventStatus) {
  (void)eventId;
  (void)eventStatus;
  ++reports;
  return E_OK;
}

uint32 MyRuntime_ReportCount(void) {
  return reports;
}
