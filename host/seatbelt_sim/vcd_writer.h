// Value Change Dump of the seatbelt simulation's signals, for waveform viewers such as GTKWave.
// Desktop only: its header carries the wall-clock date of the run.
#ifndef HOST_SEATBELT_SIM_VCD_WRITER_H
#define HOST_SEATBELT_SIM_VCD_WRITER_H

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

#include "Std_Types.h"
#include "run_observer.h"
#include "signal_log.h"

namespace seatbelt_sim {

class VcdWriter final : public RunObserver {
 public:
  // Opens path (which must outlive the writer) and writes the header, with comment in its
  // $comment section, and the values before the first tick (initial) as the dump at time 0.
  bool Open(const char* path, const std::string& comment, const TickSample& initial);
  // Writes the values of sample that differ from the last written ones, under its time.
  void Write(const TickSample& sample);
  // Marks end_ms as the end of the dump, so viewers show the last values up to it.
  bool Close(uint32 end_ms);

  void OnTick(const TickSample& sample) override { Write(sample); }
  bool Finish(uint32 end_ms) override { return Close(end_ms); }
  void PrintError(std::FILE* out, const char* program) const override {
    file_.PrintError(out, program);
  }

 private:
  void WriteTime(uint32 time_ms);
  void WriteValue(std::size_t signal, uint32 value);

  BufferedFile file_;
  std::array<uint32, kSignalCount> last_{};
  uint32 last_time_ms_ = 0u;
};

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_VCD_WRITER_H
