/*
 * What the seatbelt benchmarks need from the runtime layer they are linked with: the minimal
 * one beside this file (minimal_rte.c) or rte_services (rte/, through host_rte_adapter.cpp).
 */
#ifndef SEATBELT_BENCH_BENCH_RTE_H
#define SEATBELT_BENCH_BENCH_RTE_H

#include "Rte_Seatbelt.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Copies the record; NvM_GetCal returns it from then on. */
void BenchRte_SetCalibration(const SeatbeltCalibration_t* calibration);

/* The latest warning request written. */
uint8 BenchRte_GetWarningRequest(void);

/* Name of the runtime layer, shown as the benchmark label. */
const char* BenchRte_Name(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_BENCH_BENCH_RTE_H */
