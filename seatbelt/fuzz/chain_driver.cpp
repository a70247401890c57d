// Fuzz driver of the seatbelt chain: byte decoding, reference model and checks.
#include "chain_driver.h"

#include <cstdio>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"

namespace seatbelt_fuzz {
namespace {

constexpr uint32 kTickMs = 10u;
// Stuck monitors: failed at the first count, passed at the second, both in ms unchanged.
constexpr uint32 kLatchStuckFailMs = 5000u;
constexpr uint32 kLatchStuckPassMs = 5100u;
constexpr uint32 kSpeedStuckFailMs = 10000u;
constexpr uint32 kSpeedStuckPassMs = 10100u;

void AddReport(TickView& view, uint16 event_id, uint8 status) {
  if (view.dem_count < view.dem.size()) {
    view.dem[view.dem_count] = DemReport{event_id, status};
  }
  ++view.dem_count;
}

void OnDemReport(uint16 event_id, uint8 status, void* context) {
  AddReport(*static_cast<TickView*>(context), event_id, status);
}

std::string Describe(const char* what, unsigned long expected, unsigned long seen) {
  char text[160];
  (void)std::snprintf(text, sizeof text, "%s: expected %lu, got %lu", what, expected, seen);
  return text;
}

// Operands are read little endian; Next fails once the input is used up.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Next(uint8& byte) {
    if (pos_ >= size_) {
      return false;
    }
    byte = data_[pos_++];
    return true;
  }

