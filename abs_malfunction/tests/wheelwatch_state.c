/*
 * The module's source compiled into the tests, built with WHEELWATCH_NO_MAIN, and accessors to
 * its file-scope state (see wheelwatch_state.h).
 */
#include "../simulation/wheelwatch.c"

#include "wheelwatch_state.h"

WheelwatchSpeeds_t* WheelwatchState_WheelSpeeds(void) {
  return &g_WheelSpeeds;
}

WheelwatchCalibrations_t* WheelwatchState_Calibrations(void) {
  return &g_Calibrations;
}

WheelwatchStatuses_t* WheelwatchState_MalfunctionStatus(void) {
  return &g_MalfunctionStatus;
}

uint32* WheelwatchState_SimulationStep(void) {
  return &g_SimulationStep;
}
