// The FMI 2.0 types the FMU's functions take and give, declared as the standard defines them
// (FMI 2.0.x, section 2.1.2 "Platform Dependent Definitions" and 2.1.3 "Status Returned by
// Functions").
#ifndef FMU_FMI2_TYPES_H
#define FMU_FMI2_TYPES_H

#include <cstddef>

using fmi2Component = void*;
using fmi2ComponentEnvironment = void*;
using fmi2FMUstate = void*;
using fmi2ValueReference = unsigned int;
using fmi2Real = double;
using fmi2Integer = int;
using fmi2Boolean = int;
using fmi2Char = char;
using fmi2String = const fmi2Char*;
using fmi2Byte = char;

constexpr fmi2Boolean fmi2True = 1;
constexpr fmi2Boolean fmi2False = 0;

enum fmi2Status { fmi2OK, fmi2Warning, fmi2Discard, fmi2Error, fmi2Fatal, fmi2Pending };
enum fmi2Type { fmi2ModelExchange, fmi2CoSimulation };
enum fmi2StatusKind { fmi2DoStepStatus, fmi2PendingStatus, fmi2LastSuccessfulTime, fmi2Terminated };

extern "C" {
using fmi2CallbackLogger = void (*)(fmi2ComponentEnvironment componentEnvironment,
                                    fmi2String instanceName, fmi2Status status, fmi2String category,
                                    fmi2String message, ...);
using fmi2CallbackAllocateMemory = void* (*)(std::size_t nobj, std::size_t size);
using fmi2CallbackFreeMemory = void (*)(void* obj);
using fmi2StepFinished = void (*)(fmi2ComponentEnvironment componentEnvironment, fmi2Status status);

struct fmi2CallbackFunctions {
  fmi2CallbackLogger logger;
  fmi2CallbackAllocateMemory allocateMemory;
  fmi2CallbackFreeMemory freeMemory;
  fmi2StepFinished stepFinished;
  fmi2ComponentEnvironment componentEnvironment;
};
}

#endif  // FMU_FMI2_TYPES_H
