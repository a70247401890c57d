// The FMI call sequence of a fuzz input and the checks of every call. Each call is made through
// a pointer of exactly the function's type, as an importer compiled against the standard's
// declarations would make it.
#include "fmi_api_driver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "fmi2_types.h"
#include "fmi3_types.h"
#include "fmu_importer.h"
#include "printf_format.h"

namespace fmu_fuzz {
namespace {

constexpr int kOk = 0;
constexpr int kError = 3;
constexpr std::size_t kSlots = 3u;
constexpr std::size_t kMaxStates = 8u;
constexpr std::size_t kMaxBuffers = 4u;
constexpr std::size_t kMaxCalls = 64u;
constexpr std::int64_t kLastTick = 429496729;  // the last tick of the 32-bit 10 ms clock
constexpr std::int64_t kTickUs = 10000;

// Start times and step sizes: ordinary ones, the clock's end, and every kind of invalid one.
const double kTimes[] = {0.0,   5.0,
                         0.004, 4294967.0,
                         -1.0,  std::numeric_limits<double>::quiet_NaN(),
                         1e12,  std::numeric_limits<double>::infinity()};
const double kSteps[] = {0.01,  0.0,
                         0.003, 0.5,
                         2.5,   0.0149,
                         -0.01, std::numeric_limits<double>::quiet_NaN(),
                         1e9,   -std::numeric_limits<double>::infinity()};
const char* const kCategories[] = {"trace", "diagnostic", "logStatusError", "no_such_category"};

// Whole microseconds of a time the clock can reach, as the FMU's documentation defines it.
bool ClockMicros(double seconds, std::int64_t& micros) {
  if (!std::isfinite(seconds) || seconds < 0.0 || seconds > 4294968.29) {
    return false;
  }
  micros = std::llround(seconds * 1e6);
  return micros / kTickUs <= kLastTick;
}

// The input, read front to back; past its end every read gives 0.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  unsigned Byte() { return at_ < size_ ? data_[at_++] : 0u; }
  template <std::size_t N>
  std::size_t Pick() {
    return Byte() % N;
  }
  std::uint32_t Word() {
    std::uint32_t word = 0u;
    for (int i = 0; i < 4; ++i) {
      word = (word << 8u) | Byte();
    }
    return word;
  }
  void Take(std::size_t count, std::vector<std::uint8_t>& bytes) {
    const std::size_t taken = std::min(count, size_ - std::min(at_, size_));
    bytes.assign(data_ + at_, data_ + at_ + taken);
    at_ += taken;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0u;
};

enum class Phase { kInstantiated, kInitialization, kStepMode, kTerminated, kUnknown };

// What an instance must be, as far as the calls so far decide it.
struct Slot {
  void* instance = nullptr;
  Phase phase = Phase::kInstantiated;
  double now_s = 0.0;
  double start_s = 0.0;  // FMI 2.0: as fmi2SetupExperiment set it
  std::array<bool, 3> logging{};
  bool has_logger = false;
  int errors_logged = 0;
  bool bad_message = false;  // a message of no known category, without text or of a bad status
  fmi2CallbackFunctions callbacks{};
};

// What a state or a serialized state carries of its instance.
struct Taken {
  Phase phase = Phase::kUnknown;
  double now_s = 0.0;
  double start_s = 0.0;
};

struct LiveState {
  void* pointer;
  Taken taken;
  std::size_t owner;  // freed with this slot's instance
};

struct Serialized {
  std::vector<std::uint8_t> bytes;
  Taken taken;
};

}  // namespace

class ApiDriver::Impl {
 public:
  Impl(int version, const std::string& dir) : fmu_(version, dir), v3_(version == 3) {
    for (const auto& [name, info] : fmu_.variables()) {
      variables_[info.vr] = info;
    }
  }

  std::string Run(const std::uint8_t* data, std::size_t size) {
    failure_.clear();
    Input in(data, size);
    for (std::size_t call = 0u; call < kMaxCalls && !in.empty() && failure_.empty(); ++call) {
      Step(in);
    }
    for (std::size_t slot = 0u; slot < kSlots; ++slot) {
      FreeInstance(slot);
    }
    states_.clear();
    buffers_.clear();
    dead_.clear();
    return failure_;
  }

