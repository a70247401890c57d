// Reference model of the seatbelt chain for the fuzzer: the chain as the components are meant
// to behave, written from their descriptions rather than from their code: vehicle state, latch
// sensor, occupancy sensor, then the warning logic, as the driver schedules them.
#ifndef SEATBELT_FUZZ_CHAIN_MODEL_H
#define SEATBELT_FUZZ_CHAIN_MODEL_H

#include "Rte_Seatbelt.h"
#include "tick_view.h"

namespace seatbelt_fuzz {

class ChainModel {
 public:
  // The state the driver settles the components in, with calibration cal.
  explicit ChainModel(const SeatbeltCalibration_t& cal) : cal_(cal) {}

  void SetLatch(uint8 raw) { latch_raw_ = raw; }
  void SetOccupancy(uint32 raw) { occ_raw_ = raw; }
  void SetSpeed(uint16 speed) { speed_ = speed; }
  void SetDoor(boolean closed) { door_ = closed; }
  void SetIgnition(uint32 state) { ignition_ = state; }
  void SetCalibration(const SeatbeltCalibration_t& cal) { cal_ = cal; }
  void InitLogic() { grace_ms_ = cal_.door_grace_ms; }

  // Advances one tick and returns what the host should observe after it.
  TickView Tick();

  const SeatbeltCalibration_t& calibration() const { return cal_; }

 private:
  void TickVehicleState(TickView& view);
  void TickLatch(TickView& view);
  void TickOccupancy(TickView& view);
  void TickLogic(TickView& view);

  SeatbeltCalibration_t cal_;
  // Vehicle state: inputs and speed monitor.
  uint16 speed_ = 0u;
  uint32 ignition_ = IGN_OFF;
  boolean door_ = TRUE;
  uint16 last_speed_ = 0u;
  uint32 speed_static_ms_ = 0u;
  // Latch sensor: one tick of raw 1 after one of raw 0.
  uint8 latch_raw_ = 1u;
  boolean latch_filtered_ = TRUE;
  uint16 latch_ms_ = 10u;
  uint16 unlatch_ms_ = 0u;
  uint8 latch_last_raw_ = 1u;
  uint32 latch_same_ms_ = 0u;
  // Occupancy sensor.
  uint32 occ_raw_ = OCC_EMPTY;
  uint32 occ_filtered_ = OCC_EMPTY;
  uint16 occ_ms_ = 0u;
  // Warning logic: initialised with a grace of 0.
  uint32 grace_ms_ = 0u;
};

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_CHAIN_MODEL_H
