// The benchmarks' runtime-layer calls on rte_services, the layer seatbelt_sim uses.
#include "Rte_Host.h"
#include "bench_rte.h"

extern "C" {

void BenchRte_SetCalibration(const SeatbeltCalibration_t* calibration) {
  RteHost_SetCalibration(calibration);
}

uint8 BenchRte_GetWarningRequest(void) {
  return RteHost_GetWarningRequest();
}

const char* BenchRte_Name(void) {
  return "rte_services";
}

}  // extern "C"