 private:
  template <typename R, typename... Args>
  R Call(const char* name, Args... args) {
    return reinterpret_cast<R (*)(Args...)>(fmu_.Symbol(name))(args...);
  }
  template <typename... Args>
  int Status3(const char* name, Args... args) {
    return static_cast<int>(Call<fmi3Status>(name, args...));
  }
  template <typename... Args>
  int Status2(const char* name, Args... args) {
    return static_cast<int>(Call<fmi2Status>(name, args...));
  }
  const char* Name(const char* fmi3_name, const char* fmi2_name) const {
    return v3_ ? fmi3_name : fmi2_name;
  }

  void Fail(const std::string& what) {
    if (failure_.empty()) {
      failure_ = what;
    }
  }

  // A call's status: OK when ok, fmiError otherwise (either when the instance's phase is not
  // known), never another; an error comes with a logged reason when the instance logs errors.
  void Check(const char* call, int status, bool ok, const Slot* slot, int errors_before) {
    const bool either = slot != nullptr && slot->phase == Phase::kUnknown;
    if (slot != nullptr && slot->bad_message) {
      Fail(std::string(call) + ": a log message of no known category, without text or status");
    } else if (status != kOk && status != kError) {
      Fail(std::string(call) + " returned status " + std::to_string(status));
    } else if (!either && status != (ok ? kOk : kError)) {
      Fail(std::string(call) +
           (ok ? " refused a call that is allowed" : " accepted a call that must be refused"));
    } else if (status == kError && slot != nullptr && slot->has_logger && slot->logging[2] &&
               slot->errors_logged == errors_before) {
      Fail(std::string(call) + " returned an error without a logged reason");
    }
  }

  static void Logged(Slot* slot, int status, const char* category, const char* message) {
    const bool known = category != nullptr && (std::strcmp(category, "trace") == 0 ||
                                               std::strcmp(category, "diagnostic") == 0 ||
                                               std::strcmp(category, "logStatusError") == 0);
    if (!known || message == nullptr || status < kOk || status > kError) {
      slot->bad_message = true;
    } else if (status == kError) {
      ++slot->errors_logged;
    }
  }
  // --- the calls --------------------------------------------------------------------------------

  void Step(Input& in) {
    const std::size_t op = in.Pick<16>();
    const std::size_t index = in.Pick<kSlots>();
    Slot& slot = slots_[index];
    if (slot.instance == nullptr && op != 0u && op != 15u) {
      Instantiate(in, index, true);
      return;
    }
    switch (op) {
      case 0u:
        Instantiate(in, index, false);
        break;
      case 1u:
        FreeInstance(index);
        break;
      case 2u:
        SetDebugLogging(in, slot);
        break;
      case 3u:
        EnterInitialization(in, slot);
        break;
      case 4u:
        Transition(slot, Name("fmi3ExitInitializationMode", "fmi2ExitInitializationMode"),
                   Phase::kInitialization, Phase::kStepMode);
        break;
      case 5u:
        DoStep(in, slot);
        break;
      case 6u:
        Transition(slot, Name("fmi3Terminate", "fmi2Terminate"), Phase::kStepMode,
                   Phase::kTerminated);
        break;
      case 7u:
        Reset(slot);
        break;
      case 8u:
      case 9u:
        Values(in, slot, op == 9u);
        break;
      case 10u:
        GetState(in, index);
        break;
      case 11u:
        SetState(in, slot);
        break;
      case 12u:
        FreeState(in, slot);
        break;
      case 13u:
        Serialize(in, slot);
        break;
      case 14u:
        Deserialize(in, index);
        break;
      default:
        NullInstance(in);
        break;
    }
  }

