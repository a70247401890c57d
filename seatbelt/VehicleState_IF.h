/*
 * Vehicle state interface: publishes VehicleSpeed, IgnitionState and DoorClosed every 10 ms as
 * set, and reports a speed that never changes as DEM_EVENT_SPEED_STUCK. Starts standing, with
 * the ignition off and the door closed; there is no init operation.
 */
#ifndef SEATBELT_VEHICLESTATE_IF_H
#define SEATBELT_VEHICLESTATE_IF_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Setters store their argument for the next tick and do nothing else. */
void VehicleState_IF_SetSpeed(uint16 speed);
void VehicleState_IF_SetDoorClosed(boolean closed); /* TRUE = door closed */
void VehicleState_IF_SetIgnition(uint32 state);     /* IGN_OFF or IGN_ON */

/* The 10 ms runnable: speed monitor, then publish speed, ignition and door. */
void VehicleState_IF_10ms(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_VEHICLESTATE_IF_H */
