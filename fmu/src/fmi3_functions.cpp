// The FMI 3.0 functions of the SeatbeltReminder FMU (Co-Simulation only). Every function of the
// standard is exported, as the standard requires; those for interface types and capabilities
// the FMU does not have log why and return fmi3Error.
#include <exception>
#include <new>
#include <string>

#include "fmi3_types.h"
#include "fmi_export.h"
#include "fmu_state.h"
#include "model.h"

namespace seatbelt_fmu {
namespace {

constexpr const char* kToken = SEATBELT_FMU_TOKEN;
constexpr StateFormat kStateFormat = {3u, kToken};

void LogToImporter(void* context, Status status, const char* category, const char* message);

struct Fmi3Instance {
  Fmi3Instance(const char* name, fmi3InstanceEnvironment environment_in,
               fmi3LogMessageCallback log_message_in, bool logging_on)
      : environment(environment_in),
        log_message(log_message_in),
        model(name, std::string(name) + ": ", true,
              log_message_in != nullptr ? &LogToImporter : nullptr, this, logging_on) {}

  fmi3InstanceEnvironment environment;
  fmi3LogMessageCallback log_message;
  Model model;
};

void LogToImporter(void* context, Status status, const char* category, const char* message) {
  const auto* instance = static_cast<const Fmi3Instance*>(context);
  instance->log_message(instance->environment, static_cast<fmi3Status>(status), category, message);
}

fmi3Status ToFmi3(Status status) {
  return static_cast<fmi3Status>(status);
}

Model* ModelOf(fmi3Instance instance) {
  return instance == nullptr ? nullptr : &static_cast<Fmi3Instance*>(instance)->model;
}

// Logs before an instance exists, where the importer asked for logging.
void LogInstantiationError(fmi3InstanceEnvironment environment, fmi3LogMessageCallback log,
                           bool logging_on, const std::string& message) {
  if (logging_on && log != nullptr) {
    log(environment, fmi3Error, LogCategoryName(LogCategory::kStatusError), message.c_str());
  }
}

bool IsBlank(const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') {
      return false;
    }
  }
  return true;
}

fmi3Status Unsupported(fmi3Instance instance, const char* function, const char* why) {
  Model* const model = ModelOf(instance);
  if (model != nullptr) {
    (void)model->Error(function, "%s", why);
  }
  return fmi3Error;
}

constexpr const char* kNoClocks = "the FMU has no clocks";
constexpr const char* kNoModelExchange = "the FMU supports Co-Simulation only";
constexpr const char* kNoEventMode = "the FMU has no event mode";
constexpr const char* kNoDerivatives = "the FMU provides no derivatives";

// Value conversions between the FMI types and the model's uint32 values.
template <typename T>
uint32 FromFmi(T value) {
  return static_cast<uint32>(value);
}
template <>
uint32 FromFmi<bool>(bool value) {
  return value ? 1u : 0u;
}
template <typename T>
T ToFmi(uint32 value) {
  return static_cast<T>(value);
}
template <>
bool ToFmi<bool>(uint32 value) {
  return value != 0u;
}

// Checks every reference before storing any value, so a bad call changes nothing.
template <typename T>
fmi3Status SetValues(fmi3Instance instance, const char* function, TypeSet types,
                     const fmi3ValueReference vrs[], size_t count, const T values[],
                     size_t value_count) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  Status status = Model::ArraysFine(vrs, count, values, value_count)
                      ? Status::kOk
                      : model->CheckArrays(function, vrs, count, values, value_count);
  for (size_t i = 0u; i < count && status == Status::kOk; ++i) {
    if (!model->CanSet(vrs[i], types)) {
      status = model->CheckSet(function, vrs[i], types);
    }
  }
  if (status != Status::kOk) {
    return ToFmi3(status);
  }
  for (size_t i = 0u; i < count; ++i) {
    model->Set(vrs[i], FromFmi(values[i]));
  }
  return fmi3OK;
}