  void Instantiate(Input& in, std::size_t index, bool valid) {
    FreeInstance(index);
    Slot& slot = slots_[index];
    const unsigned variant = valid ? 0u : in.Byte() % 8u;
    const bool logging_on = valid || (in.Byte() & 1u) != 0u;
    slot.has_logger = variant != 1u;
    const std::string token =
        variant == 2u ? "{00000000-0000-0000-0000-000000000000}" : fmu_.token();
    const char* const name = variant == 3u ? "" : "fuzz";
    const bool refused = variant == 2u || variant == 3u || variant == 4u;
    if (v3_) {
      slot.instance = Call<fmi3Instance>(
          "fmi3InstantiateCoSimulation", static_cast<fmi3String>(name), token.c_str(),
          static_cast<fmi3String>(nullptr), false, logging_on, variant == 4u, false,
          static_cast<const fmi3ValueReference*>(nullptr), std::size_t{0},
          static_cast<fmi3InstanceEnvironment>(&slot),
          slot.has_logger ? &OnLog3 : static_cast<fmi3LogMessageCallback>(nullptr),
          static_cast<fmi3IntermediateUpdateCallback>(nullptr));
    } else {
      slot.callbacks = {slot.has_logger ? &OnLog2 : nullptr, &std::calloc, &std::free, nullptr,
                        &slot};
      slot.instance =
          Call<fmi2Component>("fmi2Instantiate", static_cast<fmi2String>(name),
                              variant == 4u ? fmi2ModelExchange : fmi2CoSimulation, token.c_str(),
                              static_cast<fmi2String>(nullptr),
                              static_cast<const fmi2CallbackFunctions*>(&slot.callbacks), fmi2False,
                              logging_on ? fmi2True : fmi2False);
    }
    if ((slot.instance == nullptr) != refused) {
      Fail(refused ? "an instantiation that must be refused was accepted"
                   : "a valid instantiation was refused");
    }
    slot.phase = Phase::kInstantiated;
    slot.now_s = 0.0;
    slot.start_s = 0.0;
    slot.logging.fill(logging_on);
    slot.errors_logged = 0;
  }

  void FreeInstance(std::size_t index) {
    Slot& slot = slots_[index];
    if (slot.instance == nullptr) {
      return;
    }
    Call<void>(Name("fmi3FreeInstance", "fmi2FreeInstance"), slot.instance);
    slot.instance = nullptr;
    // Its states went with it.
    for (auto state = states_.begin(); state != states_.end();) {
      if (state->owner == index) {
        Dead(state->pointer);
        state = states_.erase(state);
      } else {
        ++state;
      }
    }
  }

  void SetDebugLogging(Input& in, Slot& slot) {
    const bool on = (in.Byte() & 1u) != 0u;
    const std::size_t count = in.Pick<3>();
    const char* categories[2] = {};
    std::array<bool, 3> chosen{};
    bool known = true;
    for (std::size_t i = 0u; i < count; ++i) {
      const std::size_t category = in.Pick<4>();
      categories[i] = kCategories[category];
      known = known && category < 3u;
      chosen[category < 3u ? category : 0u] = true;
    }
    const int before = slot.errors_logged;
    const int status =
        v3_ ? Status3("fmi3SetDebugLogging", slot.instance, on, count,
                      static_cast<const fmi3String*>(count == 0u ? nullptr : categories))
            : Status2("fmi2SetDebugLogging", slot.instance, on ? fmi2True : fmi2False, count,
                      static_cast<const fmi2String*>(count == 0u ? nullptr : categories));
    Check("SetDebugLogging", status, known, &slot, before);
    for (std::size_t c = 0u; status == kOk && c < chosen.size(); ++c) {
      slot.logging[c] = count == 0u || chosen[c] ? on : slot.logging[c];
    }
  }

  void EnterInitialization(Input& in, Slot& slot) {
    const double start = kTimes[in.Pick<std::size(kTimes)>()];
    const unsigned stop_kind = in.Byte() % 3u;  // none, after the start, before it
    const double stop = stop_kind == 2u ? start - 1.0 : start + 1.0;
    std::int64_t micros = 0;
    const bool start_fine = ClockMicros(start, micros) && (stop_kind != 2u);
    const int before = slot.errors_logged;
    if (v3_) {
      const int status = Status3("fmi3EnterInitializationMode", slot.instance, false, 0.0, start,
                                 stop_kind != 0u, stop);
      const bool ok = slot.phase == Phase::kInstantiated && start_fine;
      Check("fmi3EnterInitializationMode", status, ok, &slot, before);
      if (status == kOk) {
        slot.phase = Phase::kInitialization;
        slot.now_s = start;
      }
      return;
    }
    if ((in.Byte() & 1u) != 0u) {
      const int status = Status2("fmi2SetupExperiment", slot.instance, fmi2False, 0.0, start,
                                 stop_kind != 0u ? fmi2True : fmi2False, stop);
      Check("fmi2SetupExperiment", status, slot.phase == Phase::kInstantiated && start_fine, &slot,
            before);
      if (status == kOk) {
        slot.start_s = start;
        slot.now_s = start;
      }
      return;
    }
    const int status = Status2("fmi2EnterInitializationMode", slot.instance);
    Check("fmi2EnterInitializationMode", status, slot.phase == Phase::kInstantiated, &slot, before);
    if (status == kOk) {
      slot.phase = Phase::kInitialization;
      slot.now_s = slot.start_s;
    }
  }

