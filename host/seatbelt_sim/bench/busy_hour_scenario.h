// The busy hour that seatbelt_sim_bench runs: sixty one-minute drives of getting in, driving
// with the belt open and closed, and parking. About 1000 stimuli, each printed by the host;
// every drive changes the warning request four times and raises both stuck reports.
#ifndef HOST_SEATBELT_SIM_BENCH_BUSY_HOUR_SCENARIO_H
#define HOST_SEATBELT_SIM_BENCH_BUSY_HOUR_SCENARIO_H

#include <string>

namespace seatbelt_sim_bench {

inline constexpr long long kBusyHourMs = 3600LL * 1000LL;
inline constexpr long long kDriveMs = 60LL * 1000LL;

// The scenario text, in seatbelt_sim's format, with its 'end' line at one hour.
std::string BusyHourScenario();

// count expect lines (at most 100) about the busy hour, of all four forms alike, that all
// pass: statuses and ranges always, the warning during and within each drive's open-belt
// stretch, the speed at a time in it.
std::string BusyHourExpectations(int count);

}  // namespace seatbelt_sim_bench

#endif  // HOST_SEATBELT_SIM_BENCH_BUSY_HOUR_SCENARIO_H
