// Seatbelt warning logic: requests the warning when an occupied seat's belt is open at speed with
// the ignition on, once the door grace time has run out, and traces its inputs every 100 ms.
#include "SeatbeltWarning_Logic.h"

#include <cstdio>

#include "Rte_Seatbelt.h"

namespace {

constexpr uint32 kTickMs = 10u;
constexpr uint32 kTracePeriodMs = 100u;

// Door grace still to run, in ms. 0 until the first init, so no grace applies before it; once it
// has run out it stays 0 until the next init.
uint32 doorGraceRemaining = 0u;

struct Signals_t {
  Rte_SeatbeltLatchFiltered_t latch;
  Rte_OccupancyFiltered_t occupancy;
  Rte_VehicleSpeed_t speed;
  Rte_IgnitionState_t ignition;
  Rte_DoorClosed_t door;
};

Signals_t ReadSignals() {
  Signals_t signals{};
  signals.latch = Rte_Read_SeatbeltLatchFiltered();
  signals.occupancy = Rte_Read_OccupancyFiltered();
  signals.speed = Rte_Read_VehicleSpeed();
  signals.ignition = Rte_Read_IgnitionState();
  signals.door = Rte_Read_DoorClosed();
  return signals;
}

// Counts down while the door is closed; an open door, or a door signal that is not valid, starts
// the full grace again from this tick's calibration.
void RunDoorGrace(const Rte_DoorClosed_t& door, const SeatbeltCalibration_t& cal) {
  if (doorGraceRemaining == 0u) {
    return;
  }
  if (door.value != FALSE && door.status == 0u) {
    doorGraceRemaining = (doorGraceRemaining < kTickMs) ? 0u : doorGraceRemaining - kTickMs;
  } else {
    doorGraceRemaining = cal.door_grace_ms;
  }
}

// Computed afresh every tick; a latch or occupancy signal that is not valid suppresses the
// warning. The statuses of speed and ignition are deliberately not consulted.
uint8 DecideRequest(const Signals_t& signals, const SeatbeltCalibration_t& cal) {
  const bool ignitionOn = signals.ignition.value == IGN_ON;
  const bool atSpeed = signals.speed.value >= cal.speed_threshold;
  const bool graceOver = doorGraceRemaining == 0u;
  const bool seatOccupied =
      signals.occupancy.status == 0u && signals.occupancy.value == OCC_OCCUPIED;
  const bool beltOpen = signals.latch.status == 0u && signals.latch.value == FALSE;
  const bool warn = ignitionOn && atSpeed && graceOver && seatOccupied && beltOpen;
  return static_cast<uint8>(warn ? SBW_WARN_ACTIVE : SBW_WARN_NONE);
}

void Trace(const Signals_t& signals, uint8 request) {
  const uint32 now_ms = g_time_ms;
  if (now_ms % kTracePeriodMs != 0u) {
    return;
  }
  // Ignition and occupancy are enumerations and print signed; the other fields print unsigned.
  (void)std::printf("[TIME %5u] IGN=%d SPD=%u OCC=%d LATCH=%d DOOR=%d GRACE=%u WARN=%u\n",
                    static_cast<unsigned>(now_ms), static_cast<int>(signals.ignition.value),
                    static_cast<unsigned>(signals.speed.value),
                    static_cast<int>(signals.occupancy.value),
                    static_cast<int>(signals.latch.value), static_cast<int>(signals.door.value),
                    static_cast<unsigned>(doorGraceRemaining), static_cast<unsigned>(request));
}

}  // namespace

extern "C" {

void SeatbeltWarning_Logic_Init(void) {
  doorGraceRemaining = NvM_GetCal()->door_grace_ms;
}

void SeatbeltWarning_Logic_10ms(void) {
  const SeatbeltCalibration_t* const cal = NvM_GetCal();
  const Signals_t signals = ReadSignals();
  RunDoorGrace(signals.door, *cal);
  const uint8 request = DecideRequest(signals, *cal);
  (void)Rte_Write_SBW_WarningRequest(request);
  Trace(signals, request);
}

}  // extern "C"
