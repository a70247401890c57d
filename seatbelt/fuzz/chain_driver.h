// Fuzz driver of the seatbelt chain: runs the four components on the runtime layer
// (rte_services) through host operations decoded from bytes (op_decoder.h), and checks every
// tick against properties that hold whatever the history (invariants.h) and against a reference
// model of the chain (chain_model.h, compared by compare_views.h).
//
// The components keep their state across inputs (they have no reset), so every input first
// drives them into one known state with ordinary setter calls and two ticks (see Settle in the
// source): a violation then depends on its input alone and reproduces from the crash file.
#ifndef SEATBELT_FUZZ_CHAIN_DRIVER_H
#define SEATBELT_FUZZ_CHAIN_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "Rte_Seatbelt.h"

namespace seatbelt_fuzz {

// Ticks one input may run; long enough for both stuck monitors (1010 ticks) and a wrap of the
// 16-bit debounce timers (6554 ticks), short enough to keep the fuzzer fast.
inline constexpr uint32 kMaxTicksPerInput = 20000u;

// Runs one input against the real components; returns the first violation, described with its
// tick, or an empty string. Writes the warning logic's trace lines to standard output.
std::string RunInput(const std::uint8_t* data, std::size_t size);

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_CHAIN_DRIVER_H
