// libFuzzer target: arbitrary bytes as a seatbelt_sim scenario, as a run length and as a
// command line, each result checked (see scenario_oracle.h).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "scenario_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string problem = scenario_fuzz::CheckParse(bytes);
  if (problem.empty()) {
    problem = scenario_fuzz::CheckDuration(bytes);
  }
  if (problem.empty()) {
    problem = scenario_fuzz::CheckOptions(bytes);
  }
  if (!problem.empty()) {
    (void)std::fprintf(stderr, "scenario check failed: %s\n", problem.c_str());
    __builtin_trap();
  }
  return 0;
}
