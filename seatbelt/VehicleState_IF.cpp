// Vehicle state interface: publishes speed, ignition and door as set, and reports a speed that
// never changes. Reads no calibration.
#include "VehicleState_IF.h"

#include "Rte_Seatbelt.h"

namespace {

constexpr uint32 kTickMs = 10u;
// A speed unchanged this long is reported stuck (failed), and passed 100 ms later. A standing
// vehicle's 0 counts like any other speed.
constexpr uint32 kSpeedStuckFailMs = 10000u;
constexpr uint32 kSpeedStuckPassMs = 10100u;

// Inputs as set. The module starts standing, with the ignition off and the door closed.
uint16 simSpeed = 0u;
IgnitionState_t simIgn = IGN_OFF;
boolean simDoorClosed = TRUE;

// Speed monitor state, used by the runnable only.
uint16 lastSpeed = 0u;
uint32 speed_static_ms = 0u;

void MonitorSpeedStuck() {
  if (simSpeed == lastSpeed) {
    speed_static_ms += kTickMs;
    if (speed_static_ms == kSpeedStuckFailMs) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (speed_static_ms == kSpeedStuckPassMs) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    speed_static_ms = 0u;
    lastSpeed = simSpeed;
  }
}

}  // namespace

extern "C" {

void VehicleState_IF_SetSpeed(uint16 speed) {
  simSpeed = speed;
}

void VehicleState_IF_SetDoorClosed(boolean closed) {
  simDoorClosed = closed;
}

void VehicleState_IF_SetIgnition(uint32 state) {
  simIgn = state;
}

void VehicleState_IF_10ms(void) {
  MonitorSpeedStuck();
  (void)Rte_Update_VehicleSpeed(simSpeed, 0u, g_time_ms);
  (void)Rte_Update_IgnitionState(simIgn, 0u, g_time_ms);
  (void)Rte_Update_DoorClosed(simDoorClosed, 0u, g_time_ms);
}

}  // extern "C"
