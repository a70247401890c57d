// The tick sequence of the seatbelt chain, kept in one place so that a shared one can replace it.
#include "seatbelt_tick.h"

#include "Occupancy_Sensor_IF.h"
#include "Rte_Seatbelt.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"

namespace seatbelt_fmu {

namespace {
constexpr uint32 kTickMs = 10u;
}  // namespace

void RunSeatbeltTick() {
  g_time_ms += kTickMs;
  VehicleState_IF_10ms();
  Seatbelt_Sensor_IF_10ms();
  Occupancy_Sensor_IF_10ms();
  SeatbeltWarning_Logic_10ms();
}

}  // namespace seatbelt_fmu
