// Properties of every tick of the seatbelt chain that need no model.
#ifndef SEATBELT_FUZZ_INVARIANTS_H
#define SEATBELT_FUZZ_INVARIANTS_H

#include <string>

#include "Rte_Seatbelt.h"
#include "tick_view.h"

namespace seatbelt_fuzz {

// The request is written once and is only ever SBW_WARN_NONE or SBW_WARN_ACTIVE, and ACTIVE only
// with the ignition on, the speed at or above the threshold, a valid occupied seat and a valid
// open belt; every published signal is valid; the latch is 0 or 1; diagnostic reports carry a
// known event and status. Returns what is wrong, or an empty string.
std::string CheckInvariants(const TickView& seen, const SeatbeltCalibration_t& cal);

}  // namespace seatbelt_fuzz

#endif  // SEATBELT_FUZZ_INVARIANTS_H