  void Transition(Slot& slot, const char* function, Phase from, Phase to) {
    const int before = slot.errors_logged;
    const int status = v3_ ? Status3(function, slot.instance) : Status2(function, slot.instance);
    Check(function, status, slot.phase == from, &slot, before);
    if (status == kOk) {
      slot.phase = to;
    }
  }

  void Reset(Slot& slot) {
    const int status =
        v3_ ? Status3("fmi3Reset", slot.instance) : Status2("fmi2Reset", slot.instance);
    Check("Reset", status, true, &slot, slot.errors_logged);
    slot.phase = Phase::kInstantiated;
    slot.now_s = 0.0;
    slot.start_s = 0.0;
  }

  void DoStep(Input& in, Slot& slot) {
    const double step = kSteps[in.Pick<std::size(kSteps)>()];
    const bool on_time = (in.Byte() % 8u) != 0u;
    const double current = on_time ? slot.now_s : slot.now_s + 0.5;
    std::int64_t micros = 0;
    const bool ok = slot.phase == Phase::kStepMode && on_time && std::isfinite(step) &&
                    step >= 0.0 && ClockMicros(current + step, micros);
    const int before = slot.errors_logged;
    const int status = v3_ ? DoStep3(slot, current, step)
                           : Status2("fmi2DoStep", slot.instance, current, step, fmi2False);
    Check("DoStep", status, ok, &slot, before);
    if (status == kOk) {
      slot.now_s = current + step;
    }
  }

  // fmi3DoStep, whose results beside the status must say: no event, no end, no early return.
  int DoStep3(Slot& slot, double current, double step) {
    fmi3Boolean event = true;
    fmi3Boolean terminate = true;
    fmi3Boolean early = true;
    fmi3Float64 last = -1.0;
    const int status = Status3("fmi3DoStep", slot.instance, current, step, false, &event,
                               &terminate, &early, &last);
    if (status == kOk && (event || terminate || early || last != current + step)) {
      Fail("fmi3DoStep: wrong results beside its status");
    }
    return status;
  }

  // --- values -----------------------------------------------------------------------------------

  // Whether vr is a variable of the type a function of type_name handles, and may be set or read
  // now; for FMI 2.0 setters also whether value lies in the variable's range.
  bool Allowed(std::uint32_t vr, const char* type_name, bool get, const Slot& slot,
               long long value) const {
    const auto found = variables_.find(vr);
    if (found == variables_.end() || found->second.type != type_name) {
      return false;
    }
    const fmu_test::VariableInfo& variable = found->second;
    if (get) {
      return slot.phase != Phase::kInstantiated;
    }
    if (!v3_) {
      const long long max = variable.type == "Boolean" ? 1
                            : variable.max.empty()     ? 2147483647
                                                       : std::stoll(variable.max);
      if (value < 0 || value > max) {
        return false;
      }
    }
    if (variable.causality == "input") {
      return slot.phase != Phase::kTerminated;
    }
    return variable.causality == "parameter" &&
           (slot.phase == Phase::kInstantiated || slot.phase == Phase::kInitialization);
  }

  template <typename T>
  static T ValueOf(std::uint32_t word) {
    if constexpr (std::is_same_v<T, bool>) {
      return (word & 1u) != 0u;
    } else if constexpr (std::is_pointer_v<T>) {
      return (word & 1u) != 0u ? nullptr : static_cast<T>("fuzz");
    } else if constexpr (std::is_floating_point_v<T>) {
      return static_cast<T>(word) / static_cast<T>(7);
    } else {
      return static_cast<T>(word);
    }
  }

