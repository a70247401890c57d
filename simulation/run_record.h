// What a run of the seatbelt simulation observes: the changes of the warning request and the
// diagnostic reports, printed as they happen and summed up at the end.
#ifndef SIMULATION_RUN_RECORD_H
#define SIMULATION_RUN_RECORD_H

#include <cstdio>
#include <optional>

#include "Std_Types.h"
#include "growing_list.h"

namespace seatbelt_sim {

// The request was other than SBW_WARN_NONE on the ticks from start_ms up to, not including,
// end_ms; no end_ms: still requested when the run ended.
struct WarningInterval {
  uint32 start_ms = 0u;
  std::optional<uint32> end_ms;
};

struct DemReport {
  uint32 time_ms = 0u;
  uint16 event_id = 0u;
  uint8 status = 0u;
};

// Every line goes to out, the stream the components print their trace lines to, so the lines
// keep their order.
class RunRecord {
 public:
  explicit RunRecord(std::FILE* out) : out_(out) {}

  // A write of the warning request on the tick at time_ms; prints a line when it changed.
  void OnWarningWrite(uint32 time_ms, uint8 request);
  // A diagnostic report on the tick at time_ms; prints a line.
  void OnDemReport(uint32 time_ms, uint16 event_id, uint8 status);
  // The closing summary after ticks ticks, the last at last_tick_ms.
  void PrintSummary(uint32 ticks, uint32 last_tick_ms) const;

  // The diagnostic events that stand failed now (a FAILED report not yet followed by a PASSED
  // one), as bits kLatchStuckBit and kSpeedStuckBit (expectation.h).
  uint8 stuck_events() const { return stuck_events_; }
  // How many times the warning request changed or a diagnostic report came (wrapping).
  uint32 event_count() const { return event_count_; }

  const GrowingList<WarningInterval>& warning_intervals() const { return intervals_; }
  const GrowingList<DemReport>& dem_reports() const { return reports_; }

  // False when memory ran out and an interval or a report is missing from the lists (and so
  // from the summary); the lines printed during the run are complete either way.
  bool complete() const { return complete_; }

 private:
  // Notes an append that failed for want of memory.
  void Keep(bool appended);

  std::FILE* out_;
  uint8 request_ = 0u;  // SBW_WARN_NONE until the first write
  GrowingList<WarningInterval> intervals_;
  GrowingList<DemReport> reports_;
  bool complete_ = true;
  uint8 stuck_events_ = 0u;
  uint32 event_count_ = 0u;
};

// "LATCH_STUCK", "SPEED_STUCK" or "UNKNOWN".
const char* DemEventName(uint16 event_id);

}  // namespace seatbelt_sim

#endif  // SIMULATION_RUN_RECORD_H
