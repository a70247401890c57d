// Test double of the runtime services for the seatbelt component tests. It defines the calls of
// the contract and g_time_ms, stores updates like a real runtime layer, and logs every call in
// order so tests can check a runnable's steps, values, statuses and timestamps.
#ifndef SEATBELT_TESTS_FAKERTE_H
#define SEATBELT_TESTS_FAKERTE_H

#include <string>
#include <vector>

#include "Rte_Seatbelt.h"

namespace fake_rte {

// One line per call, e.g. "cal", "read door", "latch=1 status=0 t=10", "warn=2",
// "dem 0x1001 failed t=5000" (t is g_time_ms at the call).
extern std::vector<std::string> calls;

// What NvM_GetCal returns; starts with latch 50, unlatch 100, occupancy 300, speed 25, grace 0.
extern SeatbeltCalibration_t cal;

// The stored signals: updates write them, reads return them, tests may set them directly.
// All start valid with value 0.
extern Rte_SeatbeltLatchFiltered_t latch;
extern Rte_OccupancyFiltered_t occupancy;
extern Rte_VehicleSpeed_t speed;
extern Rte_IgnitionState_t ignition;
extern Rte_DoorClosed_t door;

// The calls whose line starts with prefix, in order.
std::vector<std::string> Calls(const std::string& prefix);

}  // namespace fake_rte

#endif  // SEATBELT_TESTS_FAKERTE_H