template <typename T>
fmi3Status GetValues(fmi3Instance instance, const char* function, TypeSet types,
                     const fmi3ValueReference vrs[], size_t count, T values[], size_t value_count) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  Status status = Model::ArraysFine(vrs, count, values, value_count)
                      ? Status::kOk
                      : model->CheckArrays(function, vrs, count, values, value_count);
  for (size_t i = 0u; i < count && status == Status::kOk; ++i) {
    if (!model->CanGet(vrs[i], types)) {
      status = model->CheckGet(function, vrs[i], types);
    }
    if (status == Status::kOk) {
      values[i] = ToFmi<T>(model->Get(vrs[i]));
    }
  }
  return ToFmi3(status);
}

// For the types no variable has: every reference is refused with the reason.
fmi3Status NoSuchValues(fmi3Instance instance, const char* function, const fmi3ValueReference vrs[],
                        size_t count, const void* values, size_t value_count, bool get) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  Status status = model->CheckArrays(function, vrs, count, values, value_count);
  for (size_t i = 0u; i < count && status == Status::kOk; ++i) {
    status = get ? model->CheckGet(function, vrs[i], 0u) : model->CheckSet(function, vrs[i], 0u);
  }
  return ToFmi3(status);
}

constexpr TypeSet kNone = 0u;
constexpr TypeSet kFloat64 = TypeBit(Type::kFloat64);
constexpr TypeSet kBoolean = TypeBit(Type::kBoolean);
constexpr TypeSet kUInt8 = TypeBit(Type::kUInt8);
constexpr TypeSet kUInt16 = TypeBit(Type::kUInt16);
constexpr TypeSet kUInt32 = TypeBit(Type::kUInt32);

}  // namespace
}  // namespace seatbelt_fmu

using seatbelt_fmu::Fmi3Instance;
using seatbelt_fmu::Model;
using seatbelt_fmu::ModelOf;
using seatbelt_fmu::Status;
using seatbelt_fmu::ToFmi3;
using seatbelt_fmu::Unsupported;

// --- inquiry, instantiation, logging ------------------------------------------------------------

FMU_EXPORT const char* fmi3GetVersion(void) {
  return "3.0";
}

FMU_EXPORT fmi3Status fmi3SetDebugLogging(fmi3Instance instance, fmi3Boolean loggingOn,
                                          size_t nCategories, const fmi3String categories[]) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  return ToFmi3(model->SetDebugLogging("fmi3SetDebugLogging", loggingOn, nCategories, categories));
}

FMU_EXPORT fmi3Instance fmi3InstantiateCoSimulation(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String /*resourcePath*/,
    fmi3Boolean /*visible*/, fmi3Boolean loggingOn, fmi3Boolean eventModeUsed,
    fmi3Boolean /*earlyReturnAllowed*/,
    const fmi3ValueReference /*requiredIntermediateVariables*/[],
    size_t nRequiredIntermediateVariables, fmi3InstanceEnvironment instanceEnvironment,
    fmi3LogMessageCallback logMessage, fmi3IntermediateUpdateCallback /*intermediateUpdate*/) {
  const std::string where = "fmi3InstantiateCoSimulation: ";
  const auto refuse = [&](const std::string& why) -> fmi3Instance {
    seatbelt_fmu::LogInstantiationError(instanceEnvironment, logMessage, loggingOn, where + why);
    return nullptr;
  };
  if (instanceName == nullptr || seatbelt_fmu::IsBlank(instanceName)) {
    return refuse("the instance name is empty");
  }
  if (instantiationToken == nullptr || std::string(instantiationToken) != seatbelt_fmu::kToken) {
    return refuse(std::string("instantiation token does not match this binary's ") +
                  seatbelt_fmu::kToken);
  }
  if (eventModeUsed) {
    return refuse(seatbelt_fmu::kNoEventMode);
  }
  if (nRequiredIntermediateVariables > 0u) {
    return refuse("the FMU provides no intermediate update");
  }
  std::string why;
  if (!seatbelt_fmu::ChainRegionUsable(why)) {
    return refuse(why);
  }
  try {
    return new Fmi3Instance(instanceName, instanceEnvironment, logMessage, loggingOn);
  } catch (const std::exception& error) {
    return refuse(error.what());
  }
}

