// The seatbelt reminder as a co-simulation model, independent of the FMI version: variables,
// life cycle, time, the step and logging. fmi3_functions.cpp and fmi2_functions.cpp map their
// standard's calls onto it.
#ifndef FMU_MODEL_H
#define FMU_MODEL_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "chain_state.h"
#include "printf_format.h"

namespace seatbelt_fmu {

// Same values and order as the status enumerations of both FMI versions.
enum class Status { kOk = 0, kWarning = 1, kDiscard = 2, kError = 3, kFatal = 4 };

// Types of the variables in FMI 3.0 terms; FMI 2.0 shows the integers as Integer.
enum class Type : unsigned { kFloat64, kBoolean, kUInt8, kUInt16, kUInt32 };
enum class Causality { kIndependent, kParameter, kInput, kOutput };

struct Variable {
  const char* name;
  Type type;
  Causality causality;
  uint32 start;     // 0 for time
  uint32 fmi2_max;  // largest value FMI 2.0 accepts (its Integer is signed 32-bit)
};

// Value references are the indexes: 0 is time (FMI 3.0 only), 1 to 16 the columns of
// seatbelt_sim's CSV in their order, then the two stuck flags and the five parameters.
enum ValueReference : uint32 {
  kTime,
  kLatchRaw,
  kOccupancyRaw,
  kSpeedRaw,
  kDoorRaw,
  kIgnitionRaw,
  kLatchFiltered,
  kLatchFilteredStatus,
  kOccupancyFiltered,
  kOccupancyFilteredStatus,
  kVehicleSpeed,
  kVehicleSpeedStatus,
  kIgnitionState,
  kIgnitionStateStatus,
  kDoorClosed,
  kDoorClosedStatus,
  kWarningRequest,
  kLatchStuck,
  kSpeedStuck,
  kLatchDebounceMs,
  kUnlatchDebounceMs,
  kOccDebounceMs,
  kSpeedThreshold,
  kDoorGraceMs,
  kVariableCount
};

extern const std::array<Variable, kVariableCount> kVariables;

// Log categories declared in both model descriptions.
enum class LogCategory : std::size_t { kTrace, kDiagnostic, kStatusError, kCount };
const char* LogCategoryName(LogCategory category);

// Receives every message the model logs; the FMI layer passes it on to the importer.
using LogSink = void (*)(void* context, Status status, const char* category, const char* message);

// Bit set of Types a get or set function accepts.
using TypeSet = unsigned;
constexpr TypeSet TypeBit(Type type) {
  return 1u << static_cast<unsigned>(type);
}

class Model final : private ChainListener {
 public:
  // The instance's life cycle, common to both versions' co-simulation state machines.
  enum class Phase { kInstantiated, kInitialization, kStepMode, kTerminated };

  // message_prefix starts every message but the trace lines (FMI 3.0's logger has no
  // instance name argument). with_time: whether value reference 0 (time) exists.
  Model(std::string name, std::string message_prefix, bool with_time, LogSink sink,
        void* sink_context, bool logging_on);

  const std::string& name() const { return name_; }
  Phase phase() const { return phase_; }

  // Enables (on) or disables the listed categories, or all of them when count is 0.
  Status SetDebugLogging(const char* function, bool on, std::size_t count,
                         const char* const categories[]);

  // Life cycle. start_s is the time of the first communication point.
  Status SetStartTime(const char* function, double start_s);
  Status EnterInitialization(const char* function);
  Status ExitInitialization(const char* function);
  Status DoStep(const char* function, double current_s, double step_s);
  Status Terminate(const char* function);
  void Reset();

