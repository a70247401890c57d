// The 10 ms schedule of the seatbelt simulation.
#include "simulation.h"

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "component_tick.h"

namespace seatbelt_sim {
namespace {

// The raw inputs as the host last set them. The values are the components' power-on values,
// which the host also sets explicitly before the first tick so that this record and the
// components agree from the start.
struct RawInputs {
  uint8 latch = 1u;  // latched
  uint32 occupancy = OCC_EMPTY;
  uint16 speed = 0u;
  boolean door = TRUE;  // closed
  uint32 ignition = IGN_OFF;
};

void SetAllInputs(const RawInputs& raw) {
  Seatbelt_Sensor_IF_SetRaw(raw.latch);
  Occupancy_Sensor_IF_SetRaw(raw.occupancy);
  VehicleState_IF_SetSpeed(raw.speed);
  VehicleState_IF_SetDoorClosed(raw.door);
  VehicleState_IF_SetIgnition(raw.ignition);
}

// Word shown after a stimulus value that has a name, e.g. " (open)".
const char* ValueWord(Input input, uint32 value) {
  switch (input) {
    case Input::kLatch:
      return value == 0u ? " (unlatched)" : " (latched)";
    case Input::kOccupancy:
      return value == OCC_EMPTY ? " (empty)" : value == OCC_OCCUPIED ? " (occupied)" : "";
    case Input::kDoor:
      return value == 0u ? " (open)" : " (closed)";
    case Input::kIgnition:
      return value == IGN_OFF ? " (off)" : value == IGN_ON ? " (on)" : "";
    case Input::kSpeed:
    case Input::kNote:
      break;
  }
  return "";
}

// Every value is within its input's type (InputMax), so the narrowing casts are exact.
void Apply(const Stimulus& stimulus, RawInputs& raw, std::FILE* out) {
  switch (stimulus.input) {
    case Input::kLatch:
      raw.latch = static_cast<uint8>(stimulus.value);
      Seatbelt_Sensor_IF_SetRaw(raw.latch);
      break;
    case Input::kOccupancy:
      raw.occupancy = stimulus.value;
      Occupancy_Sensor_IF_SetRaw(raw.occupancy);
      break;
    case Input::kSpeed:
      raw.speed = static_cast<uint16>(stimulus.value);
      VehicleState_IF_SetSpeed(raw.speed);
      break;
    case Input::kDoor:
      raw.door = static_cast<boolean>(stimulus.value);
      VehicleState_IF_SetDoorClosed(raw.door);
      break;
    case Input::kIgnition:
      raw.ignition = stimulus.value;
      VehicleState_IF_SetIgnition(raw.ignition);
      break;
    case Input::kNote:
      (void)std::fprintf(out, "[SIM] t=%u ms: note: %s\n", static_cast<unsigned>(g_time_ms),
                         stimulus.text);
      return;
  }
  (void)std::fprintf(out, "[SIM] t=%u ms: set %s = %u%s\n", static_cast<unsigned>(g_time_ms),
                     InputName(stimulus.input), static_cast<unsigned>(stimulus.value),
                     ValueWord(stimulus.input, stimulus.value));
}

void Sample(const RawInputs& raw, TickSample& sample) {
  ReadPublished(sample);
  auto& v = sample.values;
  v[kLatchRaw] = raw.latch;
  v[kOccupancyRaw] = raw.occupancy;
  v[kSpeedRaw] = raw.speed;
  v[kDoorRaw] = raw.door;
  v[kIgnitionRaw] = raw.ignition;
}

void OnWarningWrite(uint8 request, void* context) {
  static_cast<RunRecord*>(context)->OnWarningWrite(g_time_ms, request);
}

void OnDemReport(uint16 event_id, uint8 status, void* context) {
  static_cast<RunRecord*>(context)->OnDemReport(g_time_ms, event_id, status);
}

}  // namespace

void ReadPublished(TickSample& sample) {
  const Rte_SeatbeltLatchFiltered_t latch = Rte_Read_SeatbeltLatchFiltered();
  const Rte_OccupancyFiltered_t occupancy = Rte_Read_OccupancyFiltered();
  const Rte_VehicleSpeed_t speed = Rte_Read_VehicleSpeed();
  const Rte_IgnitionState_t ignition = Rte_Read_IgnitionState();
  const Rte_DoorClosed_t door = Rte_Read_DoorClosed();
  sample.time_ms = g_time_ms;
  auto& v = sample.values;
  v[kLatchFiltered] = latch.value;
  v[kLatchFilteredStatus] = latch.status;
  v[kOccupancyFiltered] = occupancy.value;
  v[kOccupancyFilteredStatus] = occupancy.status;
  v[kVehicleSpeed] = speed.value;
  v[kVehicleSpeedStatus] = speed.status;
  v[kIgnitionState] = ignition.value;
  v[kIgnitionStateStatus] = ignition.status;
  v[kDoorClosed] = door.value;
  v[kDoorClosedStatus] = door.status;
  v[kWarningRequest] = RteHost_GetWarningRequest();
}

TickSample InitialSample() {
  TickSample sample;
  Sample(RawInputs{}, sample);
  return sample;
}

void RunSimulation(const RunSetup& run, std::FILE* out, RunRecord& record,
                   RunObserver* const* observers, std::size_t observer_count,
                   ExpectationJudge* judge) {
  const SeatbeltCalibration_t& calibration = run.calibration;
  RteHost_SetCalibration(&calibration);
  RteHost_SetWarningListener(&OnWarningWrite, &record);
  RteHost_SetDemListener(&OnDemReport, &record);

  (void)std::fprintf(out, "[SIM] scenario %s: %u ticks of %u ms, until %u ms\n", run.name,
                     static_cast<unsigned>(run.ticks), static_cast<unsigned>(kTickMs),
                     static_cast<unsigned>(run.ticks * kTickMs));
  (void)std::fprintf(out,
                     "[SIM] calibration: latch_debounce_ms=%u unlatch_debounce_ms=%u "
                     "occ_debounce_ms=%u speed_threshold=%u door_grace_ms=%u\n",
                     static_cast<unsigned>(calibration.latch_debounce_ms),
                     static_cast<unsigned>(calibration.unlatch_debounce_ms),
                     static_cast<unsigned>(calibration.occ_debounce_ms),
                     static_cast<unsigned>(calibration.speed_threshold),
                     static_cast<unsigned>(calibration.door_grace_ms));

  RawInputs raw;
  SetAllInputs(raw);
  g_time_ms = 0u;
  SeatbeltWarning_Logic_Init();

  // Copies the components cannot touch, so they stay in registers across the runnables' calls.
  const uint32 ticks = run.ticks;
  const Stimulus* const stimuli = run.stimuli;
  const std::size_t stimulus_count = run.stimulus_count;
  std::size_t next = 0u;
  TickSample sample;
  // What the judge saw last: a tick on which no input, signal, warning request or diagnostic
  // event changed since then needs no sample for it.
  bool judge_seen = false;
  bool inputs_changed = false;
  uint32 signal_changes = 0u;
  uint32 record_events = 0u;
  for (uint32 tick = 0u; tick < ticks; ++tick) {
    g_time_ms += kTickMs;
    while (next < stimulus_count && stimuli[next].time_ms <= g_time_ms) {
      const Stimulus& stimulus = stimuli[next];
      Apply(stimulus, raw, out);
      inputs_changed = true;
      for (std::size_t i = 0u; i < observer_count; ++i) {
        observers[i]->OnStimulus(g_time_ms, stimulus);
      }
      ++next;
    }
    RunComponentTick();
    // A run without observers and open expectations, the usual case, skips the sampling.
    if (observer_count > 0u) {
      Sample(raw, sample);
      for (std::size_t i = 0u; i < observer_count; ++i) {
        observers[i]->OnTick(sample);
      }
    }
    if (judge != nullptr && judge->Wants(g_time_ms)) {
      const uint32 signals_now = RteHost_GetSignalChangeCount();
      const uint32 events_now = record.event_count();
      if (judge_seen && !inputs_changed && signals_now == signal_changes &&
          events_now == record_events) {
        judge->OnQuietTick(g_time_ms);
      } else {
        if (observer_count == 0u) {
          Sample(raw, sample);
        }
        judge->OnTick(sample, record.stuck_events());
        judge_seen = true;
        inputs_changed = false;
        signal_changes = signals_now;
        record_events = events_now;
      }
    }
  }

  RteHost_SetWarningListener(nullptr, nullptr);
  RteHost_SetDemListener(nullptr, nullptr);
  record.PrintSummary(ticks, g_time_ms);
  if (judge != nullptr && judge->count() > 0u) {
    (void)std::fprintf(out, "[SIM] expectations: %lu passed, %lu failed\n",
                       static_cast<unsigned long>(judge->passed()),
                       static_cast<unsigned long>(judge->failed()));
  }
}

int FinishRun(std::FILE* out, const RunRecord& record, RunObserver* const* observers,
              std::size_t observer_count, uint32 end_ms, const char* program, std::FILE* messages,
              const ExpectationJudge* judge) {
  int status = kExitOk;
  if (!record.complete()) {
    (void)std::fprintf(
        messages, "%s: out of memory: the summary lacks warning intervals or reports\n", program);
    status = kExitOutputFailed;
  }
  for (std::size_t i = 0u; i < observer_count; ++i) {
    if (!observers[i]->Finish(end_ms)) {
      observers[i]->PrintError(messages, program);
      status = kExitOutputFailed;
    }
  }
  if (std::fflush(out) != 0 || std::ferror(out) != 0) {
    (void)std::fprintf(messages, "%s: cannot write standard output\n", program);
    status = kExitOutputFailed;
  }
  if (status == kExitOk && judge != nullptr && judge->failed() > 0u) {
    status = kExitExpectationFailed;
  }
  return status;
}

}  // namespace seatbelt_sim
