/*
 * Seatbelt warning logic: every 10 ms decides from the five seatbelt signals and the door grace
 * time whether the warning is requested, writes SBW_WarningRequest, and prints a trace line to
 * standard output whenever g_time_ms is a multiple of 100.
 */
#ifndef SEATBELT_SEATBELTWARNING_LOGIC_H
#define SEATBELT_SEATBELTWARNING_LOGIC_H

#include "Std_Types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Arms the door grace time from calibration. Called by the host once before the first tick,
 * and again whenever the grace should apply anew. */
void SeatbeltWarning_Logic_Init(void);

/* The 10 ms runnable: read signals, run the door grace, write the request, trace. Run it after
 * the three signal providers within a tick to see the values of the same tick. */
void SeatbeltWarning_Logic_10ms(void);

#ifdef __cplusplus
}
#endif

#endif /* SEATBELT_SEATBELTWARNING_LOGIC_H */
