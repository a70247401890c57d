/*
 * Seatbelt latch sensor interface: debounces the raw latch input and publishes
 * SeatbeltLatchFiltered every 10 ms; reports a raw input that never changes as
 * DEM_EVENT_LATCH_STUCK. Starts latched; there is no init operation.
 */
#ifndef SEATBELT_SEATBELT_SENSOR_IF_H
#define SEATBELT_SEATBELT_SENSOR_IF_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Stores the raw latch input (0 = unlatched, anything else = latched). Called by the input side
 * at any time between ticks; only the value present at a tick counts. */
void Seatbelt_Sensor_IF_SetRaw(uint8 raw);

/* The 10 ms runnable: debounce, stuck monitor, publish. Called once per tick by the schedule. */
void Seatbelt_Sensor_IF_10ms(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_SEATBELT_SENSOR_IF_H */
