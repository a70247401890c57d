// One simulated day in steps of 0.01 s through each FMU's API, as an importer drives it: all
// inputs set and all outputs read at every step, logging off. Beside it the same day of the
// chain alone (the tick sequence on the desktop runtime layer, trace lines not formatted), so
// the FMU's own cost can be read off; and what getting, setting, serializing and deserializing
// the FMU state cost. Run by scripts/bench.sh; never a test.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "component_tick.h"
#include "fmi2_types.h"
#include "fmi3_types.h"
#include "fmu_importer.h"

namespace {

constexpr std::uint32_t kStepsPerDay = 8640000u;
constexpr double kStepS = 0.01;

// Inputs that change now and then, as a drive would: the belt every 20 s, the seat every 60 s,
// the speed every second, the door every 30 s, the ignition every 10 minutes.
struct Inputs {
  std::uint32_t latch, occupancy, speed, door, ignition;
};
Inputs InputsAt(std::uint32_t step) {
  return {(step / 2000u) % 2u, (step / 6000u) % 2u, (step / 100u) % 130u, (step / 3000u) % 2u,
          (step / 60000u + 1u) % 2u};
}

std::string WorkDir() {
  char pattern[] = "/tmp/fmu_bench.XXXXXX";
  const char* const dir = mkdtemp(pattern);
  return dir != nullptr ? dir : "/tmp";
}

template <typename F>
F Function(const fmu_test::Fmu& fmu, const char* name) {
  return reinterpret_cast<F>(fmu.Symbol(name));
}

void Fmi3Day(benchmark::State& state) {
  const fmu_test::Fmu fmu(3, FMU3_PATH, WorkDir());
  using Instantiate =
      fmi3Instance (*)(fmi3String, fmi3String, fmi3String, fmi3Boolean, fmi3Boolean, fmi3Boolean,
                       fmi3Boolean, const fmi3ValueReference[], size_t, fmi3InstanceEnvironment,
                       fmi3LogMessageCallback, fmi3IntermediateUpdateCallback);
  using Init =
      fmi3Status (*)(fmi3Instance, fmi3Boolean, fmi3Float64, fmi3Float64, fmi3Boolean, fmi3Float64);
  using Call = fmi3Status (*)(fmi3Instance);
  using DoStep = fmi3Status (*)(fmi3Instance, fmi3Float64, fmi3Float64, fmi3Boolean, fmi3Boolean*,
                                fmi3Boolean*, fmi3Boolean*, fmi3Float64*);
  using SetU8 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const fmi3UInt8[], size_t);
  using SetU16 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const fmi3UInt16[], size_t);
  using SetU32 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const fmi3UInt32[], size_t);
  using SetBool =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const fmi3Boolean[], size_t);
  using GetU8 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, fmi3UInt8[], size_t);
  using GetU16 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, fmi3UInt16[], size_t);
  using GetU32 =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, fmi3UInt32[], size_t);
  using GetBool =
      fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, fmi3Boolean[], size_t);
  const auto set_u8 = Function<SetU8>(fmu, "fmi3SetUInt8");
  const auto set_u16 = Function<SetU16>(fmu, "fmi3SetUInt16");
  const auto set_u32 = Function<SetU32>(fmu, "fmi3SetUInt32");
  const auto set_bool = Function<SetBool>(fmu, "fmi3SetBoolean");
  const auto get_u8 = Function<GetU8>(fmu, "fmi3GetUInt8");
  const auto get_u16 = Function<GetU16>(fmu, "fmi3GetUInt16");
  const auto get_u32 = Function<GetU32>(fmu, "fmi3GetUInt32");
  const auto get_bool = Function<GetBool>(fmu, "fmi3GetBoolean");
  const auto do_step = Function<DoStep>(fmu, "fmi3DoStep");
  const fmi3ValueReference latch_vr[] = {1u};
  const fmi3ValueReference u32_in_vr[] = {2u, 5u};
  const fmi3ValueReference speed_vr[] = {3u};
  const fmi3ValueReference door_vr[] = {4u};
  const fmi3ValueReference bool_out_vr[] = {6u, 14u, 17u, 18u};
  const fmi3ValueReference u32_out_vr[] = {7u, 8u, 9u, 11u, 12u, 13u, 15u};
  const fmi3ValueReference speed_out_vr[] = {10u};
  const fmi3ValueReference warning_vr[] = {16u};
  for (auto _ : state) {
    fmi3Instance instance = Function<Instantiate>(fmu, "fmi3InstantiateCoSimulation")(
        "bench", fmu.token().c_str(), nullptr, false, false, false, false, nullptr, 0u, nullptr,
        nullptr, nullptr);
    (void)Function<Init>(fmu, "fmi3EnterInitializationMode")(instance, false, 0.0, 0.0, false, 0.0);
    (void)Function<Call>(fmu, "fmi3ExitInitializationMode")(instance);
    double time = 0.0;
    std::uint64_t checksum = 0u;
    for (std::uint32_t step = 0u; step < kStepsPerDay; ++step) {
      const Inputs in = InputsAt(step);
      const fmi3UInt8 latch = static_cast<fmi3UInt8>(in.latch);
      const fmi3UInt32 u32_in[] = {in.occupancy, in.ignition};
      const fmi3UInt16 speed = static_cast<fmi3UInt16>(in.speed);
      const fmi3Boolean door = in.door != 0u;
      (void)set_u8(instance, latch_vr, 1u, &latch, 1u);
      (void)set_u32(instance, u32_in_vr, 2u, u32_in, 2u);
      (void)set_u16(instance, speed_vr, 1u, &speed, 1u);
      (void)set_bool(instance, door_vr, 1u, &door, 1u);
      fmi3Boolean event = false;
      fmi3Boolean terminate = false;
      fmi3Boolean early = false;
      fmi3Float64 last = 0.0;
      (void)do_step(instance, time, kStepS, true, &event, &terminate, &early, &last);
      time += kStepS;
      fmi3Boolean bools[4] = {};
      fmi3UInt32 u32_out[7] = {};
      fmi3UInt16 speed_out = 0u;
      fmi3UInt8 warning = 0u;
      (void)get_bool(instance, bool_out_vr, 4u, bools, 4u);
      (void)get_u32(instance, u32_out_vr, 7u, u32_out, 7u);
      (void)get_u16(instance, speed_out_vr, 1u, &speed_out, 1u);
      (void)get_u8(instance, warning_vr, 1u, &warning, 1u);
      checksum += warning + u32_out[1] + speed_out + (bools[0] ? 1u : 0u);
    }
    benchmark::DoNotOptimize(checksum);
    Function<void (*)(fmi3Instance)>(fmu, "fmi3FreeInstance")(instance);
  }
}
BENCHMARK(Fmi3Day)->Unit(benchmark::kMillisecond)->Iterations(1);

