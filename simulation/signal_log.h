// Per-tick signal log of the seatbelt simulation: the sample of every signal after a tick, and
// its CSV rows for co-simulation tools. Written through a fixed buffer with numbers formatted by
// hand, since a simulated day is 8.64 million rows.
#ifndef SIMULATION_SIGNAL_LOG_H
#define SIMULATION_SIGNAL_LOG_H

#include <array>
#include <cstddef>
#include <cstdio>

#include "Std_Types.h"
#include "run_observer.h"

namespace seatbelt_sim {

// The logged signals, in column order: the raw inputs the host set for the tick, then the five
// published signals with their status, then the warning request.
enum Signal : std::size_t {
  kLatchRaw,
  kOccupancyRaw,
  kSpeedRaw,
  kDoorRaw,
  kIgnitionRaw,
  kLatchFiltered,
  kLatchFilteredStatus,
  kOccupancyFiltered,
  kOccupancyFilteredStatus,
  kVehicleSpeed,
  kVehicleSpeedStatus,
  kIgnitionState,
  kIgnitionStateStatus,
  kDoorClosed,
  kDoorClosedStatus,
  kWarningRequest,
  kSignalCount
};

struct SignalInfo {
  const char* name;
  unsigned width;  // bits of the value's type; 1 for booleans
};

extern const std::array<SignalInfo, kSignalCount> kSignalInfo;

// Every signal's value after the tick at time_ms (raw inputs: as in force for that tick).
struct TickSample {
  uint32 time_ms = 0u;
  std::array<uint32, kSignalCount> values{};
};

// A file written through a fixed buffer. A failed write is remembered and later writes are
// dropped; Close reports it. The path is not copied: it must outlive the object.
class BufferedFile {
 public:
  // Defined out of line, so that a static BufferedFile is built at start-up in zeroed memory
  // rather than stored whole, 64 KiB of initialised data, in a board's program image.
  BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  BufferedFile(BufferedFile&&) = delete;
  BufferedFile& operator=(BufferedFile&&) = delete;
  ~BufferedFile();

  // Creates or truncates path; false when it cannot (PrintError says why).
  bool Open(const char* path);
  void Write(const char* data, std::size_t size);
  // Flushes and closes; false if any write or the close failed (PrintError says why).
  bool Close();
  // "PROGRAM: cannot create 'PATH': REASON" or "PROGRAM: cannot write 'PATH': REASON", and a
  // newline, to out: why the last Open or Close failed.
  void PrintError(std::FILE* out, const char* program) const;

 private:
  void Flush();

  std::FILE* file_ = nullptr;
  const char* path_ = "";
  bool opening_failed_ = false;
  int errno_ = 0;  // first error, 0 if none
  std::size_t used_ = 0u;
  std::array<char, 65536> buffer_{};
};

class CsvWriter final : public RunObserver {
 public:
  // Opens path and writes the header line.
  bool Open(const char* path);
  // Appends the row of one tick.
  void Write(const TickSample& sample);
  bool Close() { return file_.Close(); }

  void OnTick(const TickSample& sample) override { Write(sample); }
  bool Finish(uint32 end_ms) override {
    (void)end_ms;
    return Close();
  }
  void PrintError(std::FILE* out, const char* program) const override {
    file_.PrintError(out, program);
  }

 private:
  BufferedFile file_;
  // The row after the time column, kept formatted because the values rarely change between
  // ticks while the time always does.
  std::array<uint32, kSignalCount> tail_values_{};
  bool tail_valid_ = false;
  std::array<char, kSignalCount * 11u + 1u> tail_{};  // ',' and up to 10 digits each, '\n'
  std::size_t tail_size_ = 0u;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_SIGNAL_LOG_H