FMU_EXPORT fmi3Instance fmi3InstantiateModelExchange(fmi3String /*instanceName*/,
                                                     fmi3String /*instantiationToken*/,
                                                     fmi3String /*resourcePath*/,
                                                     fmi3Boolean /*visible*/, fmi3Boolean loggingOn,
                                                     fmi3InstanceEnvironment instanceEnvironment,
                                                     fmi3LogMessageCallback logMessage) {
  seatbelt_fmu::LogInstantiationError(
      instanceEnvironment, logMessage, loggingOn,
      std::string("fmi3InstantiateModelExchange: ") + seatbelt_fmu::kNoModelExchange);
  return nullptr;
}

FMU_EXPORT fmi3Instance fmi3InstantiateScheduledExecution(
    fmi3String /*instanceName*/, fmi3String /*instantiationToken*/, fmi3String /*resourcePath*/,
    fmi3Boolean /*visible*/, fmi3Boolean loggingOn, fmi3InstanceEnvironment instanceEnvironment,
    fmi3LogMessageCallback logMessage, fmi3ClockUpdateCallback /*clockUpdate*/,
    fmi3LockPreemptionCallback /*lockPreemption*/,
    fmi3UnlockPreemptionCallback /*unlockPreemption*/) {
  seatbelt_fmu::LogInstantiationError(
      instanceEnvironment, logMessage, loggingOn,
      std::string("fmi3InstantiateScheduledExecution: ") + seatbelt_fmu::kNoModelExchange);
  return nullptr;
}

FMU_EXPORT void fmi3FreeInstance(fmi3Instance instance) {
  if (instance != nullptr) {
    seatbelt_fmu::FreeFmuStatesOf(static_cast<Fmi3Instance*>(instance)->model);
  }
  delete static_cast<Fmi3Instance*>(instance);
}

// --- life cycle -------------------------------------------------------------------------------

FMU_EXPORT fmi3Status fmi3EnterInitializationMode(fmi3Instance instance,
                                                  fmi3Boolean /*toleranceDefined*/,
                                                  fmi3Float64 /*tolerance*/, fmi3Float64 startTime,
                                                  fmi3Boolean stopTimeDefined,
                                                  fmi3Float64 stopTime) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  const char* const function = "fmi3EnterInitializationMode";
  if (stopTimeDefined && !(stopTime >= startTime)) {
    return ToFmi3(
        model->Error(function, "stop time %g s is before start time %g s", stopTime, startTime));
  }
  const Status status = model->SetStartTime(function, startTime);
  return ToFmi3(status != Status::kOk ? status : model->EnterInitialization(function));
}

FMU_EXPORT fmi3Status fmi3ExitInitializationMode(fmi3Instance instance) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  try {
    return ToFmi3(model->ExitInitialization("fmi3ExitInitializationMode"));
  } catch (const std::exception& error) {
    model->LogError(Status::kFatal, std::string("fmi3ExitInitializationMode: ") + error.what());
    return fmi3Fatal;
  }
}

FMU_EXPORT fmi3Status fmi3EnterEventMode(fmi3Instance instance) {
  return Unsupported(instance, "fmi3EnterEventMode", seatbelt_fmu::kNoEventMode);
}

FMU_EXPORT fmi3Status fmi3Terminate(fmi3Instance instance) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error : ToFmi3(model->Terminate("fmi3Terminate"));
}

FMU_EXPORT fmi3Status fmi3Reset(fmi3Instance instance) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  model->Reset();
  return fmi3OK;
}

// --- getting and setting values ---------------------------------------------------------------

