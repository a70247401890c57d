// What the tests of the signal logs share, the CSV log's here and the desktop's Value Change
// Dump's: temporary file names, a file's bytes, and a sample with a few signals set.
#ifndef SIMULATION_TESTS_LOG_TEST_SUPPORT_H
#define SIMULATION_TESTS_LOG_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>

#include "signal_log.h"

namespace seatbelt_sim_test {

// A path in the test's temporary folder, apart for each process.
inline std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "seatbelt_sim_" + std::to_string(getpid()) + "_" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A sample at time_ms with the given signals set and every other one 0.
inline seatbelt_sim::TickSample Sample(
    uint32 time_ms, std::initializer_list<std::pair<seatbelt_sim::Signal, uint32>> values) {
  seatbelt_sim::TickSample sample;
  sample.time_ms = time_ms;
  for (const auto& [signal, value] : values) {
    sample.values[signal] = value;
  }
  return sample;
}

}  // namespace seatbelt_sim_test

#endif  // SIMULATION_TESTS_LOG_TEST_SUPPORT_H
