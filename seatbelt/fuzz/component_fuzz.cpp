// libFuzzer target: arbitrary setter, calibration, init and tick sequences through the four
// seatbelt components, checked tick by tick (see chain_driver.h for the input format).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "chain_driver.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // The warning logic prints a trace line every 100 ms of g_time_ms; the fuzzer reports on
  // standard error, so standard output can go.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::perror("component_fuzz: /dev/null");
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string violation = seatbelt_fuzz::RunInput(data, size);
  if (!violation.empty()) {
    (void)std::fprintf(stderr, "seatbelt chain check failed: %s\n", violation.c_str());
    __builtin_trap();
  }
  return 0;
}