// One getter and one setter per FMI type; types is the set of variable types each accepts.
#define SEATBELT_FMI3_GET_SET(Name, T, types)                                                      \
  FMU_EXPORT fmi3Status fmi3Get##Name(fmi3Instance instance,                                       \
                                      const fmi3ValueReference valueReferences[],                  \
                                      size_t nValueReferences, T values[], size_t nValues) {       \
    return seatbelt_fmu::GetValues(instance, "fmi3Get" #Name, types, valueReferences,              \
                                   nValueReferences, values, nValues);                             \
  }                                                                                                \
  FMU_EXPORT fmi3Status fmi3Set##Name(fmi3Instance instance,                                       \
                                      const fmi3ValueReference valueReferences[],                  \
                                      size_t nValueReferences, const T values[], size_t nValues) { \
    return seatbelt_fmu::SetValues(instance, "fmi3Set" #Name, types, valueReferences,              \
                                   nValueReferences, values, nValues);                             \
  }

SEATBELT_FMI3_GET_SET(Float32, fmi3Float32, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(Int8, fmi3Int8, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(UInt8, fmi3UInt8, seatbelt_fmu::kUInt8)
SEATBELT_FMI3_GET_SET(Int16, fmi3Int16, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(UInt16, fmi3UInt16, seatbelt_fmu::kUInt16)
SEATBELT_FMI3_GET_SET(Int32, fmi3Int32, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(UInt32, fmi3UInt32, seatbelt_fmu::kUInt32)
SEATBELT_FMI3_GET_SET(Int64, fmi3Int64, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(UInt64, fmi3UInt64, seatbelt_fmu::kNone)
SEATBELT_FMI3_GET_SET(Boolean, fmi3Boolean, seatbelt_fmu::kBoolean)

#undef SEATBELT_FMI3_GET_SET

// time is the one Float64 variable: it can be read, and like every independent variable never
// set.
FMU_EXPORT fmi3Status fmi3GetFloat64(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, fmi3Float64 values[],
                                     size_t nValues) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  const char* const function = "fmi3GetFloat64";
  Status status = model->CheckArrays(function, valueReferences, nValueReferences, values, nValues);
  for (size_t i = 0u; i < nValueReferences && status == Status::kOk; ++i) {
    status = model->CheckGet(function, valueReferences[i], seatbelt_fmu::kFloat64);
    if (status == Status::kOk) {
      values[i] = model->TimeSeconds();
    }
  }
  return ToFmi3(status);
}

FMU_EXPORT fmi3Status fmi3SetFloat64(fmi3Instance instance,
                                     const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const fmi3Float64 values[],
                                     size_t nValues) {
  return seatbelt_fmu::SetValues(instance, "fmi3SetFloat64", seatbelt_fmu::kFloat64,
                                 valueReferences, nValueReferences, values, nValues);
}

FMU_EXPORT fmi3Status fmi3GetString(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3String values[], size_t nValues) {
  return seatbelt_fmu::NoSuchValues(instance, "fmi3GetString", valueReferences, nValueReferences,
                                    values, nValues, true);
}

FMU_EXPORT fmi3Status fmi3SetString(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3String values[],
                                    size_t nValues) {
  return seatbelt_fmu::NoSuchValues(instance, "fmi3SetString", valueReferences, nValueReferences,
                                    values, nValues, false);
}

FMU_EXPORT fmi3Status fmi3GetBinary(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, size_t /*valueSizes*/[],
                                    fmi3Binary values[], size_t nValues) {
  return seatbelt_fmu::NoSuchValues(instance, "fmi3GetBinary", valueReferences, nValueReferences,
                                    values, nValues, true);
}

FMU_EXPORT fmi3Status fmi3SetBinary(fmi3Instance instance,
                                    const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const size_t /*valueSizes*/[],
                                    const fmi3Binary values[], size_t nValues) {
  return seatbelt_fmu::NoSuchValues(instance, "fmi3SetBinary", valueReferences, nValueReferences,
                                    values, nValues, false);
}

FMU_EXPORT fmi3Status fmi3GetClock(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                   fmi3Clock[]) {
  return Unsupported(instance, "fmi3GetClock", seatbelt_fmu::kNoClocks);
}

FMU_EXPORT fmi3Status fmi3SetClock(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                   const fmi3Clock[]) {
  return Unsupported(instance, "fmi3SetClock", seatbelt_fmu::kNoClocks);
}

// --- variable dependencies --------------------------------------------------------------------

// Outputs change only in a step, so none depends directly on an input: each has no
// dependencies, as the model description's ModelStructure says.
FMU_EXPORT fmi3Status fmi3GetNumberOfVariableDependencies(fmi3Instance instance,
                                                          fmi3ValueReference valueReference,
                                                          size_t* nDependencies) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  const char* const function = "fmi3GetNumberOfVariableDependencies";
  if (valueReference >= seatbelt_fmu::kVariableCount ||
      seatbelt_fmu::kVariables[valueReference].causality != seatbelt_fmu::Causality::kOutput) {
    return ToFmi3(model->Error(function, "value reference %u is not an output", valueReference));
  }
  if (nDependencies == nullptr) {
    return ToFmi3(model->Error(function, "nDependencies is null"));
  }
  *nDependencies = 0u;
  return fmi3OK;
}

FMU_EXPORT fmi3Status fmi3GetVariableDependencies(fmi3Instance instance,
                                                  fmi3ValueReference dependent, size_t[],
                                                  fmi3ValueReference[], size_t[],
                                                  fmi3DependencyKind[], size_t nDependencies) {
  size_t count = 0u;
  const fmi3Status status = fmi3GetNumberOfVariableDependencies(instance, dependent, &count);
  if (status != fmi3OK || nDependencies == count) {
    return status;
  }
  return ToFmi3(ModelOf(instance)->Error("fmi3GetVariableDependencies",
                                         "%zu dependencies asked for, the output has none",
                                         nDependencies));
}

// --- FMU state ------------------------------------------------------------------------------

FMU_EXPORT fmi3Status fmi3GetFMUState(fmi3Instance instance, fmi3FMUState* FMUState) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error
                          : ToFmi3(seatbelt_fmu::GetFmuState(*model, "fmi3GetFMUState", FMUState));
}

FMU_EXPORT fmi3Status fmi3SetFMUState(fmi3Instance instance, fmi3FMUState FMUState) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error
                          : ToFmi3(seatbelt_fmu::SetFmuState(*model, "fmi3SetFMUState", FMUState));
}

FMU_EXPORT fmi3Status fmi3FreeFMUState(fmi3Instance instance, fmi3FMUState* FMUState) {
  Model* const model = ModelOf(instance);
  return model == nullptr
             ? fmi3Error
             : ToFmi3(seatbelt_fmu::FreeFmuState(*model, "fmi3FreeFMUState", FMUState));
}

FMU_EXPORT fmi3Status fmi3SerializedFMUStateSize(fmi3Instance instance, fmi3FMUState FMUState,
                                                 size_t* size) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error
                          : ToFmi3(seatbelt_fmu::SerializedFmuStateSize(
                                *model, "fmi3SerializedFMUStateSize", seatbelt_fmu::kStateFormat,
                                FMUState, size));
}

