// Linked into test builds of beltcheck only: installs another calibration before main runs, so
// the unchanged program can be checked against it. The runtime layer's own state is constant-
// initialised, so this dynamic initialiser always runs after it.
#include "Rte_Host.h"

namespace {

[[maybe_unused]] const bool kCalibrationInstalled = [] {
  SeatbeltCalibration_t cal = RteHost_DefaultCalibration();
  cal.latch_debounce_ms = TEST_LATCH_DEBOUNCE_MS;
  cal.unlatch_debounce_ms = TEST_UNLATCH_DEBOUNCE_MS;
  cal.occ_debounce_ms = TEST_OCC_DEBOUNCE_MS;
  RteHost_SetCalibration(&cal);
  return true;
}();

}  // namespace
