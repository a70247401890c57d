// The FMI 2.0 functions of the SeatbeltReminder FMU (Co-Simulation only): the common functions
// and those of Co-Simulation, all exported; capabilities the FMU does not have log why and
// return fmi2Error. FMI 2.0 has only Integer for whole numbers, so the unsigned variables are
// Integer with the ranges the model description declares, and values outside them are refused.
#include <cstdint>
#include <exception>
#include <string>

#include "fmi2_types.h"
#include "fmi_export.h"
#include "fmu_state.h"
#include "model.h"

namespace seatbelt_fmu {
namespace {

constexpr const char* kGuid = SEATBELT_FMU_TOKEN;
constexpr StateFormat kStateFormat = {2u, kGuid};

void LogToImporter(void* context, Status status, const char* category, const char* message);

struct Fmi2Instance {
  Fmi2Instance(const char* name_in, const fmi2CallbackFunctions& functions, bool logging_on)
      : name(name_in),
        logger(functions.logger),
        environment(functions.componentEnvironment),
        model(name_in, "", false, functions.logger != nullptr ? &LogToImporter : nullptr, this,
              logging_on) {}

  std::string name;
  fmi2CallbackLogger logger;
  fmi2ComponentEnvironment environment;
  Model model;
};

// The logger formats its message like printf, so a '%' in the text is doubled.
std::string EscapePercent(const char* message) {
  std::string escaped;
  for (; *message != '\0'; ++message) {
    escaped += *message;
    if (*message == '%') {
      escaped += '%';
    }
  }
  return escaped;
}

void LogToImporter(void* context, Status status, const char* category, const char* message) {
  const auto* instance = static_cast<const Fmi2Instance*>(context);
  instance->logger(instance->environment, instance->name.c_str(), static_cast<fmi2Status>(status),
                   category, EscapePercent(message).c_str());
}

fmi2Status ToFmi2(Status status) {
  return static_cast<fmi2Status>(status);
}

Model* ModelOf(fmi2Component component) {
  return component == nullptr ? nullptr : &static_cast<Fmi2Instance*>(component)->model;
}

fmi2Status Unsupported(fmi2Component component, const char* function, const char* why) {
  Model* const model = ModelOf(component);
  if (model != nullptr) {
    (void)model->Error(function, "%s", why);
  }
  return fmi2Error;
}

constexpr const char* kNoDerivatives = "the FMU provides no derivatives";
constexpr TypeSet kIntegers =
    TypeBit(Type::kUInt8) | TypeBit(Type::kUInt16) | TypeBit(Type::kUInt32);
constexpr TypeSet kBoolean = TypeBit(Type::kBoolean);

// Checks every reference and value before storing any, so a bad call changes nothing.
template <typename T>
fmi2Status SetValues(fmi2Component component, const char* function, TypeSet types,
                     const fmi2ValueReference vrs[], size_t count, const T values[]) {
  Model* const model = ModelOf(component);
  if (model == nullptr) {
    return fmi2Error;
  }
  Status status = Model::ArraysFine(vrs, count, values, count)
                      ? Status::kOk
                      : model->CheckArrays(function, vrs, count, values, count);
  for (size_t i = 0u; i < count && status == Status::kOk; ++i) {
    if (!model->CanSet(vrs[i], types)) {
      status = model->CheckSet(function, vrs[i], types);
    }
    const Variable& variable = kVariables[vrs[i] < kVariableCount ? vrs[i] : 0u];
    if (status == Status::kOk &&
        (values[i] < 0 || static_cast<unsigned long>(values[i]) > variable.fmi2_max)) {
      status = model->Error(function, "value %ld is out of range for %s (0 to %u)",
                            static_cast<long>(values[i]), variable.name,
                            static_cast<unsigned>(variable.fmi2_max));
    }
  }
  if (status != Status::kOk) {
    return ToFmi2(status);
  }
  for (size_t i = 0u; i < count; ++i) {
    model->Set(vrs[i], static_cast<uint32>(values[i]));
  }
  return fmi2OK;
}

template <typename T>
fmi2Status GetValues(fmi2Component component, const char* function, TypeSet types,
                     const fmi2ValueReference vrs[], size_t count, T values[]) {
  Model* const model = ModelOf(component);
  if (model == nullptr) {
    return fmi2Error;
  }
  Status status = Model::ArraysFine(vrs, count, values, count)
                      ? Status::kOk
                      : model->CheckArrays(function, vrs, count, values, count);
  for (size_t i = 0u; i < count && status == Status::kOk; ++i) {
    if (!model->CanGet(vrs[i], types)) {
      status = model->CheckGet(function, vrs[i], types);
    }
    if (status == Status::kOk) {
      values[i] = static_cast<T>(model->Get(vrs[i]));
    }
  }
  return ToFmi2(status);
}

}  // namespace
}  // namespace seatbelt_fmu