  template <typename Status, typename T>
  void Typed(Input& in, Slot& slot, const char* type_name, const char* function, bool get) {
    const std::size_t count = in.Pick<4>();
    const unsigned shape = in.Byte() % 8u;  // 0: null arrays, 1: one value too many, else fine
    std::vector<std::uint32_t> vrs(count + 1u);
    std::vector<std::uint32_t> words(count + 1u);
    // FMI 2.0 has no nValues, so one value too many is no fault there.
    bool ok = (count == 0u || shape != 0u) && (shape != 1u || !v3_);
    for (std::size_t i = 0u; i < count; ++i) {
      const std::size_t pick = in.Pick<26>();
      vrs[i] = pick < 25u ? static_cast<std::uint32_t>(pick) : in.Word();
      words[i] = in.Byte() < 200u ? in.Byte() : in.Word();
      long long value = 0;
      if constexpr (std::is_same_v<T, fmi2Integer>) {  // FMI 2.0's Integer and Boolean
        value = static_cast<long long>(ValueOf<T>(words[i]));
      }
      ok = ok && Allowed(vrs[i], type_name, get, slot, value);
    }
    // Not a vector: std::vector<bool> has no data().
    std::unique_ptr<T[]> values(new T[count + 1u]());
    for (std::size_t i = 0u; !get && i <= count; ++i) {
      values[i] = ValueOf<T>(words[i]);
    }
    const std::uint32_t* const vr_array = shape == 0u ? nullptr : vrs.data();
    T* const value_array = shape == 0u ? nullptr : values.get();
    const std::size_t value_count = shape == 1u ? count + 1u : count;
    const int before = slot.errors_logged;
    int status = kOk;
    if (v3_) {
      status =
          get ? Call<Status>(function, slot.instance, vr_array, count, value_array, value_count)
              : Call<Status>(function, slot.instance, vr_array, count,
                             static_cast<const T*>(value_array), value_count);
    } else {
      status = get ? Call<Status>(function, slot.instance, vr_array, count, value_array)
                   : Call<Status>(function, slot.instance, vr_array, count,
                                  static_cast<const T*>(value_array));
    }
    Check(function, status, ok, &slot, before);
  }

