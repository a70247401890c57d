// Byte decoder of the seatbelt chain fuzzer: turns the fuzzer's bytes into host operations.
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
#ifndef SEATBELT_FUZZ_OP_DECODER_H
#define SEATBELT_FUZZ_OP_DECODER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

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

// One operation with its operand bytes, as they came.
struct Operation {
  Op op = kOpTick;
  std::array<uint8, 10> operands{};

  // The one-byte operand (SetLatch, SetOccupancy, SetDoor, SetIgnition, Ticks).
  uint8 Byte() const { return operands[0]; }
  // The index-th two-byte operand, little endian (SetSpeed: 0; SetCalibration: 0..4).
  uint16 Word(std::size_t index) const {
    return static_cast<uint16>(operands[2u * index] | (operands[2u * index + 1u] << 8u));
  }
  // The SetCalibration record.
  SeatbeltCalibration_t Calibration() const {
    return {Word(0u), Word(1u), Word(2u), Word(3u), Word(4u)};
  }
};

class OpDecoder {
 public:
  OpDecoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // The next whole operation; empty once the input is used up, and for good when it ends
  // inside an operation.
  std::optional<Operation> Next();

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0u;
};

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_OP_DECODER_H