using seatbelt_fmu::Fmi2Instance;
using seatbelt_fmu::Model;
using seatbelt_fmu::ModelOf;
using seatbelt_fmu::Status;
using seatbelt_fmu::ToFmi2;
using seatbelt_fmu::Unsupported;

// --- inquiry, instantiation, logging ------------------------------------------------------------

FMU_EXPORT const char* fmi2GetTypesPlatform(void) {
  return "default";
}

FMU_EXPORT const char* fmi2GetVersion(void) {
  return "2.0";
}

FMU_EXPORT fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn,
                                          size_t nCategories, const fmi2String categories[]) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  return ToFmi2(model->SetDebugLogging("fmi2SetDebugLogging", loggingOn != fmi2False, nCategories,
                                       categories));
}

FMU_EXPORT fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType,
                                         fmi2String fmuGUID, fmi2String /*fmuResourceLocation*/,
                                         const fmi2CallbackFunctions* functions,
                                         fmi2Boolean /*visible*/, fmi2Boolean loggingOn) {
  const fmi2CallbackLogger logger = functions != nullptr ? functions->logger : nullptr;
  const auto refuse = [&](const std::string& why) -> fmi2Component {
    if (loggingOn != fmi2False && logger != nullptr) {
      logger(functions->componentEnvironment, instanceName != nullptr ? instanceName : "",
             fmi2Error, seatbelt_fmu::LogCategoryName(seatbelt_fmu::LogCategory::kStatusError),
             seatbelt_fmu::EscapePercent(("fmi2Instantiate: " + why).c_str()).c_str());
    }
    return nullptr;
  };
  if (functions == nullptr) {
    return nullptr;
  }
  if (instanceName == nullptr || *instanceName == '\0') {
    return refuse("the instance name is empty");
  }
  if (fmuType != fmi2CoSimulation) {
    return refuse("the FMU supports Co-Simulation only");
  }
  if (fmuGUID == nullptr || std::string(fmuGUID) != seatbelt_fmu::kGuid) {
    return refuse(std::string("GUID does not match this binary's ") + seatbelt_fmu::kGuid);
  }
  std::string why;
  if (!seatbelt_fmu::ChainRegionUsable(why)) {
    return refuse(why);
  }
  try {
    return new Fmi2Instance(instanceName, *functions, loggingOn != fmi2False);
  } catch (const std::exception& error) {
    return refuse(error.what());
  }
}

FMU_EXPORT void fmi2FreeInstance(fmi2Component c) {
  if (c != nullptr) {
    seatbelt_fmu::FreeFmuStatesOf(static_cast<Fmi2Instance*>(c)->model);
  }
  delete static_cast<Fmi2Instance*>(c);
}

// --- life cycle -------------------------------------------------------------------------------

