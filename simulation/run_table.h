// Run table: a compact binary form of a run (RunSetup) and of its CSV destination. The desktop
// writes it from a checked scenario file; the board's scenario player reads it through
// semihosting and runs it, so that the board needs no scenario parser and any scenario runs on
// it without a rebuild.
//
// Layout, in little-endian 32-bit words. A text is its length in bytes, the bytes, a 0 byte, and
// 0 bytes up to the next multiple of 4.
//   'S' 'B' 'R' 'T' (as bytes), format version (kRunTableVersion)
//   ticks
//   latch_debounce_ms, unlatch_debounce_ms, occ_debounce_ms, speed_threshold, door_grace_ms
//   the run's name (text)
//   0 without a CSV file; 1 followed by its path (text)
//   the number of stimuli, then for each: time_ms, input (Input's order, from 0), value, and for
//   a note its text
//   the number of expectations, then for each: line, signal, operator, window (the orders of
//   the enumerations in expectation.h, from 0), value, from_ms, to_ms, its text, and 0 without
//   a requirement or 1 followed by it (text)
//   0 without a JUnit report; 1 followed by the path the board writes it to (text)
#ifndef SIMULATION_RUN_TABLE_H
#define SIMULATION_RUN_TABLE_H

#include <cstddef>
#include <cstdio>

#include "expectation.h"
#include "growing_list.h"
#include "run_setup.h"

namespace seatbelt_sim {

inline constexpr uint32 kRunTableVersion = 2u;

// Writes run, csv_path and junit_path (null: no such file) to out; false when a write failed.
bool WriteRunTable(const RunSetup& run, const char* csv_path, const char* junit_path,
                   std::FILE* out);

// A run table read back and checked: every value within its range, times never decreasing,
// every text terminated, nothing missing and nothing after the end.
class RunTable {
 public:
  // Reads the table of size bytes. The texts are not copied: bytes must outlive the object.
  // Returns null when the table is good, else what is wrong with it (one phrase). Call once.
  const char* Read(const unsigned char* bytes, std::size_t size);

  const RunSetup& setup() const { return setup_; }
  const char* csv_path() const { return csv_path_; }      // null: no CSV file
  const char* junit_path() const { return junit_path_; }  // null: no JUnit report

 private:
  GrowingList<Stimulus> stimuli_;
  GrowingList<Expectation> expectations_;
  RunSetup setup_;
  const char* csv_path_ = nullptr;
  const char* junit_path_ = nullptr;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_RUN_TABLE_H
