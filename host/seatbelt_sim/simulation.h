// The 10 ms schedule of seatbelt_sim: drives the four seatbelt components through a scenario.
// The components keep their state in the module with no reset, so a process runs one
// simulation.
#ifndef HOST_SEATBELT_SIM_SIMULATION_H
#define HOST_SEATBELT_SIM_SIMULATION_H

#include <cstdio>

#include "run_record.h"
#include "scenario.h"
#include "signal_log.h"

namespace seatbelt_sim {

// Sets the calibration (defaults with the scenario's overrides), calls
// SeatbeltWarning_Logic_Init, then runs ticks ticks, applying each stimulus before the first
// tick at or after its time. Host lines go to out (the components print to stdout, so out
// should be stdout to keep the order). csv and vcd may be null; vcd must be open already
// with the values that InitialSample gives.
void RunSimulation(const Scenario& scenario, uint32 ticks, std::FILE* out, RunRecord& record,
                   CsvWriter* csv, VcdWriter* vcd);

// The logged values before the first tick: the inputs' power-on values, the signals not yet
// received, no warning request.
TickSample InitialSample();

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_SIMULATION_H