  void Values(Input& in, Slot& slot, bool get) {
    if (!v3_) {
      switch (in.Pick<4>()) {
        case 0u:
          return get ? Typed<fmi2Status, fmi2Real>(in, slot, "Real", "fmi2GetReal", true)
                     : Typed<fmi2Status, fmi2Real>(in, slot, "Real", "fmi2SetReal", false);
        case 1u:
          return get ? Typed<fmi2Status, fmi2Integer>(in, slot, "Integer", "fmi2GetInteger", true)
                     : Typed<fmi2Status, fmi2Integer>(in, slot, "Integer", "fmi2SetInteger", false);
        case 2u:
          return get ? Typed<fmi2Status, fmi2Boolean>(in, slot, "Boolean", "fmi2GetBoolean", true)
                     : Typed<fmi2Status, fmi2Boolean>(in, slot, "Boolean", "fmi2SetBoolean", false);
        default:
          return get ? Typed<fmi2Status, fmi2String>(in, slot, "String", "fmi2GetString", true)
                     : Typed<fmi2Status, fmi2String>(in, slot, "String", "fmi2SetString", false);
      }
    }
#define SEATBELT_FUZZ_TYPE(Name, T)                                         \
  return get ? Typed<fmi3Status, T>(in, slot, #Name, "fmi3Get" #Name, true) \
             : Typed<fmi3Status, T>(in, slot, #Name, "fmi3Set" #Name, false)
    switch (in.Pick<14>()) {
      case 0u:
        SEATBELT_FUZZ_TYPE(Float32, fmi3Float32);
      case 1u:
        SEATBELT_FUZZ_TYPE(Float64, fmi3Float64);
      case 2u:
        SEATBELT_FUZZ_TYPE(Int8, fmi3Int8);
      case 3u:
        SEATBELT_FUZZ_TYPE(UInt8, fmi3UInt8);
      case 4u:
        SEATBELT_FUZZ_TYPE(Int16, fmi3Int16);
      case 5u:
        SEATBELT_FUZZ_TYPE(UInt16, fmi3UInt16);
      case 6u:
        SEATBELT_FUZZ_TYPE(Int32, fmi3Int32);
      case 7u:
        SEATBELT_FUZZ_TYPE(UInt32, fmi3UInt32);
      case 8u:
        SEATBELT_FUZZ_TYPE(Int64, fmi3Int64);
      case 9u:
        SEATBELT_FUZZ_TYPE(UInt64, fmi3UInt64);
      case 10u:
        SEATBELT_FUZZ_TYPE(Boolean, fmi3Boolean);
      case 11u:
        SEATBELT_FUZZ_TYPE(String, fmi3String);
      case 12u:
        return Binary(in, slot, get);
      default:
        return Clock(in, slot, get);
    }
#undef SEATBELT_FUZZ_TYPE
  }

  // No variable is Binary: any reference is refused.
  void Binary(Input& in, Slot& slot, bool get) {
    const std::size_t count = in.Pick<3>();
    const fmi3ValueReference vrs[2] = {in.Word() % 30u, in.Byte()};
    std::size_t sizes[2] = {4u, 0u};
    fmi3Binary values[2] = {reinterpret_cast<const fmi3Byte*>("fuzz"), nullptr};
    const int before = slot.errors_logged;
    const int status =
        get ? Status3("fmi3GetBinary", slot.instance, static_cast<const fmi3ValueReference*>(vrs),
                      count, static_cast<std::size_t*>(sizes), static_cast<fmi3Binary*>(values),
                      count)
            : Status3("fmi3SetBinary", slot.instance, static_cast<const fmi3ValueReference*>(vrs),
                      count, static_cast<const std::size_t*>(sizes),
                      static_cast<const fmi3Binary*>(values), count);
    Check(get ? "fmi3GetBinary" : "fmi3SetBinary", status, count == 0u, &slot, before);
  }

  // The FMU has no clocks: always refused.
  void Clock(Input& in, Slot& slot, bool get) {
    const std::size_t count = in.Pick<3>();
    const fmi3ValueReference vrs[2] = {in.Byte(), in.Byte()};
    fmi3Clock values[2] = {true, false};
    const int before = slot.errors_logged;
    const int status =
        get ? Status3("fmi3GetClock", slot.instance, static_cast<const fmi3ValueReference*>(vrs),
                      count, static_cast<fmi3Clock*>(values))
            : Status3("fmi3SetClock", slot.instance, static_cast<const fmi3ValueReference*>(vrs),
                      count, static_cast<const fmi3Clock*>(values));
    Check(get ? "fmi3GetClock" : "fmi3SetClock", status, false, &slot, before);
  }

  // --- FMU states -------------------------------------------------------------------------------

  Taken TakenFrom(const Slot& slot) const {
    return {slot.phase, slot.now_s, slot.start_s};
  }

  void Dead(void* pointer) {
    if (dead_.size() < kMaxStates) {
      dead_.push_back(pointer);
    }
  }
  bool IsLive(const void* pointer) const {
    return std::any_of(states_.begin(), states_.end(),
                       [pointer](const LiveState& state) { return state.pointer == pointer; });
  }

  // A state to pass: a live one (its index in live), or a freed pointer, null or a pointer to
  // something else (live null).
  void* PickState(Input& in, std::size_t& live) {
    live = states_.size();
    const unsigned kind = in.Byte() % 8u;
    const unsigned pick = in.Byte();
    if (kind < 5u && !states_.empty()) {
      live = pick % states_.size();
      return states_[live].pointer;
    }
    if (kind == 5u) {
      const auto dead = std::find_if(dead_.begin(), dead_.end(),
                                     [this](const void* pointer) { return !IsLive(pointer); });
      if (dead != dead_.end()) {
        return *dead;
      }
    }
    return kind == 6u ? static_cast<void*>(&not_a_state_) : nullptr;
  }

  int GetStateInto(void* instance, void*& state) {
    const char* const function = Name("fmi3GetFMUState", "fmi2GetFMUstate");
    return v3_ ? Status3(function, instance, &state) : Status2(function, instance, &state);
  }

  void GetState(Input& in, std::size_t index) {
    Slot& slot = slots_[index];
    const bool asked = (in.Byte() & 1u) != 0u;
    const unsigned pick = in.Byte();
    const bool reuse = !states_.empty() && (asked || states_.size() >= kMaxStates);
    const std::size_t live = reuse ? pick % states_.size() : 0u;
    void* state = reuse ? states_[live].pointer : nullptr;
    const int status = GetStateInto(slot.instance, state);
    Check("GetFMUState", status, true, &slot, slot.errors_logged);
    if (status != kOk) {
      return;
    }
    if (reuse) {
      if (state != states_[live].pointer) {
        Fail("GetFMUState gave another pointer for a state it was asked to overwrite");
      }
      states_[live].taken = TakenFrom(slot);
    } else {
      states_.push_back({state, TakenFrom(slot), index});
    }
  }

  int SerializeInto(void* instance, void* state, std::vector<std::uint8_t>& bytes,
                    std::size_t shortfall = 0u) {
    std::size_t size = 0u;
    const char* const size_function =
        Name("fmi3SerializedFMUStateSize", "fmi2SerializedFMUstateSize");
    const int status = v3_ ? Status3(size_function, instance, state, &size)
                           : Status2(size_function, instance, state, &size);
    if (status != kOk) {
      return status;
    }
    bytes.assign(size - std::min(size, shortfall), 0u);
    if (v3_) {
      return Status3("fmi3SerializeFMUState", instance, state, static_cast<fmi3Byte*>(bytes.data()),
                     bytes.size());
    }
    return Status2("fmi2SerializeFMUstate", instance, state,
                   reinterpret_cast<fmi2Byte*>(bytes.data()), bytes.size());
  }

  void SetState(Input& in, Slot& slot) {
    std::size_t live = 0u;
    void* const state = PickState(in, live);
    const int before = slot.errors_logged;
    const int status = v3_ ? Status3("fmi3SetFMUState", slot.instance, state)
                           : Status2("fmi2SetFMUstate", slot.instance, state);
    const bool ok = live < states_.size();
    Check("SetFMUState", status, ok, &slot, before);
    if (status != kOk || !ok) {
      return;
    }
    const Taken taken = states_[live].taken;
    slot.phase = taken.phase;
    slot.now_s = taken.now_s;
    slot.start_s = taken.start_s;
    // What was set is what a get gives back, byte for byte.
    void* again = nullptr;
    std::vector<std::uint8_t> set_bytes;
    std::vector<std::uint8_t> got_bytes;
    const bool round_trip = GetStateInto(slot.instance, again) == kOk &&
                            SerializeInto(slot.instance, state, set_bytes) == kOk &&
                            SerializeInto(slot.instance, again, got_bytes) == kOk;
    if (!round_trip || set_bytes != got_bytes) {
      Fail("the state got after SetFMUState differs from the state set");
    }
    FreeStatePointer(slot.instance, again);
  }

  int FreeStatePointer(void* instance, void*& state) {
    const char* const function = Name("fmi3FreeFMUState", "fmi2FreeFMUstate");
    return v3_ ? Status3(function, instance, &state) : Status2(function, instance, &state);
  }

  void FreeState(Input& in, Slot& slot) {
    std::size_t live = 0u;
    void* state = PickState(in, live);
    const bool no_pointer = (in.Byte() & 1u) != 0u;
    const int before = slot.errors_logged;
    const char* const function = Name("fmi3FreeFMUState", "fmi2FreeFMUstate");
    // Also with no pointer to a state at all.
    const int status = state != nullptr || !no_pointer ? FreeStatePointer(slot.instance, state)
                       : v3_
                           ? Status3(function, slot.instance, static_cast<fmi3FMUState*>(nullptr))
                           : Status2(function, slot.instance, static_cast<fmi2FMUstate*>(nullptr));
    const bool ok = live < states_.size() || state == nullptr;
    Check("FreeFMUState", status, ok, &slot, before);
    if (status == kOk && live < states_.size()) {
      if (state != nullptr) {
        Fail("FreeFMUState left the pointer set");
      }
      Dead(states_[live].pointer);
      states_.erase(states_.begin() + static_cast<std::ptrdiff_t>(live));
    }
  }

  void Serialize(Input& in, Slot& slot) {
    std::size_t live = 0u;
    void* const state = PickState(in, live);
    const std::size_t shortfall = (in.Byte() % 8u) == 0u ? 1u + in.Byte() % 4u : 0u;
    Serialized serialized;
    const int before = slot.errors_logged;
    const int status = SerializeInto(slot.instance, state, serialized.bytes, shortfall);
    Check("SerializeFMUState", status, live < states_.size() && shortfall == 0u, &slot, before);
    if (status == kOk && live < states_.size()) {
      serialized.taken = states_[live].taken;
      if (buffers_.size() >= kMaxBuffers) {
        buffers_.erase(buffers_.begin());
      }
      buffers_.push_back(std::move(serialized));
    }
  }

  void Deserialize(Input& in, std::size_t index) {
    Slot& slot = slots_[index];
    const unsigned chosen = in.Byte() % 4u;
    const unsigned pick = in.Byte();
    const unsigned kind = buffers_.empty() ? 3u : chosen;
    // Bytes from the input are most likely no state at all; a serialized state is taken as it is,
    // with one byte changed or cut short.
    const bool either = kind == 3u;
    const bool ok = kind == 0u;
    std::vector<std::uint8_t> bytes;
    Taken taken;
    if (either) {
      in.Take(std::size_t{pick} * 2u, bytes);
    } else {
      const Serialized& from = buffers_[pick % buffers_.size()];
      bytes = from.bytes;
      taken = from.taken;
    }
    if (kind == 1u && !bytes.empty()) {
      const std::size_t at = in.Word() % bytes.size();
      bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1u + in.Byte() % 255u));
    } else if (kind == 2u && !bytes.empty()) {
      bytes.resize(in.Word() % bytes.size());
    }
    if (states_.size() >= kMaxStates) {
      void* oldest = states_.front().pointer;
      Check("FreeFMUState", FreeStatePointer(slot.instance, oldest), true, &slot,
            slot.errors_logged);
      Dead(states_.front().pointer);
      states_.erase(states_.begin());
    }
    void* state = nullptr;
    const int before = slot.errors_logged;
    const int status =
        v3_ ? Status3("fmi3DeserializeFMUState", slot.instance,
                      static_cast<const fmi3Byte*>(bytes.data()), bytes.size(), &state)
            : Status2("fmi2DeSerializeFMUstate", slot.instance,
                      reinterpret_cast<const fmi2Byte*>(bytes.data()), bytes.size(), &state);
    if (!either) {
      Check("DeserializeFMUState", status, ok, &slot, before);
    } else {
      Check("DeserializeFMUState", status, status == kOk, &slot, before);
    }
    if (status == kOk) {
      if (state == nullptr || IsLive(state)) {
        Fail("DeserializeFMUState gave no new state");
        return;
      }
      states_.push_back({state, taken, index});
    } else if (state != nullptr) {
      Fail("DeserializeFMUState gave a state with an error");
    }
  }

