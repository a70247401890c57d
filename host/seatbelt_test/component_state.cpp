// The chain's state region and its power-on image.
#include "component_state.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Rte_Host.h"

// Bounds of the region, defined by component_state.ld. Weak: a link without the script leaves
// both null, and each scenario then runs in a process of its own.
extern "C" {
extern unsigned char seatbelt_test_state_start[] __attribute__((weak));
extern unsigned char seatbelt_test_state_end[] __attribute__((weak));
}

namespace seatbelt_test {
namespace {

std::vector<unsigned char> g_power_on;

std::uintptr_t Begin() {
  return reinterpret_cast<std::uintptr_t>(seatbelt_test_state_start);
}

std::uintptr_t End() {
  return reinterpret_cast<std::uintptr_t>(seatbelt_test_state_end);
}

// The region holds other modules' variables and, in sanitizer builds, the redzones between
// them, which the sanitizer's own memcpy would refuse to touch: copy word by word, out of its
// view. The volatile access keeps the compiler from turning the loop back into memcpy.
__attribute__((no_sanitize_address)) void CopyWords(unsigned char* to, const unsigned char* from,
                                                    std::size_t bytes) {
  auto* const out = reinterpret_cast<volatile std::uint64_t*>(to);
  const auto* const in = reinterpret_cast<const volatile std::uint64_t*>(from);
  for (std::size_t word = 0u; word < bytes / sizeof(std::uint64_t); ++word) {
    out[word] = in[word];
  }
}

}  // namespace

bool ComponentStateRegionUsable() {
  const std::uintptr_t clock = reinterpret_cast<std::uintptr_t>(&g_time_ms);
  return Begin() != 0u && Begin() < End() && Begin() <= clock && clock < End() &&
         (End() - Begin()) % sizeof(std::uint64_t) == 0u;
}

void SaveComponentState() {
  g_power_on.resize(End() - Begin());
  CopyWords(g_power_on.data(), seatbelt_test_state_start, g_power_on.size());
}

void RestoreComponentState() {
  CopyWords(seatbelt_test_state_start, g_power_on.data(), g_power_on.size());
}

}  // namespace seatbelt_test
