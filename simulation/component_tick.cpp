// The order of the seatbelt components within one tick.
#include "component_tick.h"

#include "Occupancy_Sensor_IF.h"
#include "SeatbeltWarning_Logic.h"
#include "Seatbelt_Sensor_IF.h"
#include "VehicleState_IF.h"

namespace seatbelt_sim {

void RunComponentTick() {
  VehicleState_IF_10ms();
  Seatbelt_Sensor_IF_10ms();
  Occupancy_Sensor_IF_10ms();
  SeatbeltWarning_Logic_10ms();
}

}  // namespace seatbelt_sim