  bool Next16(uint16& value) {
    uint8 low = 0u;
    uint8 high = 0u;
    if (!Next(low) || !Next(high)) {
      return false;
    }
    value = static_cast<uint16>(low | (high << 8u));
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0u;
};

void RunChain() {
  VehicleState_IF_10ms();
  Seatbelt_Sensor_IF_10ms();
  Occupancy_Sensor_IF_10ms();
  SeatbeltWarning_Logic_10ms();
}

// Drives the components into the state ChainModel starts from, whatever earlier inputs left:
// with every debounce time 0 one tick takes any raw value over; a change of the raw latch and of
// the speed restarts both stuck monitors; an init with a grace of 0 clears the grace.
void Settle(const SeatbeltCalibration_t& cal) {
  RteHost_Reset();
  const SeatbeltCalibration_t immediate = {0u, 0u, 0u, 0u, 0u};
  RteHost_SetCalibration(&immediate);
  SeatbeltWarning_Logic_Init();
  VehicleState_IF_SetDoorClosed(TRUE);
  VehicleState_IF_SetIgnition(IGN_OFF);
  Occupancy_Sensor_IF_SetRaw(OCC_EMPTY);
  Seatbelt_Sensor_IF_SetRaw(0u);
  VehicleState_IF_SetSpeed(1u);
  RunChain();
  Seatbelt_Sensor_IF_SetRaw(1u);
  VehicleState_IF_SetSpeed(0u);
  RunChain();
  RteHost_Reset();  // back to g_time_ms 0 and no reports or writes counted
  RteHost_SetCalibration(&cal);
}

TickView Observe(TickView view) {
  view.latch = Rte_Read_SeatbeltLatchFiltered();
  view.occupancy = Rte_Read_OccupancyFiltered();
  view.speed = Rte_Read_VehicleSpeed();
  view.ignition = Rte_Read_IgnitionState();
  view.door = Rte_Read_DoorClosed();
  view.request = RteHost_GetWarningRequest();
  return view;
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
  if (speed_ == last_speed_) {
    speed_static_ms_ += kTickMs;
    if (speed_static_ms_ == kSpeedStuckFailMs) {
      AddReport(view, DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (speed_static_ms_ == kSpeedStuckPassMs) {
      AddReport(view, DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    speed_static_ms_ = 0u;
    last_speed_ = speed_;
  }
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
  if (latch_raw_ == latch_last_raw_) {
    latch_same_ms_ += kTickMs;
    if (latch_same_ms_ == kLatchStuckFailMs) {
      AddReport(view, DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (latch_same_ms_ == kLatchStuckPassMs) {
      AddReport(view, DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    latch_same_ms_ = 0u;
    latch_last_raw_ = latch_raw_;
  }
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

std::string CheckInvariants(const TickView& seen, const SeatbeltCalibration_t& cal) {
  if (seen.request_writes != 1u) {
    return Describe("warning request writes in one tick", 1u, seen.request_writes);
  }
  if (seen.request != SBW_WARN_NONE && seen.request != SBW_WARN_ACTIVE) {
    return Describe("warning request is neither NONE (0) nor ACTIVE (2)", SBW_WARN_ACTIVE,
                    seen.request);
  }
  const uint32 statuses[] = {seen.latch.status, seen.occupancy.status, seen.speed.status,
                             seen.ignition.status, seen.door.status};
  for (const uint32 status : statuses) {
    if (status != 0u) {
      return Describe("status of a published signal", 0u, status);
    }
  }
  if (seen.latch.value != FALSE && seen.latch.value != TRUE) {
    return Describe("latch value is neither 0 nor 1", TRUE, seen.latch.value);
  }
  if (seen.request == SBW_WARN_ACTIVE) {
    if (seen.ignition.value != IGN_ON) {
      return Describe("warning active with ignition", IGN_ON, seen.ignition.value);
    }
    if (seen.speed.value < cal.speed_threshold) {
      return Describe("warning active below the speed threshold", cal.speed_threshold,
                      seen.speed.value);
    }
    if (seen.occupancy.value != OCC_OCCUPIED) {
      return Describe("warning active with occupancy", OCC_OCCUPIED, seen.occupancy.value);
    }
    if (seen.latch.value != FALSE) {
      return Describe("warning active with the belt latched", FALSE, seen.latch.value);
    }
  }
  if (seen.dem_count > seen.dem.size()) {
    return Describe("diagnostic reports in one tick, at most", seen.dem.size(), seen.dem_count);
  }
  for (std::size_t i = 0u; i < seen.dem_count; ++i) {
    const DemReport& report = seen.dem[i];
    if (report.event_id != DEM_EVENT_LATCH_STUCK && report.event_id != DEM_EVENT_SPEED_STUCK) {
      return Describe("diagnostic report of an unknown event", DEM_EVENT_LATCH_STUCK,
                      report.event_id);
    }
    if (report.status != DEM_EVENT_STATUS_FAILED && report.status != DEM_EVENT_STATUS_PASSED) {
      return Describe("diagnostic report status", DEM_EVENT_STATUS_FAILED, report.status);
    }
  }
  return {};
}

std::string CompareViews(const TickView& expected, const TickView& seen) {
  struct Field {
    const char* name;
    unsigned long expected;
    unsigned long seen;
  };
  const Field fields[] = {
      {"SeatbeltLatchFiltered", expected.latch.value, seen.latch.value},
      {"SeatbeltLatchFiltered status", expected.latch.status, seen.latch.status},
      {"OccupancyFiltered", expected.occupancy.value, seen.occupancy.value},
      {"OccupancyFiltered status", expected.occupancy.status, seen.occupancy.status},
      {"VehicleSpeed", expected.speed.value, seen.speed.value},
      {"VehicleSpeed status", expected.speed.status, seen.speed.status},
      {"IgnitionState", expected.ignition.value, seen.ignition.value},
      {"IgnitionState status", expected.ignition.status, seen.ignition.status},
      {"DoorClosed", expected.door.value, seen.door.value},
      {"DoorClosed status", expected.door.status, seen.door.status},
      {"warning request", expected.request, seen.request},
      {"warning request writes", expected.request_writes, seen.request_writes},
      {"diagnostic reports", expected.dem_count, seen.dem_count},
  };
  for (const Field& field : fields) {
    if (field.expected != field.seen) {
      return Describe(field.name, field.expected, field.seen);
    }
  }
  for (std::size_t i = 0u; i < expected.dem_count && i < expected.dem.size(); ++i) {
    if (expected.dem[i].event_id != seen.dem[i].event_id) {
      return Describe("diagnostic report event", expected.dem[i].event_id, seen.dem[i].event_id);
    }
    if (expected.dem[i].status != seen.dem[i].status) {
      return Describe("diagnostic report status", expected.dem[i].status, seen.dem[i].status);
    }
  }
  return {};
}

std::string RunInput(const std::uint8_t* data, std::size_t size) {
  const SeatbeltCalibration_t defaults = RteHost_DefaultCalibration();
  Settle(defaults);
  ChainModel model(defaults);
  TickView seen;
  RteHost_SetDemListener(&OnDemReport, &seen);

  Reader in(data, size);
  uint32 ticks = 0u;
  std::string violation;
  // One tick of the components and of the model; false once a check fails.
  const auto tick = [&]() {
    ++ticks;
    seen = TickView{};
    const uint32 writes_before = RteHost_GetWarningWriteCount();
    g_time_ms += kTickMs;
    RunChain();
    seen = Observe(seen);
    seen.request_writes = RteHost_GetWarningWriteCount() - writes_before;
    violation = CheckInvariants(seen, model.calibration());
    if (violation.empty()) {
      violation = CompareViews(model.Tick(), seen);
    }
    if (!violation.empty()) {
      violation = "tick " + std::to_string(ticks) + " (g_time_ms " + std::to_string(g_time_ms) +
                  "): " + violation;
    }
    return violation.empty();
  };

  uint8 op = 0u;
  bool ok = true;
  while (ok && ticks < kMaxTicksPerInput && in.Next(op)) {
    uint8 byte = 0u;
    uint16 word = 0u;
    switch (op % kOpCount) {
      case kOpSetLatch:
        if (!in.Next(byte)) {
          ok = false;
          break;
        }
        Seatbelt_Sensor_IF_SetRaw(byte);
        model.SetLatch(byte);
        break;
      case kOpSetOccupancy:
        if (!in.Next(byte)) {
          ok = false;
          break;
        }
        Occupancy_Sensor_IF_SetRaw(byte);
        model.SetOccupancy(byte);
        break;
      case kOpSetSpeed:
        if (!in.Next16(word)) {
          ok = false;
          break;
        }
        VehicleState_IF_SetSpeed(word);
        model.SetSpeed(word);
        break;
      case kOpSetDoor:
        if (!in.Next(byte)) {
          ok = false;
          break;
        }
        VehicleState_IF_SetDoorClosed(byte);
        model.SetDoor(byte);
        break;
      case kOpSetIgnition:
        if (!in.Next(byte)) {
          ok = false;
          break;
        }
        VehicleState_IF_SetIgnition(byte);
        model.SetIgnition(byte);
        break;
      case kOpSetCalibration: {
        SeatbeltCalibration_t cal{};
        if (!in.Next16(cal.latch_debounce_ms) || !in.Next16(cal.unlatch_debounce_ms) ||
            !in.Next16(cal.occ_debounce_ms) || !in.Next16(cal.speed_threshold) ||
            !in.Next16(cal.door_grace_ms)) {
          ok = false;
          break;
        }
        RteHost_SetCalibration(&cal);
        model.SetCalibration(cal);
        break;
      }
      case kOpInitLogic:
        SeatbeltWarning_Logic_Init();
        model.InitLogic();
        break;
      case kOpTick:
        ok = tick();
        break;
      default:  // kOpTicks
        if (!in.Next(byte)) {
          ok = false;
          break;
        }
        for (uint32 n = 0u; ok && n <= byte && ticks < kMaxTicksPerInput; ++n) {
          ok = tick();
        }
        break;
    }
  }
  RteHost_SetDemListener(nullptr, nullptr);
  return violation;
}

}  // namespace seatbelt_fuzz