  // Everything that decides what the instance does from here on, apart from its name and
  // logging settings: the phase, the values (inputs and parameters as set, the outputs and stuck
  // flags as last sampled), the FMU's time and the chain's state (components, runtime layer with
  // its calibration, clock).
  struct Snapshot {
    Phase phase = Phase::kInstantiated;
    std::array<uint32, kVariableCount> values{};
    int64_t start_us = 0;
    int64_t now_us = 0;
    double now_s = 0.0;
    uint32 ticks_run = 0u;
    std::vector<unsigned char> chain;
  };
  // Save reuses the snapshot's memory. Restore makes the instance go on exactly as the one saved
  // did; false, with nothing changed, when the chain image is not of this binary's size.
  void Save(Snapshot& snapshot) const;
  bool Restore(const Snapshot& snapshot);
  // Whether a snapshot read from outside holds what Save can give; why not, when it does not.
  static bool Consistent(const Snapshot& snapshot, std::string& why);

  // Whether value reference vr may be set with a function that takes types now; logs why
  // not. Set stores without checks: the FMI layer checks its own value range first.
  Status CheckSet(const char* function, uint32 vr, TypeSet types);
  void Set(uint32 vr, uint32 value) { values_[vr] = value; }
  // Whether vr may be read with a function that gives types now; logs why not.
  Status CheckGet(const char* function, uint32 vr, TypeSet types);
  uint32 Get(uint32 vr) const { return values_[vr]; }
  double TimeSeconds() const;

  // The checks above without the logging, inline: the common case of a call that is fine costs
  // a few comparisons. When one is false, the full check gives the status and logs why.
  bool CanSet(uint32 vr, TypeSet types) const {
    if (!Known(vr, types)) {
      return false;
    }
    const Causality causality = kVariables[vr].causality;
    return (causality == Causality::kInput && phase_ != Phase::kTerminated) ||
           (causality == Causality::kParameter &&
            (phase_ == Phase::kInstantiated || phase_ == Phase::kInitialization));
  }
  bool CanGet(uint32 vr, TypeSet types) const {
    return Known(vr, types) && phase_ != Phase::kInstantiated;
  }
  static bool ArraysFine(const void* vrs, std::size_t count, const void* values,
                         std::size_t value_count) {
    return value_count == count && (count == 0u || (vrs != nullptr && values != nullptr));
  }

  // Checks a value and reference array pair the way every get and set function needs it.
  Status CheckArrays(const char* function, const void* vrs, std::size_t count, const void* values,
                     std::size_t value_count);

  // Logs an error ("function: ...") and returns Status::kError.
  Status Error(const char* function, const char* format, ...) FMU_PRINTF_FORMAT(3, 4);
  // Logs an error that the FMI layer found, at the given status.
  void LogError(Status status, const std::string& message);

 private:
  // ChainListener: called with the chain lock held; messages are queued and delivered after.
  bool WantsTrace() const override;
  void OnTrace(const char* line) override;
  void OnDiagnostic(uint16 event_id, uint8 status, uint32 time_ms) override;

  bool Known(uint32 vr, TypeSet types) const {
    return vr < kVariableCount && (vr != kTime || with_time_) &&
           (TypeBit(kVariables[vr].type) & types) != 0u;
  }
  // Whether vr exists and is of one of types.
  Status CheckVariable(const char* function, uint32 vr, TypeSet types);
  void Log(Status status, LogCategory category, const std::string& message);
  void ApplyInputs() const;
  void SampleOutputs();
  void FlushQueued();
  bool Enabled(LogCategory category) const { return logging_[static_cast<std::size_t>(category)]; }

  struct Queued {
    LogCategory category;
    std::string message;
  };

  std::string name_;
  std::string prefix_;
  bool with_time_;
  LogSink sink_;
  void* sink_context_;
  std::array<bool, static_cast<std::size_t>(LogCategory::kCount)> logging_{};

  Phase phase_ = Phase::kInstantiated;
  std::array<uint32, kVariableCount> values_{};
  int64_t start_us_ = 0;   // time of the first communication point
  int64_t now_us_ = 0;     // current communication point, in whole microseconds
  double now_s_ = 0.0;     // the same as the importer gave it
  uint32 ticks_run_ = 0u;  // k of the last tick run (the tick at g_time_ms = 10 k)
  std::vector<Queued> queued_;
  ChainState chain_;
};

}  // namespace seatbelt_fmu

#endif  // FMU_MODEL_H
