// Reference model of the seatbelt chain (see chain_model.h).
#include "chain_model.h"

namespace seatbelt_fuzz {
namespace {

constexpr uint32 kTickMs = 10u;
// Stuck monitors: failed at the first count, passed at the second, both in ms unchanged.
constexpr uint32 kLatchStuckFailMs = 5000u;
constexpr uint32 kLatchStuckPassMs = 5100u;
constexpr uint32 kSpeedStuckFailMs = 10000u;
constexpr uint32 kSpeedStuckPassMs = 10100u;

// One tick of a stuck monitor: counts the ms for which input has not changed, and reports the
// event failed when the count reaches fail_ms and passed when it reaches pass_ms.
template <typename Input>
void MonitorStuck(Input input, Input& last, uint32& same_ms, uint16 event_id, uint32 fail_ms,
                  uint32 pass_ms, TickView& view) {
  if (input != last) {
    same_ms = 0u;
    last = input;
    return;
  }
  same_ms += kTickMs;
  if (same_ms == fail_ms) {
    AddReport(view, event_id, DEM_EVENT_STATUS_FAILED);
  }
  if (same_ms == pass_ms) {
    AddReport(view, event_id, DEM_EVENT_STATUS_PASSED);
  }
}

}  // namespace

TickView ChainModel::Tick() {
  TickView view;
  TickVehicleState(view);
  TickLatch(view);
  TickOccupancy(view);
  TickLogic(view);
  return view;
}

void ChainModel::TickVehicleState(TickView& view) {
  MonitorStuck(speed_, last_speed_, speed_static_ms_, DEM_EVENT_SPEED_STUCK, kSpeedStuckFailMs,
               kSpeedStuckPassMs, view);
  view.speed = {speed_, 0u};
  view.ignition = {ignition_, 0u};
  view.door = {door_, 0u};
}

void ChainModel::TickLatch(TickView& view) {
  if (latch_raw_ != 0u) {
    latch_ms_ = static_cast<uint16>(latch_ms_ + kTickMs);
    unlatch_ms_ = 0u;
    if (latch_ms_ >= cal_.latch_debounce_ms) {
      latch_filtered_ = TRUE;
    }
  } else {
    unlatch_ms_ = static_cast<uint16>(unlatch_ms_ + kTickMs);
    latch_ms_ = 0u;
    if (unlatch_ms_ >= cal_.unlatch_debounce_ms) {
      latch_filtered_ = FALSE;
    }
  }
  MonitorStuck(latch_raw_, latch_last_raw_, latch_same_ms_, DEM_EVENT_LATCH_STUCK,
               kLatchStuckFailMs, kLatchStuckPassMs, view);
  view.latch = {latch_filtered_, 0u};
}

void ChainModel::TickOccupancy(TickView& view) {
  if (occ_raw_ == occ_filtered_) {
    occ_ms_ = 0u;
  } else {
    occ_ms_ = static_cast<uint16>(occ_ms_ + kTickMs);
    if (occ_ms_ >= cal_.occ_debounce_ms) {
      occ_filtered_ = occ_raw_;
      occ_ms_ = 0u;
    }
  }
  view.occupancy = {occ_filtered_, 0u};
}

// Reads what this tick's providers published, as the logic runs after them.
void ChainModel::TickLogic(TickView& view) {
  if (grace_ms_ != 0u) {
    if (view.door.value != FALSE && view.door.status == 0u) {
      grace_ms_ = grace_ms_ < kTickMs ? 0u : grace_ms_ - kTickMs;
    } else {
      grace_ms_ = cal_.door_grace_ms;
    }
  }
  const bool warn = view.ignition.value == IGN_ON && view.speed.value >= cal_.speed_threshold &&
                    grace_ms_ == 0u && view.occupancy.status == 0u &&
                    view.occupancy.value == OCC_OCCUPIED && view.latch.status == 0u &&
                    view.latch.value == FALSE;
  view.request = static_cast<uint8>(warn ? SBW_WARN_ACTIVE : SBW_WARN_NONE);
  view.request_writes = 1u;
}

}  // namespace seatbelt_fuzz
