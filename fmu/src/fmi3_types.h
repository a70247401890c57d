// The FMI 3.0 types the FMU's functions take and give, declared as the standard defines them
// (FMI 3.0, section 2.2.3 "Platform Dependent Definitions" and 2.2.4 "Status Returned by
// Functions").
#ifndef FMU_FMI3_TYPES_H
#define FMU_FMI3_TYPES_H

#include <cstddef>
#include <cstdint>

using fmi3Instance = void*;
using fmi3InstanceEnvironment = void*;
using fmi3FMUState = void*;
using fmi3ValueReference = std::uint32_t;
using fmi3Float32 = float;
using fmi3Float64 = double;
using fmi3Int8 = std::int8_t;
using fmi3UInt8 = std::uint8_t;
using fmi3Int16 = std::int16_t;
using fmi3UInt16 = std::uint16_t;
using fmi3Int32 = std::int32_t;
using fmi3UInt32 = std::uint32_t;
using fmi3Int64 = std::int64_t;
using fmi3UInt64 = std::uint64_t;
using fmi3Boolean = bool;
using fmi3Char = char;
using fmi3String = const fmi3Char*;
using fmi3Byte = std::uint8_t;
using fmi3Binary = const fmi3Byte*;
using fmi3Clock = bool;

enum fmi3Status { fmi3OK, fmi3Warning, fmi3Discard, fmi3Error, fmi3Fatal };
enum fmi3DependencyKind {
  fmi3Independent,
  fmi3Constant,
  fmi3Fixed,
  fmi3Tunable,
  fmi3Discrete,
  fmi3Dependent
};
enum fmi3IntervalQualifier { fmi3IntervalNotYetKnown, fmi3IntervalUnchanged, fmi3IntervalChanged };

extern "C" {
using fmi3LogMessageCallback = void (*)(fmi3InstanceEnvironment instanceEnvironment,
                                        fmi3Status status, fmi3String category, fmi3String message);
using fmi3ClockUpdateCallback = void (*)(fmi3InstanceEnvironment instanceEnvironment);
using fmi3IntermediateUpdateCallback = void (*)(
    fmi3InstanceEnvironment instanceEnvironment, fmi3Float64 intermediateUpdateTime,
    fmi3Boolean intermediateVariableSetRequested, fmi3Boolean intermediateVariableGetAllowed,
    fmi3Boolean intermediateStepFinished, fmi3Boolean canReturnEarly,
    fmi3Boolean* earlyReturnRequested, fmi3Float64* earlyReturnTime);
using fmi3LockPreemptionCallback = void (*)();
using fmi3UnlockPreemptionCallback = void (*)();
}

#endif  // FMU_FMI3_TYPES_H
