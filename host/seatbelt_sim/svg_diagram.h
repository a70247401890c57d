// Timing diagram of a seatbelt reminder run as a standalone SVG picture: one lane per signal, the
// conditions of the warning, the warning intervals, the diagnostic reports and the scenario's
// notes over a time axis. The picture has no script and refers to no font or file, so any
// browser shows it as it is.
//
// The diagram is fed in time order: the run's facts when it is made, then the ticks (and any
// notes) as the run goes, then the warning intervals and reports, then Render. It keeps changes,
// not ticks, and merges the changes of a lane that fall within one pixel into one dark "burst",
// so the picture's size depends on its width and not on the run's length.
#ifndef HOST_SEATBELT_SIM_SVG_DIAGRAM_H
#define HOST_SEATBELT_SIM_SVG_DIAGRAM_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Rte_Seatbelt.h"

namespace seatbelt_sim {

// What the header says about the run.
struct SvgRunInfo {
  std::string scenario_name;
  SeatbeltCalibration_t calibration{};  // in force for the whole run
  uint32 ticks = 0u;                    // number of ticks run
  uint32 tick_ms = 10u;
  uint32 end_ms = 0u;  // time of the last tick; the time axis runs from 0 to it
};

// A published signal as its reader sees it; status 0 is valid.
struct SvgSignal {
  uint32 value = 0u;
  uint32 status = 0u;
};

// Every signal after the tick at time_ms; the raw inputs as in force for that tick.
struct SvgTick {
  uint32 time_ms = 0u;
  uint32 latch_raw = 0u;
  uint32 occupancy_raw = 0u;
  uint32 speed_raw = 0u;
  uint32 door_raw = 0u;
  uint32 ignition_raw = 0u;
  SvgSignal latch;
  SvgSignal occupancy;
  SvgSignal speed;
  SvgSignal ignition;
  SvgSignal door;
  uint32 warning_request = 0u;
};

class SvgDiagram {
 public:
  // initial: the values before the first tick, shown from time 0 up to the first tick.
  SvgDiagram(SvgRunInfo info, const SvgTick& initial);

  // One tick; times increase from call to call. Costs a comparison when nothing changed.
  void AddTick(const SvgTick& tick);
  // A note of the scenario, shown at the tick it was printed on; times never decrease.
  void AddNote(uint32 time_ms, std::string_view text);
  // The warning was requested on the ticks from start_ms up to, not including, end_ms; no
  // end_ms: up to the end of the run. In time order.
  void AddWarning(uint32 start_ms, std::optional<uint32> end_ms);
  // A diagnostic report on the tick at time_ms; event_name as the host's report lines give it.
  void AddReport(uint32 time_ms, uint16 event_id, std::string_view event_name, uint8 status);
  // A failed expectation, decided on the tick at time_ms; place is its "name:LINE", text what
  // the failure line says of it. In time order.
  void AddFailure(uint32 time_ms, std::string_view place, std::string_view text);

  // The picture. The same input gives the same text: no date, no host name.
  std::string Render() const;

  // The lanes from top to bottom: the raw inputs, the published signals and the warning request
  // (named as the CSV columns), then the warning's conditions as the logic sees them.
  enum LaneId : std::size_t {
    kLatchRawLane,
    kOccupancyRawLane,
    kSpeedRawLane,
    kDoorRawLane,
    kIgnitionRawLane,
    kLatchLane,
    kOccupancyLane,
    kSpeedLane,
    kIgnitionLane,
    kDoorLane,
    kWarningLane,
    kConditionsLane,
    kLaneCount
  };

  // What a lane shows at a time: the signal's value and status, or for the conditions lane the
  // set of conditions met (kCondition* bits).
  struct State {
    uint32 value = 0u;
    uint32 status = 0u;
    bool operator==(const State& other) const {
      return value == other.value && status == other.status;
    }
    bool operator!=(const State& other) const { return !(*this == other); }
  };
  static constexpr uint32 kConditionIgnition = 1u;  // ignition on
  static constexpr uint32 kConditionSpeed = 2u;     // speed at or above the threshold
  static constexpr uint32 kConditionSeat = 4u;      // seat occupied, status valid
  static constexpr uint32 kConditionBelt = 8u;      // belt open, status valid
  static constexpr uint32 kConditionWarning = 16u;  // warning requested

  // A stretch of a lane: one state, or a burst of changes each within one pixel of the one
  // before, drawn as one dark block spanning the smallest and largest value it held.
  struct Segment {
    uint32 start_ms = 0u;
    uint32 end_ms = 0u;
    State state;  // of a plain stretch; of a burst, the state it starts from
    bool burst = false;
    uint32 changes = 0u;  // within a burst
    uint32 min_value = 0u;
    uint32 max_value = 0u;
  };

  // The time axis on the picture: x of time 0 and the axis' length, in pixels.
  static constexpr int kPlotX = 190;
  static constexpr int kPlotW = 1390;
  // x of time_ms on the picture, in whole pixels.
  int X(uint32 time_ms) const;
  // The same from time 0, in sixteenths of a pixel.
  uint64_t X16(uint32 time_ms) const;

 private:
  // The segments of one lane, merged as the changes come.
  class Lane {
   public:
    void Start(State initial);
    void Change(uint32 time_ms, State state, const SvgDiagram& diagram);
    // The segments up to end_ms, the open one closed there.
    std::vector<Segment> Finish(uint32 end_ms) const;
    const State& last() const { return last_; }

   private:
    std::vector<Segment> done_;
    Segment open_;
    uint32 last_change_ms_ = 0u;  // of an open burst: its last change, and the state after it
    State last_;
  };

  struct Note {
    uint32 time_ms = 0u;
    std::string text;
  };
  struct Warning {
    uint32 start_ms = 0u;
    std::optional<uint32> end_ms;
  };
  struct Report {
    uint32 time_ms = 0u;
    uint16 event_id = 0u;
    std::string event_name;
    uint8 status = 0u;
  };
  struct Failure {
    uint32 time_ms = 0u;
    std::string place;
    std::string text;
  };

  std::array<State, kLaneCount> StatesOf(const SvgTick& tick) const;

  class Renderer;  // in svg_render.cpp

  SvgRunInfo info_;
  uint32 span_ms_;  // of the time axis; at least one tick, so that a run of no tick draws
  std::array<Lane, kLaneCount> lanes_;
  std::vector<Note> notes_;
  std::vector<Warning> warnings_;
  std::vector<Report> reports_;
  std::vector<Failure> failures_;
};

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_SVG_DIAGRAM_H
