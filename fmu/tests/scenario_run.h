// Drives one FMU instance through a seatbelt_sim scenario, tick by tick or in larger steps, and
// compares its outputs with what seatbelt_sim wrote for the same scenario.
#ifndef FMU_TESTS_SCENARIO_RUN_H
#define FMU_TESTS_SCENARIO_RUN_H

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fmu_importer.h"
#include "scenario.h"

namespace fmu_test {

// seatbelt_sim's record of a scenario: one CSV row per tick, its trace lines and its diagnostic
// lines (without "[SIM] "), and the stuck flags those imply after each tick.
struct Reference {
  std::vector<std::array<std::uint32_t, 17>> rows;  // time in ms, then the 16 CSV columns
  std::vector<std::string> trace;
  std::vector<std::string> diagnostics;
  std::vector<std::array<bool, 2>> stuck;  // latch_stuck, speed_stuck after each row's tick
};

// Reads what seatbelt_sim --csv wrote for a scenario: the CSV file and its standard output.
Reference ReadReference(const std::string& csv_path, const std::string& output_path);

class ScenarioRun {
 public:
  ScenarioRun(const Fmu& fmu, const seatbelt_sim::Scenario& scenario, const Reference& reference,
              std::string name, bool logging_on);

  // Instantiates, sets the scenario's calibration and initializes; false on any failure.
  bool Start();
  // Resets the instance and starts the scenario again in it; false on any failure.
  bool Restart();
  // Sets the inputs that act from the next tick on, steps by step_s and compares the outputs
  // with those after the last tick reached. false at the first failure (see failure()), also
  // when the step would pass a stimulus that acts on a later tick than the next.
  bool StepBy(double step_s);
  bool Finished() const { return tick_ >= reference_.rows.size(); }
  // Runs in steps of 0.01 s to the end.
  bool RunToEnd();
  // The logged trace and diagnostic lines equal seatbelt_sim's.
  bool LogMatches();

  // A point of the run to go back to: the instance's FMU state and the run's own position.
  struct Mark {
    void* state = nullptr;  // freed with the instance that took it
    std::size_t next_stimulus = 0u;
    std::size_t tick = 0u;
    double now_s = 0.0;
    std::size_t log_size = 0u;
  };
  // Takes the instance's state into mark, reusing the state mark already holds.
  bool Take(Mark& mark);
  // Sets the instance back to mark, from this run or from another instance's run of the same
  // scenario (whose log up to the mark is taken over): the run goes on from there, compared with
  // seatbelt_sim's record as before.
  bool GoBack(const Mark& mark, const ScenarioRun* taken_by = nullptr);
  // Runs to the end, going back again and again: at every mark it steps on up to 150 ticks,
  // drives the instance away with other inputs and a long step, goes back and runs on 250
  // ticks; at the end it goes back to the start once and runs the whole scenario again. Every
  // tick is compared, and the log must equal seatbelt_sim's as if the run had gone straight.
  bool RunWithRollbacks();

  Slave& slave() { return *slave_; }
  const std::string& failure() const { return failure_; }
  double now_s() const { return now_s_; }
  // Time of the next stimulus still to apply, in ms; UINT32_MAX if none.
  std::uint32_t NextStimulusMs() const;

 private:
  bool Fail(const std::string& what);
  bool Initialize();
  bool CheckOutputs();

  const Fmu& fmu_;
  const seatbelt_sim::Scenario& scenario_;
  const Reference& reference_;
  std::string name_;
  bool logging_on_;
  std::unique_ptr<Slave> slave_;
  std::size_t next_stimulus_ = 0u;
  std::size_t tick_ = 0u;  // ticks run
  double now_s_ = 0.0;     // added up step by step, as importers do
  std::string failure_;
};

// Starts every run (restart: resets and starts it again) and steps them in turn by 0.01 s, each
// to its end; false at the first failure.
bool RunInterleaved(std::vector<ScenarioRun>& runs, bool restart = false);
// Starts and runs each to its end (with rollbacks: RunWithRollbacks), and checks its log, all at
// the same time on threads of their own; a failure is in the run's failure().
void RunOnThreads(std::vector<ScenarioRun>& runs, bool rollbacks = false);

}  // namespace fmu_test

#endif  // FMU_TESTS_SCENARIO_RUN_H
