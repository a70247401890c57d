// seatbelt_sim's samples, notes and run record handed to the timing diagram.
#include "svg_writer.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace seatbelt_sim {
namespace {

SvgTick ToSvg(const TickSample& sample) {
  const auto& v = sample.values;
  SvgTick tick;
  tick.time_ms = sample.time_ms;
  tick.latch_raw = v[kLatchRaw];
  tick.occupancy_raw = v[kOccupancyRaw];
  tick.speed_raw = v[kSpeedRaw];
  tick.door_raw = v[kDoorRaw];
  tick.ignition_raw = v[kIgnitionRaw];
  tick.latch = {v[kLatchFiltered], v[kLatchFilteredStatus]};
  tick.occupancy = {v[kOccupancyFiltered], v[kOccupancyFilteredStatus]};
  tick.speed = {v[kVehicleSpeed], v[kVehicleSpeedStatus]};
  tick.ignition = {v[kIgnitionState], v[kIgnitionStateStatus]};
  tick.door = {v[kDoorClosed], v[kDoorClosedStatus]};
  tick.warning_request = v[kWarningRequest];
  return tick;
}

void AppendTo(const char* text, std::size_t size, void* context) {
  static_cast<std::string*>(context)->append(text, size);
}

}  // namespace

bool SvgWriter::Open(const std::string& path, const RunSetup& run, const TickSample& initial) {
  if (!file_.Open(path, error_)) {
    return false;
  }
  SvgRunInfo info;
  info.scenario_name = run.name;
  info.calibration = run.calibration;
  info.ticks = run.ticks;
  info.tick_ms = kTickMs;
  info.end_ms = run.ticks * kTickMs;
  diagram_.emplace(info, ToSvg(initial));
  last_ = initial.values;
  return true;
}

void SvgWriter::OnStimulus(uint32 time_ms, const Stimulus& stimulus) {
  if (stimulus.input == Input::kNote) {
    diagram_->AddNote(time_ms, stimulus.text);
  }
}

void SvgWriter::OnTick(const TickSample& sample) {
  if (sample.values != last_) {
    last_ = sample.values;
    diagram_->AddTick(ToSvg(sample));
  }
}

bool SvgWriter::Finish(uint32 /*end_ms*/) {
  for (const WarningInterval& interval : record_.warning_intervals()) {
    diagram_->AddWarning(interval.start_ms, interval.end_ms);
  }
  for (const DemReport& report : record_.dem_reports()) {
    diagram_->AddReport(report.time_ms, report.event_id, DemEventName(report.event_id),
                        report.status);
  }
  if (judge_ != nullptr) {
    // Decided in time order, but listed in file order: sorted back by time for the picture.
    std::vector<std::size_t> failed;
    for (std::size_t i = 0u; i < judge_->count(); ++i) {
      if (judge_->verdict(i).outcome == Outcome::kFailed) {
        failed.push_back(i);
      }
    }
    // Ties keep file order: a total order, so no stable sort is needed.
    std::sort(failed.begin(), failed.end(), [this](std::size_t a, std::size_t b) {
      return std::make_pair(judge_->verdict(a).time_ms, a) <
             std::make_pair(judge_->verdict(b).time_ms, b);
    });
    for (const std::size_t i : failed) {
      std::string text;
      judge_->Describe(i, &AppendTo, &text);
      const std::size_t place_end = text.find(": ");
      diagram_->AddFailure(judge_->verdict(i).time_ms, text.substr(0u, place_end), text);
    }
  }
  return file_.Commit(diagram_->Render(), error_);
}

void SvgWriter::PrintError(std::FILE* out, const char* program) const {
  (void)std::fprintf(out, "%s: %s\n", program, error_.c_str());
}

}  // namespace seatbelt_sim
