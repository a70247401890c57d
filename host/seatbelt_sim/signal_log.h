// Per-tick signal logs of seatbelt_sim: CSV rows for co-simulation tools and a Value Change
// Dump for waveform viewers. Both write through a fixed buffer and format numbers by hand, since
// a simulated day is 8.64 million rows.
#ifndef HOST_SEATBELT_SIM_SIGNAL_LOG_H
#define HOST_SEATBELT_SIM_SIGNAL_LOG_H

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

#include "Std_Types.h"

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
// dropped; Close reports it.
class BufferedFile {
 public:
  BufferedFile() = default;
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;
  BufferedFile(BufferedFile&&) = delete;
  BufferedFile& operator=(BufferedFile&&) = delete;
  ~BufferedFile();

  // Creates or truncates path. On failure error says why.
  bool Open(const std::string& path, std::string& error);
  void Write(const char* data, std::size_t size);
  // Flushes and closes; false, with error set, if any write or the close failed.
  bool Close(std::string& error);

 private:
  void Flush();

  std::FILE* file_ = nullptr;
  std::string path_;
  int errno_ = 0;  // first write error, 0 if none
  std::size_t used_ = 0u;
  std::array<char, 65536> buffer_{};
};

class CsvWriter {
 public:
  // Opens path and writes the header line.
  bool Open(const std::string& path, std::string& error);
  // Appends the row of one tick.
  void Write(const TickSample& sample);
  bool Close(std::string& error) { return file_.Close(error); }

 private:
  BufferedFile file_;
  // The row after the time column, kept formatted because the values rarely change between
  // ticks while the time always does.
  std::array<uint32, kSignalCount> tail_values_{};
  bool tail_valid_ = false;
  std::array<char, kSignalCount * 11u + 1u> tail_{};  // ',' and up to 10 digits each, '\n'
  std::size_t tail_size_ = 0u;
};

class VcdWriter {
 public:
  // Opens path and writes the header, with comment in its $comment section, and the values
  // before the first tick (initial) as the dump at time 0.
  bool Open(const std::string& path, const std::string& comment, const TickSample& initial,
            std::string& error);
  // Writes the values of sample that differ from the last written ones, under its time.
  void Write(const TickSample& sample);
  // Marks end_ms as the end of the dump, so viewers show the last values up to it.
  bool Close(uint32 end_ms, std::string& error);

 private:
  void WriteTime(uint32 time_ms);
  void WriteValue(std::size_t signal, uint32 value);

  BufferedFile file_;
  std::array<uint32, kSignalCount> last_{};
  uint32 last_time_ms_ = 0u;
};

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_SIGNAL_LOG_H
