// One scenario's run in a worker process of the campaign. The components keep their state in
// module variables with no reset: a worker, forked from a campaign that has run none of them,
// puts their power-on state back before each scenario (component_state.h), or runs only one.
// The worker's standard output and standard error are the scenario's log; its result goes to a
// file of its own (scenario_result.h).
#ifndef HOST_SEATBELT_TEST_SCENARIO_CHILD_H
#define HOST_SEATBELT_TEST_SCENARIO_CHILD_H

#include <string>

namespace seatbelt_test {

struct ChildSettings {
  // Empty: run the simulation in this process. Else the board's run script
  // (targets/cortex-m/run-scenario.sh), started with --timeout and --junit.
  std::string board_script;
  unsigned timeout_s = 60u;
};

// Runs the scenario at path as seatbelt_sim runs it, prints what seatbelt_sim prints, and
// writes the result record to result_fd.
void RunScenarioChild(const std::string& path, const ChildSettings& settings, int result_fd);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_SCENARIO_CHILD_H