void Fmi2Day(benchmark::State& state) {
  const fmu_test::Fmu fmu(2, FMU2_PATH, WorkDir());
  using Instantiate = fmi2Component (*)(fmi2String, fmi2Type, fmi2String, fmi2String,
                                        const fmi2CallbackFunctions*, fmi2Boolean, fmi2Boolean);
  using Setup =
      fmi2Status (*)(fmi2Component, fmi2Boolean, fmi2Real, fmi2Real, fmi2Boolean, fmi2Real);
  using Call = fmi2Status (*)(fmi2Component);
  using DoStep = fmi2Status (*)(fmi2Component, fmi2Real, fmi2Real, fmi2Boolean);
  using SetInt =
      fmi2Status (*)(fmi2Component, const fmi2ValueReference[], size_t, const fmi2Integer[]);
  using GetInt = fmi2Status (*)(fmi2Component, const fmi2ValueReference[], size_t, fmi2Integer[]);
  const auto set_integer = Function<SetInt>(fmu, "fmi2SetInteger");
  const auto set_boolean = Function<SetInt>(fmu, "fmi2SetBoolean");
  const auto get_integer = Function<GetInt>(fmu, "fmi2GetInteger");
  const auto get_boolean = Function<GetInt>(fmu, "fmi2GetBoolean");
  const auto do_step = Function<DoStep>(fmu, "fmi2DoStep");
  const fmi2ValueReference int_in_vr[] = {1u, 2u, 3u, 5u};
  const fmi2ValueReference door_vr[] = {4u};
  const fmi2ValueReference int_out_vr[] = {7u, 8u, 9u, 10u, 11u, 12u, 13u, 15u, 16u};
  const fmi2ValueReference bool_out_vr[] = {6u, 14u, 17u, 18u};
  const fmi2CallbackFunctions callbacks = {nullptr, nullptr, nullptr, nullptr, nullptr};
  for (auto _ : state) {
    fmi2Component component = Function<Instantiate>(fmu, "fmi2Instantiate")(
        "bench", fmi2CoSimulation, fmu.token().c_str(), nullptr, &callbacks, fmi2False, fmi2False);
    (void)Function<Setup>(fmu, "fmi2SetupExperiment")(component, fmi2False, 0.0, 0.0, fmi2False,
                                                      0.0);
    (void)Function<Call>(fmu, "fmi2EnterInitializationMode")(component);
    (void)Function<Call>(fmu, "fmi2ExitInitializationMode")(component);
    double time = 0.0;
    std::uint64_t checksum = 0u;
    for (std::uint32_t step = 0u; step < kStepsPerDay; ++step) {
      const Inputs in = InputsAt(step);
      const fmi2Integer int_in[] = {
          static_cast<fmi2Integer>(in.latch), static_cast<fmi2Integer>(in.occupancy),
          static_cast<fmi2Integer>(in.speed), static_cast<fmi2Integer>(in.ignition)};
      const fmi2Boolean door = static_cast<fmi2Boolean>(in.door);
      (void)set_integer(component, int_in_vr, 4u, int_in);
      (void)set_boolean(component, door_vr, 1u, &door);
      (void)do_step(component, time, kStepS, fmi2True);
      time += kStepS;
      fmi2Integer int_out[9] = {};
      fmi2Boolean bool_out[4] = {};
      (void)get_integer(component, int_out_vr, 9u, int_out);
      (void)get_boolean(component, bool_out_vr, 4u, bool_out);
      checksum += static_cast<std::uint64_t>(int_out[8] + int_out[1] + bool_out[0]);
    }
    benchmark::DoNotOptimize(checksum);
    Function<void (*)(fmi2Component)>(fmu, "fmi2FreeInstance")(component);
  }
}
BENCHMARK(Fmi2Day)->Unit(benchmark::kMillisecond)->Iterations(1);