FMU_EXPORT fmi3Status fmi3SerializeFMUState(fmi3Instance instance, fmi3FMUState FMUState,
                                            fmi3Byte serializedState[], size_t size) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error
                          : ToFmi3(seatbelt_fmu::SerializeFmuState(
                                *model, "fmi3SerializeFMUState", seatbelt_fmu::kStateFormat,
                                FMUState, serializedState, size));
}

FMU_EXPORT fmi3Status fmi3DeserializeFMUState(fmi3Instance instance,
                                              const fmi3Byte serializedState[], size_t size,
                                              fmi3FMUState* FMUState) {
  Model* const model = ModelOf(instance);
  return model == nullptr ? fmi3Error
                          : ToFmi3(seatbelt_fmu::DeserializeFmuState(
                                *model, "fmi3DeserializeFMUState", seatbelt_fmu::kStateFormat,
                                serializedState, size, FMUState));
}

// --- derivatives: not provided ------------------------------------------------------------------

FMU_EXPORT fmi3Status fmi3GetDirectionalDerivative(fmi3Instance instance,
                                                   const fmi3ValueReference[], size_t,
                                                   const fmi3ValueReference[], size_t,
                                                   const fmi3Float64[], size_t, fmi3Float64[],
                                                   size_t) {
  return Unsupported(instance, "fmi3GetDirectionalDerivative", seatbelt_fmu::kNoDerivatives);
}
FMU_EXPORT fmi3Status fmi3GetAdjointDerivative(fmi3Instance instance, const fmi3ValueReference[],
                                               size_t, const fmi3ValueReference[], size_t,
                                               const fmi3Float64[], size_t, fmi3Float64[], size_t) {
  return Unsupported(instance, "fmi3GetAdjointDerivative", seatbelt_fmu::kNoDerivatives);
}
FMU_EXPORT fmi3Status fmi3GetOutputDerivatives(fmi3Instance instance, const fmi3ValueReference[],
                                               size_t, const fmi3Int32[], fmi3Float64[], size_t) {
  return Unsupported(instance, "fmi3GetOutputDerivatives", seatbelt_fmu::kNoDerivatives);
}

