// Fuzz driver of the seatbelt chain: applies decoded operations to the components and to the
// model alike, and checks every tick.
#include "chain_driver.h"

#include <optional>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "chain_model.h"
#include "compare_views.h"
#include "invariants.h"
#include "op_decoder.h"
#include "tick_view.h"

namespace seatbelt_fuzz {
namespace {

constexpr uint32 kTickMs = 10u;

void OnDemReport(uint16 event_id, uint8 status, void* context) {
  AddReport(*static_cast<TickView*>(context), event_id, status);
}

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

// One input's run: the components and the model, driven alike, and the first violation.
class Run {
 public:
  explicit Run(const SeatbeltCalibration_t& cal) : model_(cal) {
    RteHost_SetDemListener(&OnDemReport, &seen_);
  }
  ~Run() { RteHost_SetDemListener(nullptr, nullptr); }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  Run(Run&&) = delete;
  Run& operator=(Run&&) = delete;

  // Applies one operation; false once a check has failed or the tick limit is reached.
  bool Apply(const Operation& operation) {
    switch (operation.op) {
      case kOpSetLatch:
        Seatbelt_Sensor_IF_SetRaw(operation.Byte());
        model_.SetLatch(operation.Byte());
        break;
      case kOpSetOccupancy:
        Occupancy_Sensor_IF_SetRaw(operation.Byte());
        model_.SetOccupancy(operation.Byte());
        break;
      case kOpSetSpeed:
        VehicleState_IF_SetSpeed(operation.Word(0u));
        model_.SetSpeed(operation.Word(0u));
        break;
      case kOpSetDoor:
        VehicleState_IF_SetDoorClosed(operation.Byte());
        model_.SetDoor(operation.Byte());
        break;
      case kOpSetIgnition:
        VehicleState_IF_SetIgnition(operation.Byte());
        model_.SetIgnition(operation.Byte());
        break;
      case kOpSetCalibration: {
        const SeatbeltCalibration_t cal = operation.Calibration();
        RteHost_SetCalibration(&cal);
        model_.SetCalibration(cal);
        break;
      }
      case kOpInitLogic:
        SeatbeltWarning_Logic_Init();
        model_.InitLogic();
        break;
      case kOpTick:
        Tick();
        break;
      default:  // kOpTicks
        for (uint32 n = 0u; n <= operation.Byte() && Going(); ++n) {
          Tick();
        }
        break;
    }
    return Going();
  }

  const std::string& violation() const { return violation_; }

 private:
  bool Going() const { return violation_.empty() && ticks_ < kMaxTicksPerInput; }

  // One tick of the components and of the model, and the checks of what the components did.
  void Tick() {
    ++ticks_;
    seen_ = TickView{};
    const uint32 writes_before = RteHost_GetWarningWriteCount();
    g_time_ms += kTickMs;
    RunChain();
    seen_ = Observe(seen_);
    seen_.request_writes = RteHost_GetWarningWriteCount() - writes_before;
    violation_ = CheckInvariants(seen_, model_.calibration());
    if (violation_.empty()) {
      violation_ = CompareViews(model_.Tick(), seen_);
    }
    if (!violation_.empty()) {
      violation_ = "tick " + std::to_string(ticks_) + " (g_time_ms " + std::to_string(g_time_ms) +
                   "): " + violation_;
    }
  }

  ChainModel model_;
  TickView seen_;  // filled by the diagnostic listener during a tick
  uint32 ticks_ = 0u;
  std::string violation_;
};

}  // namespace

std::string RunInput(const std::uint8_t* data, std::size_t size) {
  const SeatbeltCalibration_t defaults = RteHost_DefaultCalibration();
  Settle(defaults);
  Run run(defaults);
  OpDecoder decoder(data, size);
  while (const std::optional<Operation> operation = decoder.Next()) {
    if (!run.Apply(*operation)) {
      break;
    }
  }
  return run.violation();
}

}  // namespace seatbelt_fuzz
