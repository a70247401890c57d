// seatbelt_sim --svg: the timing diagram of a run, fed from the run's tick samples and notes as
// it goes and from the run record's warning intervals and reports at its end, and written to its
// file when the run is over.
#ifndef HOST_SEATBELT_SIM_SVG_WRITER_H
#define HOST_SEATBELT_SIM_SVG_WRITER_H

#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "expectation.h"
#include "replacing_file.h"
#include "run_observer.h"
#include "run_record.h"
#include "run_setup.h"
#include "signal_log.h"
#include "svg_diagram.h"

namespace seatbelt_sim {

class SvgWriter final : public RunObserver {
 public:
  // record is the run's record and judge (null: none) the judge of its expectations, both read
  // when the run is over; they must outlive the writer.
  SvgWriter(const RunRecord& record, const ExpectationJudge* judge)
      : record_(record), judge_(judge) {}

  // Creates the file's temporary beside path, so that an unwritable path is refused before the
  // run; takes the run's name, calibration and length and the values before the first tick.
  bool Open(const std::string& path, const RunSetup& run, const TickSample& initial);

  // Notes are marked at the tick that prints them.
  void OnStimulus(uint32 time_ms, const Stimulus& stimulus) override;
  void OnTick(const TickSample& sample) override;
  // Adds the record's warning intervals and diagnostic reports and the failed expectations, and
  // writes the picture.
  bool Finish(uint32 end_ms) override;
  void PrintError(std::FILE* out, const char* program) const override;

 private:
  const RunRecord& record_;
  const ExpectationJudge* judge_;
  ReplacingFile file_;
  std::optional<SvgDiagram> diagram_;
  std::array<uint32, kSignalCount> last_{};
  std::string error_;  // why Open or Finish failed
};

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_SVG_WRITER_H
