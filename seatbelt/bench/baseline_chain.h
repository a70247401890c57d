/*
 * The steps of one 10 ms tick of the four seatbelt runnables, written as plain C in one file on
 * the same runtime-layer calls: the yardstick for the components' own tick cost. It is no
 * component and nothing but the benchmarks links it.
 */
#ifndef SEATBELT_BENCH_BASELINE_CHAIN_H
#define SEATBELT_BENCH_BASELINE_CHAIN_H

#include "Rte_Seatbelt.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The same inputs as the components' setters. */
void BaselineChain_SetInputs(uint8 latch_raw, uint32 occupancy_raw, uint16 speed,
                             boolean door_closed, uint32 ignition);

/* Arms the door grace, as SeatbeltWarning_Logic_Init. */
void BaselineChain_Init(void);

/* Vehicle state, latch sensor, occupancy sensor, warning logic (with its trace line). */
void BaselineChain_10ms(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_BENCH_BASELINE_CHAIN_H */
