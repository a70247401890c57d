/*
 * Linked into beltcheck_failing_cal only: installs, before main runs, a calibration whose
 * occupancy debounce (200 ms) is too short for beltcheck's third check, so the unchanged program
 * must stop there with its assertion report and a failing exit status.
 */
#include "Rte_Host.h"

#define FAILING_OCC_DEBOUNCE_MS 200u

__attribute__((constructor)) static void FailingCal_Install(void) {
  SeatbeltCalibration_t calibration = RteHost_DefaultCalibration();
  calibration.occ_debounce_ms = FAILING_OCC_DEBOUNCE_MS;
  RteHost_SetCalibration(&calibration);
}