FMU_EXPORT fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean /*toleranceDefined*/,
                                          fmi2Real /*tolerance*/, fmi2Real startTime,
                                          fmi2Boolean stopTimeDefined, fmi2Real stopTime) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  const char* const function = "fmi2SetupExperiment";
  if (stopTimeDefined != fmi2False && !(stopTime >= startTime)) {
    return ToFmi2(
        model->Error(function, "stop time %g s is before start time %g s", stopTime, startTime));
  }
  return ToFmi2(model->SetStartTime(function, startTime));
}

FMU_EXPORT fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error
                          : ToFmi2(model->EnterInitialization("fmi2EnterInitializationMode"));
}

FMU_EXPORT fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  try {
    return ToFmi2(model->ExitInitialization("fmi2ExitInitializationMode"));
  } catch (const std::exception& error) {
    model->LogError(Status::kFatal, std::string("fmi2ExitInitializationMode: ") + error.what());
    return fmi2Fatal;
  }
}

FMU_EXPORT fmi2Status fmi2Terminate(fmi2Component c) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error : ToFmi2(model->Terminate("fmi2Terminate"));
}

FMU_EXPORT fmi2Status fmi2Reset(fmi2Component c) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  model->Reset();
  return fmi2OK;
}

// --- getting and setting values ---------------------------------------------------------------

FMU_EXPORT fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                  fmi2Real value[]) {
  return seatbelt_fmu::GetValues(c, "fmi2GetReal", 0u, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     fmi2Integer value[]) {
  return seatbelt_fmu::GetValues(c, "fmi2GetInteger", seatbelt_fmu::kIntegers, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     fmi2Boolean value[]) {
  return seatbelt_fmu::GetValues(c, "fmi2GetBoolean", seatbelt_fmu::kBoolean, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                    fmi2String value[]) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  Status status = model->CheckArrays("fmi2GetString", vr, nvr, value, nvr);
  for (size_t i = 0u; i < nvr && status == Status::kOk; ++i) {
    status = model->CheckGet("fmi2GetString", vr[i], 0u);
  }
  return ToFmi2(status);
}

FMU_EXPORT fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                  const fmi2Real value[]) {
  return seatbelt_fmu::SetValues(c, "fmi2SetReal", 0u, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     const fmi2Integer value[]) {
  return seatbelt_fmu::SetValues(c, "fmi2SetInteger", seatbelt_fmu::kIntegers, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     const fmi2Boolean value[]) {
  return seatbelt_fmu::SetValues(c, "fmi2SetBoolean", seatbelt_fmu::kBoolean, vr, nvr, value);
}

FMU_EXPORT fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                    const fmi2String value[]) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  Status status = model->CheckArrays("fmi2SetString", vr, nvr, value, nvr);
  for (size_t i = 0u; i < nvr && status == Status::kOk; ++i) {
    status = model->CheckSet("fmi2SetString", vr[i], 0u);
  }
  return ToFmi2(status);
}

// --- FMU state ------------------------------------------------------------------------------

FMU_EXPORT fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error
                          : ToFmi2(seatbelt_fmu::GetFmuState(*model, "fmi2GetFMUstate", FMUstate));
}

FMU_EXPORT fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error
                          : ToFmi2(seatbelt_fmu::SetFmuState(*model, "fmi2SetFMUstate", FMUstate));
}

FMU_EXPORT fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate* FMUstate) {
  Model* const model = ModelOf(c);
  return model == nullptr
             ? fmi2Error
             : ToFmi2(seatbelt_fmu::FreeFmuState(*model, "fmi2FreeFMUstate", FMUstate));
}

FMU_EXPORT fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate,
                                                 size_t* size) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error
                          : ToFmi2(seatbelt_fmu::SerializedFmuStateSize(
                                *model, "fmi2SerializedFMUstateSize", seatbelt_fmu::kStateFormat,
                                FMUstate, size));
}

// fmi2Byte is char: the bytes are passed on as the unsigned bytes they are.
FMU_EXPORT fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate,
                                            fmi2Byte serializedState[], size_t size) {
  Model* const model = ModelOf(c);
  return model == nullptr ? fmi2Error
                          : ToFmi2(seatbelt_fmu::SerializeFmuState(
                                *model, "fmi2SerializeFMUstate", seatbelt_fmu::kStateFormat,
                                FMUstate, reinterpret_cast<std::uint8_t*>(serializedState), size));
}

