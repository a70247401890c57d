// One 10 ms tick of the seatbelt components, in the order every host of this project runs them:
// the simulation's schedule (desktop and board) and the FMUs.
#ifndef SIMULATION_COMPONENT_TICK_H
#define SIMULATION_COMPONENT_TICK_H

namespace seatbelt_sim {

// Runs the three signal providers and, last, the warning logic, so that the logic sees the values
// of the same tick. The caller advances g_time_ms by 10 ms before it.
void RunComponentTick();

}  // namespace seatbelt_sim

#endif  // SIMULATION_COMPONENT_TICK_H