  // Calls with a null instance: refused, never used.
  void NullInstance(Input& in) {
    void* const none = nullptr;
    int status = kOk;
    switch (in.Pick<4>()) {
      case 0u:
        status =
            v3_ ? Status3("fmi3DoStep", none, 0.0, 0.01, false, static_cast<fmi3Boolean*>(nullptr),
                          static_cast<fmi3Boolean*>(nullptr), static_cast<fmi3Boolean*>(nullptr),
                          static_cast<fmi3Float64*>(nullptr))
                : Status2("fmi2DoStep", none, 0.0, 0.01, fmi2False);
        break;
      case 1u: {
        void* state = nullptr;
        status = GetStateInto(none, state);
        break;
      }
      case 2u: {
        std::size_t live = 0u;
        void* const state = PickState(in, live);
        status =
            v3_ ? Status3("fmi3SetFMUState", none, state) : Status2("fmi2SetFMUstate", none, state);
        break;
      }
      default:
        Call<void>(Name("fmi3FreeInstance", "fmi2FreeInstance"), none);
        status = kError;
        break;
    }
    Check("a call with a null instance", status, false, nullptr, 0);
  }

  static void OnLog3(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category,
                     fmi3String message) {
    Logged(static_cast<Slot*>(environment), status, category, message);
  }
  FMU_PRINTF_FORMAT(5, 6)
  // NOLINTNEXTLINE(cert-dcl50-cpp): the logger type of FMI 2.0 is printf-style
  static void OnLog2(fmi2ComponentEnvironment environment, fmi2String /*instance*/,
                     fmi2Status status, fmi2String category, fmi2String message, ...) {
    if (message != nullptr) {  // formatted as an importer would, to catch a bad format
      char text[512];
      std::va_list args;
      va_start(args, message);
      (void)std::vsnprintf(text, sizeof text, message, args);
      va_end(args);
    }
    Logged(static_cast<Slot*>(environment), status, category, message);
  }

  fmu_test::Fmu fmu_;
  bool v3_;
  std::map<std::uint32_t, fmu_test::VariableInfo> variables_;
  std::array<Slot, kSlots> slots_{};
  std::vector<LiveState> states_;
  std::vector<Serialized> buffers_;
  std::vector<void*> dead_;
  int not_a_state_ = 0;
  std::string failure_;
};

ApiDriver::ApiDriver(int version, const std::string& dir)
    : impl_(std::make_unique<Impl>(version, dir)) {}
ApiDriver::~ApiDriver() = default;

std::string ApiDriver::Run(const std::uint8_t* data, std::size_t size) {
  return impl_->Run(data, size);
}

}  // namespace fmu_fuzz