FMU_EXPORT fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[],
                                              size_t size, fmi2FMUstate* FMUstate) {
  Model* const model = ModelOf(c);
  return model == nullptr
             ? fmi2Error
             : ToFmi2(seatbelt_fmu::DeserializeFmuState(
                   *model, "fmi2DeSerializeFMUstate", seatbelt_fmu::kStateFormat,
                   reinterpret_cast<const std::uint8_t*>(serializedState), size, FMUstate));
}

// --- derivatives: not provided ------------------------------------------------------------------

FMU_EXPORT fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference[],
                                                   size_t, const fmi2ValueReference[], size_t,
                                                   const fmi2Real[], fmi2Real[]) {
  return Unsupported(c, "fmi2GetDirectionalDerivative", seatbelt_fmu::kNoDerivatives);
}
FMU_EXPORT fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference[],
                                                  size_t, const fmi2Integer[], const fmi2Real[]) {
  return Unsupported(c, "fmi2SetRealInputDerivatives", seatbelt_fmu::kNoDerivatives);
}
FMU_EXPORT fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference[],
                                                   size_t, const fmi2Integer[], fmi2Real[]) {
  return Unsupported(c, "fmi2GetRealOutputDerivatives", seatbelt_fmu::kNoDerivatives);
}

// --- Co-Simulation ------------------------------------------------------------------------------

FMU_EXPORT fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint,
                                 fmi2Real communicationStepSize,
                                 fmi2Boolean /*noSetFMUStatePriorToCurrentPoint*/) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  try {
    return ToFmi2(model->DoStep("fmi2DoStep", currentCommunicationPoint, communicationStepSize));
  } catch (const std::exception& error) {
    model->LogError(Status::kFatal, std::string("fmi2DoStep: ") + error.what());
    return fmi2Fatal;
  }
}

// Every step completes before fmi2DoStep returns: there is never a step to cancel or ask about.
FMU_EXPORT fmi2Status fmi2CancelStep(fmi2Component c) {
  return Unsupported(c, "fmi2CancelStep", "fmi2DoStep never returns fmi2Pending");
}

FMU_EXPORT fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind, fmi2Status*) {
  Model* const model = ModelOf(c);
  if (model != nullptr) {
    (void)model->Error("fmi2GetStatus", "fmi2DoStep never returns fmi2Pending");
  }
  return fmi2Discard;
}

FMU_EXPORT fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real* value) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  if (s != fmi2LastSuccessfulTime || value == nullptr) {
    (void)model->Error("fmi2GetRealStatus", "only fmi2LastSuccessfulTime is a Real status");
    return fmi2Discard;
  }
  *value = model->TimeSeconds();
  return fmi2OK;
}

FMU_EXPORT fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind, fmi2Integer*) {
  Model* const model = ModelOf(c);
  if (model != nullptr) {
    (void)model->Error("fmi2GetIntegerStatus", "there is no Integer status");
  }
  return fmi2Discard;
}

FMU_EXPORT fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s,
                                           fmi2Boolean* value) {
  Model* const model = ModelOf(c);
  if (model == nullptr) {
    return fmi2Error;
  }
  if (s != fmi2Terminated || value == nullptr) {
    (void)model->Error("fmi2GetBooleanStatus", "only fmi2Terminated is a Boolean status");
    return fmi2Discard;
  }
  *value = fmi2False;  // the FMU never asks to end the simulation
  return fmi2OK;
}

FMU_EXPORT fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind, fmi2String*) {
  Model* const model = ModelOf(c);
  if (model != nullptr) {
    (void)model->Error("fmi2GetStringStatus", "there is no String status");
  }
  return fmi2Discard;
}
