// The seatbelt reminder as a co-simulation model: variables, life cycle, time and the step.
#include "model.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iterator>
#include <utility>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "component_tick.h"
#include "run_record.h"
#include "simulation.h"

namespace seatbelt_fmu {

namespace {

constexpr uint32 kInt32Max = 2147483647u;
constexpr uint32 kNeverReceived = RTE_E_NEVER_RECEIVED;

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr uint32 kTickMs = 10u;
constexpr int64_t kTickUs = int64_t{kTickMs} * 1000;  // one 10 ms tick
// g_time_ms is 32 bits: the last tick it reaches without wrapping is at 4294967290 ms.
constexpr int64_t kLastTick = 429496729;
constexpr double kLastTickSeconds = 4294967.29;

// Trace lines and reports queued while the chain runs are delivered, with the lock released,
// whenever this many have gathered, so a long step with logging on needs little memory.
constexpr std::size_t kMaxQueued = 256u;

constexpr std::size_t kCategoryCount = static_cast<std::size_t>(LogCategory::kCount);

const char* TypeName(Type type) {
  switch (type) {
    case Type::kFloat64:
      return "Float64";
    case Type::kBoolean:
      return "Boolean";
    case Type::kUInt8:
      return "UInt8";
    case Type::kUInt16:
      return "UInt16";
    case Type::kUInt32:
      break;
  }
  return "UInt32";
}

// Value references 1 to 16 are seatbelt_sim's CSV columns, in their order.
constexpr uint32 ColumnReference(std::size_t signal) {
  return static_cast<uint32>(signal) + 1u;
}
static_assert(ColumnReference(seatbelt_sim::kLatchRaw) == kLatchRaw &&
                  ColumnReference(seatbelt_sim::kLatchFiltered) == kLatchFiltered &&
                  ColumnReference(seatbelt_sim::kWarningRequest) == kWarningRequest,
              "the value references follow the CSV columns");

// Whole microseconds of a time in seconds, for times from 0 to the last tick; false for
// anything else (negative, not finite, beyond the clock).
bool ToMicroseconds(double seconds, int64_t& micros) {
  if (!std::isfinite(seconds) || seconds < 0.0 || seconds > kLastTickSeconds + 1.0) {
    return false;
  }
  micros = std::llround(seconds * static_cast<double>(kMicrosPerSecond));
  return true;
}

std::string Format(const char* format, std::va_list args) FMU_PRINTF_FORMAT(1, 0);
std::string Format(const char* format, std::va_list args) {
  std::array<char, 512> text{};
  const int length = std::vsnprintf(text.data(), text.size(), format, args);
  return length < 0 ? std::string(format) : std::string(text.data());
}

}  // namespace

const std::array<Variable, kVariableCount> kVariables = {{
    {"time", Type::kFloat64, Causality::kIndependent, 0u, 0u},
    {"latch_raw", Type::kUInt8, Causality::kInput, 1u, 255u},
    {"occupancy_raw", Type::kUInt32, Causality::kInput, OCC_EMPTY, kInt32Max},
    {"speed_raw", Type::kUInt16, Causality::kInput, 0u, 65535u},
    {"door_raw", Type::kBoolean, Causality::kInput, 1u, 1u},
    {"ignition_raw", Type::kUInt32, Causality::kInput, IGN_OFF, kInt32Max},
    {"latch_filtered", Type::kBoolean, Causality::kOutput, 0u, 1u},
    {"latch_filtered_status", Type::kUInt32, Causality::kOutput, kNeverReceived, kInt32Max},
    {"occupancy_filtered", Type::kUInt32, Causality::kOutput, 0u, kInt32Max},
    {"occupancy_filtered_status", Type::kUInt32, Causality::kOutput, kNeverReceived, kInt32Max},
    {"vehicle_speed", Type::kUInt16, Causality::kOutput, 0u, 65535u},
    {"vehicle_speed_status", Type::kUInt32, Causality::kOutput, kNeverReceived, kInt32Max},
    {"ignition_state", Type::kUInt32, Causality::kOutput, 0u, kInt32Max},
    {"ignition_state_status", Type::kUInt32, Causality::kOutput, kNeverReceived, kInt32Max},
    {"door_closed", Type::kBoolean, Causality::kOutput, 0u, 1u},
    {"door_closed_status", Type::kUInt32, Causality::kOutput, kNeverReceived, kInt32Max},
    {"warning_request", Type::kUInt8, Causality::kOutput, SBW_WARN_NONE, 255u},
    {"latch_stuck", Type::kBoolean, Causality::kOutput, 0u, 1u},
    {"speed_stuck", Type::kBoolean, Causality::kOutput, 0u, 1u},
    {"latch_debounce_ms", Type::kUInt16, Causality::kParameter, RTEHOST_DEFAULT_LATCH_DEBOUNCE_MS,
     65535u},
    {"unlatch_debounce_ms", Type::kUInt16, Causality::kParameter,
     RTEHOST_DEFAULT_UNLATCH_DEBOUNCE_MS, 65535u},
    {"occ_debounce_ms", Type::kUInt16, Causality::kParameter, RTEHOST_DEFAULT_OCC_DEBOUNCE_MS,
     65535u},
    {"speed_threshold", Type::kUInt16, Causality::kParameter, RTEHOST_DEFAULT_SPEED_THRESHOLD,
     65535u},
    {"door_grace_ms", Type::kUInt16, Causality::kParameter, RTEHOST_DEFAULT_DOOR_GRACE_MS, 65535u},
}};

const char* LogCategoryName(LogCategory category) {
  switch (category) {
    case LogCategory::kTrace:
      return "trace";
    case LogCategory::kDiagnostic:
      return "diagnostic";
    case LogCategory::kStatusError:
    case LogCategory::kCount:
      break;
  }
  return "logStatusError";
}

Model::Model(std::string name, std::string message_prefix, bool with_time, LogSink sink,
             void* sink_context, bool logging_on)
    : name_(std::move(name)),
      prefix_(std::move(message_prefix)),
      with_time_(with_time),
      sink_(sink),
      sink_context_(sink_context) {
  logging_.fill(logging_on);
  Reset();
}

// --- logging --------------------------------------------------------------------------------

void Model::Log(Status status, LogCategory category, const std::string& message) {
  if (Enabled(category) && sink_ != nullptr) {
    sink_(sink_context_, status, LogCategoryName(category), message.c_str());
  }
}

void Model::LogError(Status status, const std::string& message) {
  Log(status, LogCategory::kStatusError, prefix_ + message);
}

// Variadic for printf-style formats, which the format attribute checks at every call.
// NOLINTNEXTLINE(cert-dcl50-cpp): printf-style, checked by the compiler
Status Model::Error(const char* function, const char* format, ...) {
  if (Enabled(LogCategory::kStatusError)) {
    std::va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    LogError(Status::kError, std::string(function) + ": " + text);
  }
  return Status::kError;
}

Status Model::SetDebugLogging(const char* function, bool on, std::size_t count,
                              const char* const categories[]) {
  if (count > 0u && categories == nullptr) {
    return Error(function, "categories is null but nCategories is %zu", count);
  }
  if (count == 0u) {
    logging_.fill(on);
    return Status::kOk;
  }
  // All names are checked before any is applied, so a bad call changes nothing.
  std::array<bool, static_cast<std::size_t>(LogCategory::kCount)> chosen{};
  for (std::size_t i = 0u; i < count; ++i) {
    bool known = false;
    for (std::size_t c = 0u; c < kCategoryCount; ++c) {
      if (categories[i] != nullptr &&
          std::string(categories[i]) == LogCategoryName(static_cast<LogCategory>(c))) {
        chosen[c] = true;
        known = true;
      }
    }
    if (!known) {
      return Error(function, "unknown log category '%s' (expected trace, diagnostic or %s)",
                   categories[i] == nullptr ? "(null)" : categories[i],
                   LogCategoryName(LogCategory::kStatusError));
    }
  }
  for (std::size_t c = 0u; c < chosen.size(); ++c) {
    if (chosen[c]) {
      logging_[c] = on;
    }
  }
  return Status::kOk;
}

bool Model::WantsTrace() const {
  return Enabled(LogCategory::kTrace) && sink_ != nullptr;
}

void Model::OnTrace(const char* line) {
  queued_.push_back({LogCategory::kTrace, line});
}

void Model::OnDiagnostic(uint16 event_id, uint8 status, uint32 time_ms) {
  const bool failed = status == DEM_EVENT_STATUS_FAILED;
  if (event_id == DEM_EVENT_LATCH_STUCK) {
    values_[kLatchStuck] = failed ? 1u : 0u;
  } else if (event_id == DEM_EVENT_SPEED_STUCK) {
    values_[kSpeedStuck] = failed ? 1u : 0u;
  }
  if (!Enabled(LogCategory::kDiagnostic)) {
    return;
  }
  std::array<char, 128> text{};
  if (status == DEM_EVENT_STATUS_FAILED || status == DEM_EVENT_STATUS_PASSED) {
    (void)std::snprintf(text.data(), text.size(), "t=%u ms: diagnostic event 0x%04X %s %s",
                        static_cast<unsigned>(time_ms), static_cast<unsigned>(event_id),
                        seatbelt_sim::DemEventName(event_id), failed ? "FAILED" : "PASSED");
  } else {
    (void)std::snprintf(text.data(), text.size(), "t=%u ms: diagnostic event 0x%04X %s status %u",
                        static_cast<unsigned>(time_ms), static_cast<unsigned>(event_id),
                        seatbelt_sim::DemEventName(event_id), static_cast<unsigned>(status));
  }
  queued_.push_back({LogCategory::kDiagnostic, prefix_ + text.data()});
}

void Model::FlushQueued() {
  for (const Queued& entry : queued_) {
    Log(Status::kOk, entry.category, entry.message);
  }
  queued_.clear();
}

// --- life cycle -------------------------------------------------------------------------------

void Model::Reset() {
  phase_ = Phase::kInstantiated;
  for (std::size_t vr = 0u; vr < kVariables.size(); ++vr) {
    values_[vr] = kVariables[vr].start;
  }
  start_us_ = 0;
  now_us_ = 0;
  now_s_ = 0.0;
  ticks_run_ = 0u;
  queued_.clear();
  chain_.Reset();
}

Status Model::SetStartTime(const char* function, double start_s) {
  if (phase_ != Phase::kInstantiated) {
    return Error(function, "the start time can only be set before initialization");
  }
  int64_t start_us = 0;
  if (!ToMicroseconds(start_s, start_us) || start_us > kLastTick * kTickUs) {
    return Error(function, "start time %g s is outside 0 to %.2f s, the range of the 10 ms clock",
                 start_s, kLastTickSeconds);
  }
  start_us_ = start_us;
  now_s_ = start_s;
  return Status::kOk;
}

Status Model::EnterInitialization(const char* function) {
  if (phase_ != Phase::kInstantiated) {
    return Error(function, "only allowed once after instantiation or reset");
  }
  now_us_ = start_us_;
  ticks_run_ = static_cast<uint32>(start_us_ / kTickUs);
  phase_ = Phase::kInitialization;
  return Status::kOk;
}

Status Model::ExitInitialization(const char* function) {
  if (phase_ != Phase::kInitialization) {
    return Error(function, "only allowed in initialization mode");
  }
  const SeatbeltCalibration_t calibration = {static_cast<uint16>(values_[kLatchDebounceMs]),
                                             static_cast<uint16>(values_[kUnlatchDebounceMs]),
                                             static_cast<uint16>(values_[kOccDebounceMs]),
                                             static_cast<uint16>(values_[kSpeedThreshold]),
                                             static_cast<uint16>(values_[kDoorGraceMs])};
  {
    const ChainSession session(chain_, *this);
    RteHost_SetCalibration(&calibration);
    // The tick at g_time_ms = 10 k runs at 0.01 k s; a start time between two ticks keeps the
    // clock at the tick before it.
    g_time_ms = ticks_run_ * 10u;
    SeatbeltWarning_Logic_Init();
    SampleOutputs();
  }
  FlushQueued();
  phase_ = Phase::kStepMode;
  return Status::kOk;
}

Status Model::Terminate(const char* function) {
  if (phase_ != Phase::kStepMode) {
    return Error(function, "only allowed after initialization, before termination");
  }
  phase_ = Phase::kTerminated;
  return Status::kOk;
}

double Model::TimeSeconds() const {
  return now_s_;
}

// --- the step -------------------------------------------------------------------------------

void Model::ApplyInputs() const {
  Seatbelt_Sensor_IF_SetRaw(static_cast<uint8>(values_[kLatchRaw]));
  Occupancy_Sensor_IF_SetRaw(values_[kOccupancyRaw]);
  VehicleState_IF_SetSpeed(static_cast<uint16>(values_[kSpeedRaw]));
  VehicleState_IF_SetDoorClosed(static_cast<boolean>(values_[kDoorRaw]));
  VehicleState_IF_SetIgnition(values_[kIgnitionRaw]);
}

void Model::SampleOutputs() {
  seatbelt_sim::TickSample sample;
  seatbelt_sim::ReadPublished(sample);
  for (std::size_t signal = seatbelt_sim::kLatchFiltered; signal <= seatbelt_sim::kWarningRequest;
       ++signal) {
    values_[ColumnReference(signal)] = sample.values[signal];
  }
}

Status Model::DoStep(const char* function, double current_s, double step_s) {
  if (phase_ != Phase::kStepMode) {
    return Error(function, "only allowed after initialization, before termination");
  }
  if (!std::isfinite(step_s) || step_s < 0.0) {
    return Error(function, "step size %g s is negative or not a number", step_s);
  }
  int64_t current_us = 0;
  if (!ToMicroseconds(current_s, current_us) || current_us != now_us_) {
    return Error(function, "the step starts at %.6f s, but the instance is at %.6f s", current_s,
                 now_s_);
  }
  // Times are compared in whole microseconds, so steps of 0.01 s that the importer adds up in
  // floating point still meet every tick exactly once.
  int64_t end_us = 0;
  if (!ToMicroseconds(current_s + step_s, end_us) || end_us / kTickUs > kLastTick) {
    return Error(function, "the step ends after %.2f s, where the components' clock ends",
                 kLastTickSeconds);
  }
  const auto last_tick = static_cast<uint32>(end_us / kTickUs);
  while (ticks_run_ < last_tick) {
    {
      const ChainSession session(chain_, *this);
      ApplyInputs();
      do {
        g_time_ms += kTickMs;
        seatbelt_sim::RunComponentTick();
        ++ticks_run_;
      } while (ticks_run_ < last_tick && queued_.size() < kMaxQueued);
      SampleOutputs();
    }
    FlushQueued();
  }
  now_us_ = end_us;
  now_s_ = current_s + step_s;
  return Status::kOk;
}

// --- the instance's state -------------------------------------------------------------------

void Model::Save(Snapshot& snapshot) const {
  snapshot.phase = phase_;
  snapshot.values = values_;
  snapshot.start_us = start_us_;
  snapshot.now_us = now_us_;
  snapshot.now_s = now_s_;
  snapshot.ticks_run = ticks_run_;
  chain_.CopyTo(snapshot.chain);
}

bool Model::Restore(const Snapshot& snapshot) {
  if (!chain_.Assign(snapshot.chain)) {
    return false;
  }
  phase_ = snapshot.phase;
  values_ = snapshot.values;
  start_us_ = snapshot.start_us;
  now_us_ = snapshot.now_us;
  now_s_ = snapshot.now_s;
  ticks_run_ = snapshot.ticks_run;
  queued_.clear();
  return true;
}

bool Model::Consistent(const Snapshot& snapshot, std::string& why) {
  if (snapshot.phase != Phase::kInstantiated && snapshot.phase != Phase::kInitialization &&
      snapshot.phase != Phase::kStepMode && snapshot.phase != Phase::kTerminated) {
    why = "unknown phase";
    return false;
  }
  for (std::size_t vr = 0u; vr < kVariables.size(); ++vr) {
    const Type type = kVariables[vr].type;
    const uint32 value = snapshot.values[vr];
    if ((type == Type::kFloat64 && value != 0u) || (type == Type::kBoolean && value > 1u) ||
        (type == Type::kUInt8 && value > 255u) || (type == Type::kUInt16 && value > 65535u)) {
      why = std::string("value ") + std::to_string(value) + " of " + kVariables[vr].name +
            " is out of its type's range";
      return false;
    }
  }
  int64_t now_us = 0;
  const bool times_fine = ToMicroseconds(snapshot.now_s, now_us) && snapshot.start_us >= 0 &&
                          snapshot.start_us <= kLastTick * kTickUs &&
                          snapshot.ticks_run <= kLastTick;
  // Before initialization the time is the start time as given; from then on the clock has run
  // every tick up to the current communication point.
  const bool clock_fine =
      snapshot.phase == Phase::kInstantiated
          ? snapshot.now_us == 0 && snapshot.ticks_run == 0u && now_us == snapshot.start_us
          : snapshot.now_us == now_us && snapshot.now_us >= snapshot.start_us &&
                snapshot.now_us / kTickUs == int64_t{snapshot.ticks_run};
  if (!times_fine || !clock_fine) {
    why = "the times do not fit together";
    return false;
  }
  return true;
}

// --- values ---------------------------------------------------------------------------------

Status Model::CheckArrays(const char* function, const void* vrs, std::size_t count,
                          const void* values, std::size_t value_count) {
  if (count > 0u && (vrs == nullptr || values == nullptr)) {
    return Error(function, "null array for %zu values", count);
  }
  if (value_count != count) {
    return Error(function, "%zu values for %zu value references", value_count, count);
  }
  return Status::kOk;
}

Status Model::CheckVariable(const char* function, uint32 vr, TypeSet types) {
  if (vr >= kVariableCount || (vr == kTime && !with_time_)) {
    return Error(function, "unknown value reference %u", static_cast<unsigned>(vr));
  }
  const Variable& variable = kVariables[vr];
  if ((TypeBit(variable.type) & types) == 0u) {
    return Error(function, "%s is of type %s", variable.name, TypeName(variable.type));
  }
  return Status::kOk;
}

Status Model::CheckSet(const char* function, uint32 vr, TypeSet types) {
  const Status status = CheckVariable(function, vr, types);
  if (status != Status::kOk) {
    return status;
  }
  const Variable& variable = kVariables[vr];
  switch (variable.causality) {
    case Causality::kIndependent:
    case Causality::kOutput:
      return Error(function, "%s is an output and cannot be set", variable.name);
    case Causality::kParameter:
      if (phase_ != Phase::kInstantiated && phase_ != Phase::kInitialization) {
        return Error(function, "parameter %s is fixed after initialization", variable.name);
      }
      break;
    case Causality::kInput:
      if (phase_ == Phase::kTerminated) {
        return Error(function, "%s cannot be set after termination", variable.name);
      }
      break;
  }
  return Status::kOk;
}

Status Model::CheckGet(const char* function, uint32 vr, TypeSet types) {
  const Status status = CheckVariable(function, vr, types);
  if (status == Status::kOk && phase_ == Phase::kInstantiated) {
    return Error(function, "values can be read from initialization mode on");
  }
  return status;
}

}  // namespace seatbelt_fmu
