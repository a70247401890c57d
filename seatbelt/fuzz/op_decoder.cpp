// Byte decoder of the seatbelt chain fuzzer (format in op_decoder.h).
#include "op_decoder.h"

namespace seatbelt_fuzz {
namespace {

// Operand bytes of each opcode, in Op order.
constexpr std::array<std::size_t, kOpCount> kOperandBytes = {1u, 1u, 2u, 1u, 1u, 10u, 0u, 0u, 1u};
static_assert(kOperandBytes[kOpSetCalibration] == std::tuple_size_v<decltype(Operation::operands)>,
              "the longest operation fills the operand bytes");

}  // namespace

std::optional<Operation> OpDecoder::Next() {
  if (pos_ >= size_) {
    return std::nullopt;
  }
  Operation operation;
  operation.op = static_cast<Op>(data_[pos_++] % kOpCount);
  const std::size_t count = kOperandBytes[operation.op];
  if (size_ - pos_ < count) {
    pos_ = size_;
    return std::nullopt;
  }
  for (std::size_t i = 0u; i < count; ++i) {
    operation.operands[i] = data_[pos_++];
  }
  return operation;
}

}  // namespace seatbelt_fuzz