// The FMU state of an instance that has run ten simulated minutes, two instances alive: getting
// it into the same state object and setting it back (GetSetState), and serializing it into bytes
// and deserializing those into a new state, freed again (SerializeDeserializeState). Templated on
// the version's status and byte types; the function names are the version's.
struct StateNames {
  const char* get;
  const char* set;
  const char* free;
  const char* size;
  const char* serialize;
  const char* deserialize;
};
constexpr StateNames kFmi3State = {"fmi3GetFMUState",       "fmi3SetFMUState",
                                   "fmi3FreeFMUState",      "fmi3SerializedFMUStateSize",
                                   "fmi3SerializeFMUState", "fmi3DeserializeFMUState"};
constexpr StateNames kFmi2State = {"fmi2GetFMUstate",       "fmi2SetFMUstate",
                                   "fmi2FreeFMUstate",      "fmi2SerializedFMUstateSize",
                                   "fmi2SerializeFMUstate", "fmi2DeSerializeFMUstate"};

template <typename Status, typename Byte>
void StateCost(benchmark::State& state, int version, bool serialize) {
  const fmu_test::Fmu fmu(version, version == 3 ? FMU3_PATH : FMU2_PATH, WorkDir());
  const StateNames& names = version == 3 ? kFmi3State : kFmi2State;
  auto instance = fmu_test::Slave::Create(fmu);
  auto other = fmu_test::Slave::Create(fmu);
  const bool ready = instance->Instantiate("bench", false) && other->Instantiate("other", false) &&
                     instance->EnterInitialization() == 0 && instance->ExitInitialization() == 0 &&
                     instance->DoStep(0.0, 600.0) == 0;
  if (!ready) {
    state.SkipWithError("cannot prepare the instance");
    return;
  }
  void* const handle = instance->handle();
  const auto get = Function<Status (*)(void*, void**)>(fmu, names.get);
  const auto set = Function<Status (*)(void*, void*)>(fmu, names.set);
  const auto free_state = Function<Status (*)(void*, void**)>(fmu, names.free);
  const auto size_of = Function<Status (*)(void*, void*, size_t*)>(fmu, names.size);
  const auto serialize_state =
      Function<Status (*)(void*, void*, Byte*, size_t)>(fmu, names.serialize);
  const auto deserialize =
      Function<Status (*)(void*, const Byte*, size_t, void**)>(fmu, names.deserialize);
  void* fmu_state = nullptr;
  size_t size = 0u;
  (void)get(handle, &fmu_state);
  (void)size_of(handle, fmu_state, &size);
  std::vector<Byte> bytes(size);
  for (auto _ : state) {
    if (serialize) {
      (void)serialize_state(handle, fmu_state, bytes.data(), bytes.size());
      void* copy = nullptr;
      (void)deserialize(handle, bytes.data(), bytes.size(), &copy);
      (void)free_state(handle, &copy);
    } else {
      (void)get(handle, &fmu_state);
      (void)set(handle, fmu_state);
    }
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
  (void)free_state(handle, &fmu_state);
}

void Fmi3GetSetState(benchmark::State& state) {
  StateCost<fmi3Status, fmi3Byte>(state, 3, false);
}
void Fmi3SerializeDeserializeState(benchmark::State& state) {
  StateCost<fmi3Status, fmi3Byte>(state, 3, true);
}
void Fmi2GetSetState(benchmark::State& state) {
  StateCost<fmi2Status, fmi2Byte>(state, 2, false);
}
void Fmi2SerializeDeserializeState(benchmark::State& state) {
  StateCost<fmi2Status, fmi2Byte>(state, 2, true);
}
BENCHMARK(Fmi3GetSetState)->Unit(benchmark::kNanosecond);
BENCHMARK(Fmi3SerializeDeserializeState)->Unit(benchmark::kNanosecond);
BENCHMARK(Fmi2GetSetState)->Unit(benchmark::kNanosecond);
BENCHMARK(Fmi2SerializeDeserializeState)->Unit(benchmark::kNanosecond);

// The chain alone: the same inputs through the component setters and the same tick sequence on
// the desktop runtime layer, the five signals read back each step; this program is linked with
// --wrap=printf so that, as in the FMU with logging off, no trace line is formatted.
void ChainDay(benchmark::State& state) {
  for (auto _ : state) {
    RteHost_Reset();
    SeatbeltWarning_Logic_Init();
    std::uint64_t checksum = 0u;
    for (std::uint32_t step = 0u; step < kStepsPerDay; ++step) {
      const Inputs in = InputsAt(step);
      Seatbelt_Sensor_IF_SetRaw(static_cast<uint8>(in.latch));
      Occupancy_Sensor_IF_SetRaw(in.occupancy);
      VehicleState_IF_SetSpeed(static_cast<uint16>(in.speed));
      VehicleState_IF_SetDoorClosed(static_cast<boolean>(in.door));
      VehicleState_IF_SetIgnition(in.ignition);
      g_time_ms += 10u;
      seatbelt_sim::RunComponentTick();
      checksum += Rte_Read_SeatbeltLatchFiltered().value + Rte_Read_OccupancyFiltered().value +
                  Rte_Read_VehicleSpeed().value + Rte_Read_IgnitionState().value +
                  Rte_Read_DoorClosed().value + RteHost_GetWarningRequest();
    }
    benchmark::DoNotOptimize(checksum);
  }
}
BENCHMARK(ChainDay)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

// The trace line's printf, as the FMU with logging off treats it: not formatted.
extern "C" int __wrap_printf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                               // the name --wrap gives
    const char* /*format*/, ...) {
  return 0;
}

BENCHMARK_MAIN();
