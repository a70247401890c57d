// Linked into test builds of beltcheck only: installs another calibration before main runs, so
// the unchanged program can be checked against it. The runtime layer's own state is constant-
// initialised, so this dynamic initialiser always runs after it.
#include <csignal>

#include "Rte_Host.h"

// The coverage runtime of a clang source-based coverage build (the mcdc preset) writes its counts
// when the program exits, which a failed assertion never reaches. Null in every other build.
extern "C" int __llvm_profile_write_file(void) __attribute__((weak));

namespace {

// abort() raises SIGABRT; the counts are written, then the handler returns and abort() ends the
// program as before.
extern "C" void WriteCoverageOnAbort(int /*signal*/) {
  if (__llvm_profile_write_file != nullptr) {
    (void)__llvm_profile_write_file();
  }
}

[[maybe_unused]] const bool kCalibrationInstalled = [] {
  SeatbeltCalibration_t cal = RteHost_DefaultCalibration();
  cal.latch_debounce_ms = TEST_LATCH_DEBOUNCE_MS;
  cal.unlatch_debounce_ms = TEST_UNLATCH_DEBOUNCE_MS;
  cal.occ_debounce_ms = TEST_OCC_DEBOUNCE_MS;
  RteHost_SetCalibration(&cal);
  (void)std::signal(SIGABRT, WriteCoverageOnAbort);
  return true;
}();

}  // namespace