// --- configuration mode, clocks and discrete states: not provided ------------------------------

FMU_EXPORT fmi3Status fmi3EnterConfigurationMode(fmi3Instance instance) {
  return Unsupported(instance, "fmi3EnterConfigurationMode",
                     "the FMU has no structural parameters");
}
FMU_EXPORT fmi3Status fmi3ExitConfigurationMode(fmi3Instance instance) {
  return Unsupported(instance, "fmi3ExitConfigurationMode", "the FMU has no structural parameters");
}
FMU_EXPORT fmi3Status fmi3GetIntervalDecimal(fmi3Instance instance, const fmi3ValueReference[],
                                             size_t, fmi3Float64[], fmi3IntervalQualifier[]) {
  return Unsupported(instance, "fmi3GetIntervalDecimal", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3GetIntervalFraction(fmi3Instance instance, const fmi3ValueReference[],
                                              size_t, fmi3UInt64[], fmi3UInt64[],
                                              fmi3IntervalQualifier[]) {
  return Unsupported(instance, "fmi3GetIntervalFraction", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3GetShiftDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                          fmi3Float64[]) {
  return Unsupported(instance, "fmi3GetShiftDecimal", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3GetShiftFraction(fmi3Instance instance, const fmi3ValueReference[],
                                           size_t, fmi3UInt64[], fmi3UInt64[]) {
  return Unsupported(instance, "fmi3GetShiftFraction", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3SetIntervalDecimal(fmi3Instance instance, const fmi3ValueReference[],
                                             size_t, const fmi3Float64[]) {
  return Unsupported(instance, "fmi3SetIntervalDecimal", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3SetIntervalFraction(fmi3Instance instance, const fmi3ValueReference[],
                                              size_t, const fmi3UInt64[], const fmi3UInt64[]) {
  return Unsupported(instance, "fmi3SetIntervalFraction", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3SetShiftDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                          const fmi3Float64[]) {
  return Unsupported(instance, "fmi3SetShiftDecimal", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3SetShiftFraction(fmi3Instance instance, const fmi3ValueReference[],
                                           size_t, const fmi3UInt64[], const fmi3UInt64[]) {
  return Unsupported(instance, "fmi3SetShiftFraction", seatbelt_fmu::kNoClocks);
}
FMU_EXPORT fmi3Status fmi3EvaluateDiscreteStates(fmi3Instance instance) {
  return Unsupported(instance, "fmi3EvaluateDiscreteStates", seatbelt_fmu::kNoEventMode);
}
FMU_EXPORT fmi3Status fmi3UpdateDiscreteStates(fmi3Instance instance, fmi3Boolean*, fmi3Boolean*,
                                               fmi3Boolean*, fmi3Boolean*, fmi3Boolean*,
                                               fmi3Float64*) {
  return Unsupported(instance, "fmi3UpdateDiscreteStates", seatbelt_fmu::kNoEventMode);
}

// --- Model Exchange: not provided ---------------------------------------------------------------

FMU_EXPORT fmi3Status fmi3EnterContinuousTimeMode(fmi3Instance instance) {
  return Unsupported(instance, "fmi3EnterContinuousTimeMode", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3CompletedIntegratorStep(fmi3Instance instance, fmi3Boolean, fmi3Boolean*,
                                                  fmi3Boolean*) {
  return Unsupported(instance, "fmi3CompletedIntegratorStep", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3SetTime(fmi3Instance instance, fmi3Float64) {
  return Unsupported(instance, "fmi3SetTime", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3SetContinuousStates(fmi3Instance instance, const fmi3Float64[], size_t) {
  return Unsupported(instance, "fmi3SetContinuousStates", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetContinuousStateDerivatives(fmi3Instance instance, fmi3Float64[],
                                                        size_t) {
  return Unsupported(instance, "fmi3GetContinuousStateDerivatives", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetEventIndicators(fmi3Instance instance, fmi3Float64[], size_t) {
  return Unsupported(instance, "fmi3GetEventIndicators", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetContinuousStates(fmi3Instance instance, fmi3Float64[], size_t) {
  return Unsupported(instance, "fmi3GetContinuousStates", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetNominalsOfContinuousStates(fmi3Instance instance, fmi3Float64[],
                                                        size_t) {
  return Unsupported(instance, "fmi3GetNominalsOfContinuousStates", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetNumberOfEventIndicators(fmi3Instance instance, size_t*) {
  return Unsupported(instance, "fmi3GetNumberOfEventIndicators", seatbelt_fmu::kNoModelExchange);
}
FMU_EXPORT fmi3Status fmi3GetNumberOfContinuousStates(fmi3Instance instance, size_t*) {
  return Unsupported(instance, "fmi3GetNumberOfContinuousStates", seatbelt_fmu::kNoModelExchange);
}

// --- Co-Simulation ------------------------------------------------------------------------------

FMU_EXPORT fmi3Status fmi3EnterStepMode(fmi3Instance instance) {
  return Unsupported(instance, "fmi3EnterStepMode", seatbelt_fmu::kNoEventMode);
}

FMU_EXPORT fmi3Status fmi3DoStep(fmi3Instance instance, fmi3Float64 currentCommunicationPoint,
                                 fmi3Float64 communicationStepSize,
                                 fmi3Boolean /*noSetFMUStatePriorToCurrentPoint*/,
                                 fmi3Boolean* eventHandlingNeeded, fmi3Boolean* terminateSimulation,
                                 fmi3Boolean* earlyReturn, fmi3Float64* lastSuccessfulTime) {
  Model* const model = ModelOf(instance);
  if (model == nullptr) {
    return fmi3Error;
  }
  Status status = Status::kOk;
  try {
    status = model->DoStep("fmi3DoStep", currentCommunicationPoint, communicationStepSize);
  } catch (const std::exception& error) {
    model->LogError(Status::kFatal, std::string("fmi3DoStep: ") + error.what());
    return fmi3Fatal;
  }
  if (eventHandlingNeeded != nullptr) {
    *eventHandlingNeeded = false;
  }
  if (terminateSimulation != nullptr) {
    *terminateSimulation = false;
  }
  if (earlyReturn != nullptr) {
    *earlyReturn = false;
  }
  if (lastSuccessfulTime != nullptr) {
    *lastSuccessfulTime = model->TimeSeconds();
  }
  return ToFmi3(status);
}

// --- Scheduled Execution: not provided ----------------------------------------------------------

FMU_EXPORT fmi3Status fmi3ActivateModelPartition(fmi3Instance instance, fmi3ValueReference,
                                                 fmi3Float64) {
  return Unsupported(instance, "fmi3ActivateModelPartition", seatbelt_fmu::kNoModelExchange);
}
