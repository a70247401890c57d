// The timing diagram of seatbelt_sim: the lanes' changes, merged as the ticks come.
#include "svg_diagram.h"

#include <algorithm>
#include <utility>

namespace seatbelt_sim {

uint64_t SvgDiagram::X16(uint32 time_ms) const {
  return static_cast<uint64_t>(time_ms) * kPlotW * 16u / span_ms_;
}

int SvgDiagram::X(uint32 time_ms) const {
  const uint64_t scaled =
      (static_cast<uint64_t>(time_ms) * kPlotW + span_ms_ / 2u) / static_cast<uint64_t>(span_ms_);
  return kPlotX + static_cast<int>(std::min<uint64_t>(scaled, kPlotW));
}

void SvgDiagram::Lane::Start(State initial) {
  open_ = Segment{};
  open_.state = initial;
  open_.min_value = initial.value;
  open_.max_value = initial.value;
  last_ = initial;
}

void SvgDiagram::Lane::Change(uint32 time_ms, State state, const SvgDiagram& diagram) {
  const auto plain = [](uint32 start_ms, State s) {
    Segment segment;
    segment.start_ms = start_ms;
    segment.state = s;
    segment.min_value = s.value;
    segment.max_value = s.value;
    return segment;
  };
  // Distances in sixteenths of a pixel: a stretch shorter than a whole pixel joins a burst.
  const auto apart = [&diagram, time_ms](uint32 since_ms) {
    return diagram.X16(time_ms) - diagram.X16(since_ms) >= 16u;
  };
  if (!open_.burst && apart(open_.start_ms)) {
    open_.end_ms = time_ms;
    done_.push_back(open_);
    open_ = plain(time_ms, state);
  } else if (open_.burst && apart(last_change_ms_)) {
    // The burst ended with its last change; the state after it lasted at least a pixel.
    open_.end_ms = last_change_ms_;
    done_.push_back(open_);
    Segment after = plain(last_change_ms_, last_);
    after.end_ms = time_ms;
    done_.push_back(after);
    open_ = plain(time_ms, state);
  } else {
    open_.burst = true;
    ++open_.changes;
    open_.min_value = std::min(open_.min_value, state.value);
    open_.max_value = std::max(open_.max_value, state.value);
    last_change_ms_ = time_ms;
  }
  last_ = state;
}

std::vector<SvgDiagram::Segment> SvgDiagram::Lane::Finish(uint32 end_ms) const {
  std::vector<Segment> segments = done_;
  Segment closing = open_;
  if (closing.burst) {
    closing.end_ms = last_change_ms_;
    segments.push_back(closing);
    closing = Segment{};
    closing.start_ms = last_change_ms_;
    closing.state = last_;
    closing.min_value = last_.value;
    closing.max_value = last_.value;
  }
  closing.end_ms = std::max(end_ms, closing.start_ms);
  segments.push_back(closing);
  return segments;
}

SvgDiagram::SvgDiagram(SvgRunInfo info, const SvgTick& initial)
    : info_(std::move(info)), span_ms_(std::max(info_.end_ms, info_.tick_ms)) {
  span_ms_ = std::max(span_ms_, 1u);
  const std::array<State, kLaneCount> states = StatesOf(initial);
  for (std::size_t lane = 0u; lane < kLaneCount; ++lane) {
    lanes_[lane].Start(states[lane]);
  }
}

std::array<SvgDiagram::State, SvgDiagram::kLaneCount> SvgDiagram::StatesOf(
    const SvgTick& tick) const {
  uint32 met = 0u;
  if (tick.ignition.value == IGN_ON) {
    met |= kConditionIgnition;
  }
  if (tick.speed.value >= info_.calibration.speed_threshold) {
    met |= kConditionSpeed;
  }
  if (tick.occupancy.status == 0u && tick.occupancy.value == OCC_OCCUPIED) {
    met |= kConditionSeat;
  }
  if (tick.latch.status == 0u && tick.latch.value == 0u) {
    met |= kConditionBelt;
  }
  if (tick.warning_request != SBW_WARN_NONE) {
    met |= kConditionWarning;
  }
  return {{
      {tick.latch_raw, 0u},
      {tick.occupancy_raw, 0u},
      {tick.speed_raw, 0u},
      {tick.door_raw, 0u},
      {tick.ignition_raw, 0u},
      {tick.latch.value, tick.latch.status},
      {tick.occupancy.value, tick.occupancy.status},
      {tick.speed.value, tick.speed.status},
      {tick.ignition.value, tick.ignition.status},
      {tick.door.value, tick.door.status},
      {tick.warning_request, 0u},
      {met, 0u},
  }};
}

void SvgDiagram::AddTick(const SvgTick& tick) {
  const std::array<State, kLaneCount> states = StatesOf(tick);
  for (std::size_t lane = 0u; lane < kLaneCount; ++lane) {
    if (states[lane] != lanes_[lane].last()) {
      lanes_[lane].Change(tick.time_ms, states[lane], *this);
    }
  }
}

void SvgDiagram::AddNote(uint32 time_ms, std::string_view text) {
  notes_.push_back({time_ms, std::string(text)});
}

void SvgDiagram::AddWarning(uint32 start_ms, std::optional<uint32> end_ms) {
  warnings_.push_back({start_ms, end_ms});
}

void SvgDiagram::AddReport(uint32 time_ms, uint16 event_id, std::string_view event_name,
                           uint8 status) {
  reports_.push_back({time_ms, event_id, std::string(event_name), status});
}

void SvgDiagram::AddFailure(uint32 time_ms, std::string_view place, std::string_view text) {
  failures_.push_back({time_ms, std::string(place), std::string(text)});
}

}  // namespace seatbelt_sim
