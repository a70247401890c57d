// Fuzz driver of the seatbelt chain: runs the four components on the runtime layer
// (rte_services) through host operations decoded from bytes, and checks every tick against a
// reference model of the chain and against properties that hold whatever the history.
//
// Input format: a sequence of operations, each an opcode byte (taken modulo kOpCount) followed
// by its operands. An input that ends inside an operation stops before it.
//
//   0 SetLatch        1 byte   raw latch (0 = unlatched)
//   1 SetOccupancy    1 byte   raw occupancy (values above 1 pass through the components)
//   2 SetSpeed        2 bytes  little endian
//   3 SetDoor         1 byte   door closed (any non-zero byte counts as closed)
//   4 SetIgnition     1 byte
//   5 SetCalibration  10 bytes the five calibration fields in record order, 2 bytes each, LE
//   6 InitLogic       -        SeatbeltWarning_Logic_Init
//   7 Tick            -        g_time_ms += 10, then one tick of the chain
//   8 Ticks           1 byte   n: n + 1 ticks
//
// The components keep their state across inputs (they have no reset), so every input first
// drives them into one known state with ordinary setter calls and two ticks (see Settle in the
// source): a violation then depends on its input alone and reproduces from the crash file.
#ifndef SEATBELT_FUZZ_CHAIN_DRIVER_H
#define SEATBELT_FUZZ_CHAIN_DRIVER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "Rte_Seatbelt.h"

namespace seatbelt_fuzz {

enum Op : uint8 {
  kOpSetLatch = 0,
  kOpSetOccupancy = 1,
  kOpSetSpeed = 2,
  kOpSetDoor = 3,
  kOpSetIgnition = 4,
  kOpSetCalibration = 5,
  kOpInitLogic = 6,
  kOpTick = 7,
  kOpTicks = 8,
  kOpCount = 9
};

// Ticks one input may run; long enough for both stuck monitors (1010 ticks) and a wrap of the
// 16-bit debounce timers (6554 ticks), short enough to keep the fuzzer fast.
inline constexpr uint32 kMaxTicksPerInput = 20000u;

struct DemReport {
  uint16 event_id = 0u;
  uint8 status = 0u;
};

// What a host observes after one tick of the chain.
struct TickView {
  Rte_SeatbeltLatchFiltered_t latch{};
  Rte_OccupancyFiltered_t occupancy{};
  Rte_VehicleSpeed_t speed{};
  Rte_IgnitionState_t ignition{};
  Rte_DoorClosed_t door{};
  uint8 request = SBW_WARN_NONE;
  uint32 request_writes = 0u;  // writes of the warning request during the tick
  // Diagnostic reports during the tick, in order. At most one per monitor per tick can be
  // right; the room for more lets a wrong extra report show up as such.
  std::array<DemReport, 4> dem{};
  std::size_t dem_count = 0u;
};

// The chain as the components are meant to behave, written from their descriptions rather
// than from their code: vehicle state, latch sensor, occupancy sensor, then the warning logic,
// as the driver schedules them.
class ChainModel {
 public:
  // The state Settle leaves the components in, with calibration cal.
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

// Properties of every tick that need no model: the request is written once and is only ever
// SBW_WARN_NONE or SBW_WARN_ACTIVE, and ACTIVE only with the ignition on, the speed at or above
// the threshold, a valid occupied seat and a valid open belt; every published signal is valid;
// the latch is 0 or 1; diagnostic reports carry a known event and status. Returns what is
// wrong, or an empty string.
std::string CheckInvariants(const TickView& seen, const SeatbeltCalibration_t& cal);

// The first field in which seen differs from expected, described; empty if none.
std::string CompareViews(const TickView& expected, const TickView& seen);

// Runs one input against the real components; returns the first violation, described with its
// tick, or an empty string. Writes the warning logic's trace lines to standard output.
std::string RunInput(const std::uint8_t* data, std::size_t size);

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_CHAIN_DRIVER_H
