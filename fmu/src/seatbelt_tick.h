// One 10 ms tick of the seatbelt chain, in the order every host of the components runs it.
#ifndef FMU_SEATBELT_TICK_H
#define FMU_SEATBELT_TICK_H

namespace seatbelt_fmu {

// Advances g_time_ms by 10, then runs the three signal providers and, last, the warning logic,
// so that the logic sees the values of the same tick.
void RunSeatbeltTick();

}  // namespace seatbelt_fmu

#endif  // FMU_SEATBELT_TICK_H
