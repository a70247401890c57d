// Warning intervals, diagnostic reports and the closing summary of the seatbelt simulation.
#include "run_record.h"

#include "Rte_Seatbelt.h"
#include "expectation.h"

namespace seatbelt_sim {
namespace {

const char* RequestName(uint8 request) {
  switch (request) {
    case SBW_WARN_NONE:
      return "NONE";
    case SBW_WARN_ACTIVE:
      return "ACTIVE";
    default:
      return "UNEXPECTED";
  }
}

void PrintReport(std::FILE* out, const char* lead, const DemReport& report) {
  const char* status = report.status == DEM_EVENT_STATUS_FAILED   ? "FAILED"
                       : report.status == DEM_EVENT_STATUS_PASSED ? "PASSED"
                                                                  : nullptr;
  if (status != nullptr) {
    (void)std::fprintf(out, "%st=%u ms: diagnostic event 0x%04X %s %s\n", lead,
                       static_cast<unsigned>(report.time_ms),
                       static_cast<unsigned>(report.event_id), DemEventName(report.event_id),
                       status);
  } else {
    (void)std::fprintf(out, "%st=%u ms: diagnostic event 0x%04X %s status %u\n", lead,
                       static_cast<unsigned>(report.time_ms),
                       static_cast<unsigned>(report.event_id), DemEventName(report.event_id),
                       static_cast<unsigned>(report.status));
  }
}

}  // namespace

const char* DemEventName(uint16 event_id) {
  switch (event_id) {
    case DEM_EVENT_LATCH_STUCK:
      return "LATCH_STUCK";
    case DEM_EVENT_SPEED_STUCK:
      return "SPEED_STUCK";
    default:
      return "UNKNOWN";
  }
}

void RunRecord::Keep(bool appended) {
  complete_ = complete_ && appended;
}

void RunRecord::OnWarningWrite(uint32 time_ms, uint8 request) {
  if (request == request_) {
    return;
  }
  ++event_count_;
  (void)std::fprintf(out_, "[SIM] t=%u ms: warning request %u -> %u (%s)\n",
                     static_cast<unsigned>(time_ms), static_cast<unsigned>(request_),
                     static_cast<unsigned>(request), RequestName(request));
  const bool was_requested = request_ != SBW_WARN_NONE;
  const bool is_requested = request != SBW_WARN_NONE;
  if (is_requested && !was_requested) {
    Keep(intervals_.Append({time_ms, std::nullopt}));
  } else if (!is_requested && was_requested) {
    // The interval is missing when memory ran out at its start; the record says so already.
    if (!intervals_.empty() && !intervals_.back().end_ms) {
      intervals_.back().end_ms = time_ms;
    }
  }
  request_ = request;
}

void RunRecord::OnDemReport(uint32 time_ms, uint16 event_id, uint8 status) {
  ++event_count_;
  const uint8 bit = event_id == DEM_EVENT_LATCH_STUCK   ? kLatchStuckBit
                    : event_id == DEM_EVENT_SPEED_STUCK ? kSpeedStuckBit
                                                        : 0u;
  if (status == DEM_EVENT_STATUS_FAILED) {
    stuck_events_ = static_cast<uint8>(stuck_events_ | bit);
  } else if (status == DEM_EVENT_STATUS_PASSED) {
    stuck_events_ = static_cast<uint8>(stuck_events_ & ~bit);
  }
  const DemReport report = {time_ms, event_id, status};
  Keep(reports_.Append(report));
  PrintReport(out_, "[SIM] ", report);
}

void RunRecord::PrintSummary(uint32 ticks, uint32 last_tick_ms) const {
  (void)std::fprintf(out_, "[SIM] --- summary ---\n");
  (void)std::fprintf(out_, "[SIM] ticks run: %u (last tick at %u ms)\n",
                     static_cast<unsigned>(ticks), static_cast<unsigned>(last_tick_ms));
  // Counts print as unsigned long: the board's C library has no %zu.
  (void)std::fprintf(out_, "[SIM] warning intervals: %lu\n",
                     static_cast<unsigned long>(intervals_.size()));
  for (const WarningInterval& interval : intervals_) {
    if (interval.end_ms) {
      (void)std::fprintf(out_, "[SIM]   warning from %u ms to %u ms (%u ms)\n",
                         static_cast<unsigned>(interval.start_ms),
                         static_cast<unsigned>(*interval.end_ms),
                         static_cast<unsigned>(*interval.end_ms - interval.start_ms));
    } else {
      (void)std::fprintf(out_, "[SIM]   warning from %u ms to the end (still active at %u ms)\n",
                         static_cast<unsigned>(interval.start_ms),
                         static_cast<unsigned>(last_tick_ms));
    }
  }
  (void)std::fprintf(out_, "[SIM] diagnostic reports: %lu\n",
                     static_cast<unsigned long>(reports_.size()));
  for (const DemReport& report : reports_) {
    PrintReport(out_, "[SIM]   ", report);
  }
}

}  // namespace seatbelt_sim
