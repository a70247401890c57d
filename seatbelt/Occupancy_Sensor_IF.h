/*
 * Occupancy sensor interface: debounces the raw seat occupancy with one debounce time for both
 * directions and publishes OccupancyFiltered every 10 ms. Starts empty; there is no init
 * operation.
 */
#ifndef SEATBELT_OCCUPANCY_SENSOR_IF_H
#define SEATBELT_OCCUPANCY_SENSOR_IF_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Stores the raw occupancy (OCC_EMPTY or OCC_OCCUPIED; other values pass through unchanged).
 * Only the value present at a tick counts. */
void Occupancy_Sensor_IF_SetRaw(uint32 raw);

/* The 10 ms runnable: debounce, publish. Called once per tick by the schedule. */
void Occupancy_Sensor_IF_10ms(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_OCCUPANCY_SENSOR_IF_H */
