// The four components' tick (seatbelt_sim::RunComponentTick), run TICKS times with the inputs of
// fmu_bench's simulated day, for counting its instructions with callgrind
// (fmu/bench/callgrind_ticks.sh). Built twice: on the installed libraries, as seatbelt_sim links
// them, and on the FMU's position-independent copies. Trace lines are not formatted, as in the
// FMU with logging off.
//   chain_ticks_installed [TICKS]    chain_ticks_fmu_copy [TICKS]
#include <cstdint>
#include <cstdlib>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Host.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"
#include "component_tick.h"

int main(int argc, char** argv) {
  const unsigned long ticks = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000ul;
  RteHost_Reset();
  SeatbeltWarning_Logic_Init();
  for (std::uint32_t step = 0u; step < ticks; ++step) {
    Seatbelt_Sensor_IF_SetRaw(static_cast<uint8>((step / 2000u) % 2u));
    Occupancy_Sensor_IF_SetRaw((step / 6000u) % 2u);
    VehicleState_IF_SetSpeed(static_cast<uint16>((step / 100u) % 130u));
    VehicleState_IF_SetDoorClosed(static_cast<boolean>((step / 3000u) % 2u));
    VehicleState_IF_SetIgnition((step / 60000u + 1u) % 2u);
    g_time_ms += 10u;
    seatbelt_sim::RunComponentTick();
  }
  return RteHost_GetWarningRequest() > 2u ? 1 : 0;
}

// The trace line's printf, as the FMU with logging off treats it: not formatted.
extern "C" int __wrap_printf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                               // the name --wrap gives
    const char* /*format*/, ...) {
  return 0;
}
