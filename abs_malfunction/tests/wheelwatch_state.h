/*
 * The wheelwatch module's private state, reached by its tests: wheelwatch_state.c compiles the
 * module's source (without `main`) together with these accessors, so the tests set speeds,
 * factors and the step number to probe the diagnosis, and read what the steps wrote.
 */
#ifndef ABS_MALFUNCTION_TESTS_WHEELWATCH_STATE_H
#define ABS_MALFUNCTION_TESTS_WHEELWATCH_STATE_H

#include "wheelwatch.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef SpeedData_t WheelwatchSpeeds_t[WHEEL_MAX];
typedef SpeedSensorCalibration_t WheelwatchCalibrations_t[WHEEL_MAX];
typedef ABS_MalfunctionStatus_t WheelwatchStatuses_t[WHEEL_MAX];

WheelwatchSpeeds_t* WheelwatchState_WheelSpeeds(void);
WheelwatchCalibrations_t* WheelwatchState_Calibrations(void);
WheelwatchStatuses_t* WheelwatchState_MalfunctionStatus(void);
uint32* WheelwatchState_SimulationStep(void);

#ifdef __cplusplus
}
#endif

#endif /* ABS_MALFUNCTION_TESTS_WHEELWATCH_STATE_H */
