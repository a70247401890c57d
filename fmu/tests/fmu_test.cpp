// The FMUs as an importer sees them: each test unpacks the packed FMU of one FMI version, loads
// its binary and drives it with the example scenarios of seatbelt_sim, comparing every output
// of every tick with seatbelt_sim's CSV of the same scenario.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "console_capture.h"
#include "fmu_importer.h"
#include "scenario.h"
#include "scenario_run.h"
#include "signal_log.h"

namespace fmu_test {
namespace {

const std::vector<std::string> kScenarioNames = {"drive", "door_grace", "highway",
                                                 "calibration_edges"};

std::string WorkDir() {
  const std::string dir = ::testing::TempDir() + "fmu_test_" + std::to_string(getpid());
  (void)mkdir(dir.c_str(), 0700);
  return dir;
}

// Runs seatbelt_sim --csv on the scenario file and reads its record; throws if it fails.
Reference RunSeatbeltSim(const std::string& scenario_path, const std::string& work_dir) {
  static int runs = 0;
  const std::string base = work_dir + "/sim" + std::to_string(++runs);
  const std::string command = "'" SEATBELT_SIM_PATH "' --csv '" + base + ".csv' '" + scenario_path +
                              "' >'" + base + ".out'";
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error("seatbelt_sim failed on " + scenario_path);
  }
  return ReadReference(base + ".csv", base + ".out");
}

struct Loaded {
  seatbelt_sim::Scenario scenario;
  Reference reference;
};

class FmuTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    const int version = GetParam();
    fmu_ = std::make_unique<Fmu>(version, version == 3 ? FMU3_PATH : FMU2_PATH, work_);
  }

  const Loaded& Scenario(const std::string& name) {
    auto found = loaded_.find(name);
    if (found == loaded_.end()) {
      const std::string path =
          name[0] == '/' ? name : std::string(SCENARIO_DIR) + "/" + name + ".txt";
      seatbelt_sim::ParseResult parsed = seatbelt_sim::LoadScenarioFile(path);
      if (!parsed.scenario) {
        throw std::runtime_error("cannot load " + path);
      }
      found = loaded_.emplace(name, Loaded{*parsed.scenario, RunSeatbeltSim(path, work_)}).first;
    }
    return found->second;
  }

  ScenarioRun MakeRun(const std::string& scenario, const std::string& name, bool logging_on) {
    const Loaded& loaded = Scenario(scenario);
    return ScenarioRun(*fmu_, loaded.scenario, loaded.reference, name, logging_on);
  }

  std::string work_ = WorkDir();
  std::unique_ptr<Fmu> fmu_;
  std::map<std::string, Loaded> loaded_;
};

// Eight live instances, two per scenario (one logging, one not), stepped in turn by 0.01 s with
// the time added up in floating point: every output of every tick, every trace line and every
// diagnostic report equals seatbelt_sim's, and nothing reaches the console.
TEST_P(FmuTest, EightInterleavedInstancesMatchSeatbeltSimEveryTick) {
  std::vector<ScenarioRun> runs;
  for (const std::string& scenario : kScenarioNames) {
    runs.push_back(MakeRun(scenario, scenario + "_logging", true));
    runs.push_back(MakeRun(scenario, scenario + "_quiet", false));
  }
  CaptureConsole console(work_ + "/console");
  bool ok = RunInterleaved(runs);
  for (ScenarioRun& run : runs) {
    ok = ok && run.LogMatches();
  }
  const std::string console_output = console.Captured();
  for (ScenarioRun& run : runs) {
    EXPECT_EQ(run.failure(), "");
  }
  EXPECT_TRUE(ok);
  EXPECT_EQ(console_output, "");
}

// Eight instances stepped at the same time from eight threads stay apart.
TEST_P(FmuTest, InstancesOnThreadsMatchSeatbeltSim) {
  std::vector<ScenarioRun> runs;
  for (int copy = 0; copy < 2; ++copy) {
    for (const std::string& scenario : kScenarioNames) {
      runs.push_back(MakeRun(scenario, scenario + "_" + std::to_string(copy), copy == 0));
    }
  }
  RunOnThreads(runs);
  for (ScenarioRun& run : runs) {
    EXPECT_EQ(run.failure(), "");
  }
}

// Steps of many sizes, some reaching no tick, some many: the outputs after each step are those
// after the last tick reached. The rest of each run goes in one step, with logging on: a
// hundred seconds without stimuli deliver their thousand trace lines in order.
TEST_P(FmuTest, UnevenAndLargeStepsMatchTheLastTickReached) {
  const std::string untouched = work_ + "/untouched.txt";
  std::ofstream(untouched) << "end 100000\n";
  for (const std::string& scenario : {std::string("drive"), std::string("highway"), untouched}) {
    ScenarioRun run = MakeRun(scenario, scenario, true);
    ASSERT_TRUE(run.Start()) << run.failure();
    const double steps[] = {0.004, 0.0137, 0.25, 0.006, 1.3, 0.01, 0.0999, 0.5};
    std::size_t next = 0u;
    while (!run.Finished()) {
      // Never past the tick before the next stimulus, so it can be set in time.
      const double stimulus_s = (static_cast<double>(run.NextStimulusMs()) - 10.0) / 1000.0;
      double step = steps[next++ % std::size(steps)];
      if (run.NextStimulusMs() == UINT32_MAX) {
        step = static_cast<double>(Scenario(scenario).reference.rows.back()[0]) / 1000.0 -
               run.now_s();  // the rest in one step
      } else if (run.now_s() + step > stimulus_s) {
        step = stimulus_s - run.now_s();
      }
      if (step <= 0.0) {
        step = 0.01;
      }
      ASSERT_TRUE(run.StepBy(step)) << run.failure();
    }
    EXPECT_TRUE(run.LogMatches()) << run.failure();
  }
}

// Reset and a new instantiation start from the power-on state, while another instance goes on
// untouched.
TEST_P(FmuTest, ResetAndNewInstanceStartFromPowerOn) {
  ScenarioRun other = MakeRun("highway", "other", false);
  ScenarioRun run = MakeRun("drive", "drive", false);
  ASSERT_TRUE(other.Start() && run.Start());
  for (int tick = 0; tick < 1500; ++tick) {
    ASSERT_TRUE(run.StepBy(0.01) && other.StepBy(0.01)) << run.failure() << other.failure();
  }
  ASSERT_EQ(run.slave().Reset(), 0);
  ScenarioRun again = MakeRun("drive", "drive", false);
  ASSERT_TRUE(again.Start());  // a new instance while the reset one lives
  ASSERT_EQ(run.slave().EnterInitialization(), 0);
  ASSERT_EQ(run.slave().ExitInitialization(), 0);
  EXPECT_EQ(run.slave().Value("latch_filtered_status"), 0x84u);
  EXPECT_EQ(run.slave().Value("warning_request"), 0u);
  ASSERT_EQ(run.slave().DoStep(0.0, 0.01), 0);  // time starts again at 0
  EXPECT_TRUE(other.RunToEnd()) << other.failure();
  EXPECT_TRUE(again.RunToEnd()) << again.failure();
}

// The variables, their value references and start values in the model description are what the
// binary has: the CSV columns of seatbelt_sim, the stuck flags and the calibration.
TEST_P(FmuTest, ModelDescriptionMatchesTheBinary) {
  std::vector<std::string> expected;
  for (const seatbelt_sim::SignalInfo& info : seatbelt_sim::kSignalInfo) {
    expected.emplace_back(info.name);
  }
  for (const char* name : {"latch_stuck", "speed_stuck", "latch_debounce_ms", "unlatch_debounce_ms",
                           "occ_debounce_ms", "speed_threshold", "door_grace_ms"}) {
    expected.emplace_back(name);
  }
  auto slave = Slave::Create(*fmu_);
  ASSERT_TRUE(slave->Instantiate("start", false));
  ASSERT_EQ(slave->EnterInitialization(), 0);
  std::size_t checked = 0u;
  for (const std::string& name : expected) {
    SCOPED_TRACE(name);
    const VariableInfo& variable = fmu_->Variable(name);
    const std::uint32_t start = variable.start == "true" ? 1u
                                : variable.start == "false"
                                    ? 0u
                                    : static_cast<std::uint32_t>(std::stoul(variable.start));
    EXPECT_EQ(slave->Value(name), start);
    ++checked;
  }
  EXPECT_EQ(checked, fmu_->variables().size() - (GetParam() == 3 ? 1u : 0u));  // and time
}

// Bad calls: refused with an error status and a logged reason, nothing applied, and the
// instance then runs a whole scenario as if they had never been made.
TEST_P(FmuTest, BadCallsAreRefusedAndTheInstanceStaysUsable) {
  const int fmi_error = 3;
  EXPECT_FALSE(Slave::Create(*fmu_)->Instantiate("wrong", true, "{not the token}"));
  EXPECT_FALSE(Slave::Create(*fmu_)->Instantiate("", true));

  ScenarioRun run = MakeRun("door_grace", "bad_calls", false);
  ASSERT_TRUE(run.Start());
  Slave& slave = run.slave();
  ASSERT_EQ(slave.SetDebugLogging(true, {"logStatusError"}), 0);
  const std::uint32_t unknown_vr = 999u;
  const std::uint32_t value = 1u;
  const std::size_t logged_before = slave.log.size();
  const int results[] = {
      slave.SetRaw("UInt32", &unknown_vr, 1u, &value),  // unknown value reference
      slave.SetRaw("UInt32", nullptr, 2u, nullptr),     // null arrays, two values
      slave.Set("door_grace_ms", 10u),                  // parameter after initialization
      slave.Set("warning_request", 2u),                 // an output
      slave.SetWrongType("speed_raw"),                  // the wrong type's function
      slave.DoStep(0.0, -0.01),                         // negative step
      slave.DoStep(0.5, 0.01),                          // not the current time
      slave.EnterInitialization(),                      // wrong state
      slave.SetDebugLogging(true, {"no_such_category"}),
  };
  for (int result : results) {
    EXPECT_EQ(result, fmi_error);
  }
  if (GetParam() == 2) {  // only FMI 2.0's Integer can hold a value out of range
    EXPECT_EQ(slave.Set("latch_raw", 256u), fmi_error);
    EXPECT_EQ(slave.Set("speed_raw", static_cast<std::uint32_t>(-1)), fmi_error);
    EXPECT_EQ(slave.Set("door_raw", 2u), fmi_error);
  }
  EXPECT_EQ(slave.log.size() - logged_before, std::size(results) + (GetParam() == 2 ? 3u : 0u));
  for (std::size_t i = logged_before; i < slave.log.size(); ++i) {
    EXPECT_EQ(slave.log[i].status, fmi_error);
    EXPECT_EQ(slave.log[i].category, "logStatusError");
  }
  EXPECT_EQ(slave.Value("latch_raw"), 1u);  // nothing applied
  EXPECT_TRUE(run.RunToEnd()) << run.failure();
  EXPECT_EQ(slave.Terminate(), 0);
  EXPECT_EQ(slave.DoStep(run.now_s(), 0.01), fmi_error);  // after termination
  EXPECT_EQ(slave.Value("warning_request"), 0u);          // outputs still readable
}

// Logging off calls the logger not once; categories switch on one by one.
TEST_P(FmuTest, LoggingFollowsTheChosenCategories) {
  ScenarioRun run = MakeRun("highway", "categories", false);
  ASSERT_TRUE(run.Start());
  ASSERT_EQ(run.slave().SetDebugLogging(true, {"diagnostic"}), 0);
  ASSERT_TRUE(run.RunToEnd()) << run.failure();
  EXPECT_EQ(run.slave().SetDebugLogging(true, {"no_such_category"}), 3);  // not logged
  const std::vector<std::string>& expected = Scenario("highway").reference.diagnostics;
  ASSERT_EQ(run.slave().log.size(), expected.size());
  for (std::size_t i = 0u; i < expected.size(); ++i) {
    EXPECT_NE(run.slave().log[i].message.find(expected[i]), std::string::npos);
    EXPECT_EQ(run.slave().log[i].category, "diagnostic");
  }
}

// Calls a function of the binary with exactly the argument types given; the FMI status comes
// back as int, the enumeration's underlying type.
template <typename... Args>
int Call(const Fmu& fmu, const char* name, Args... args) {
  return reinterpret_cast<int (*)(Args...)>(fmu.Symbol(name))(args...);
}

// Every function of the standard is there; those of capabilities the FMU lacks refuse with
// fmi*Error and a logged reason, whatever they are passed, and the inquiry functions answer.
// A start time other than 0 keeps the rule tick 10 k ms at 0.01 k s.
TEST_P(FmuTest, EveryStandardFunctionAnswersSensibly) {
  auto slave = Slave::Create(*fmu_);
  ASSERT_TRUE(slave->Instantiate("all", true));
  ASSERT_EQ(slave->EnterInitialization(5.0), 0);
  ASSERT_EQ(slave->ExitInitialization(), 0);
  ASSERT_EQ(slave->DoStep(5.0, 0.1), 0);
  ASSERT_FALSE(slave->log.empty());
  EXPECT_EQ(slave->log[0].message,
            "[TIME  5100] IGN=0 SPD=0 OCC=0 LATCH=1 DOOR=1 GRACE=2900 WARN=0");
  void* const i = slave->handle();
  const std::uint32_t vr = 3u;
  const std::uint32_t* const no_vrs = nullptr;
  std::size_t size = 99u;
  const int error = 3;
  const int discard = 2;
  std::vector<int> refused;
  if (GetParam() == 3) {
    EXPECT_STREQ(reinterpret_cast<const char* (*)()>(fmu_->Symbol("fmi3GetVersion"))(), "3.0");
    double time = 0.0;
    EXPECT_EQ(Call(*fmu_, "fmi3GetFloat64", i, &fmu_->Variable("time").vr, std::size_t{1}, &time,
                   std::size_t{1}),
              0);
    EXPECT_DOUBLE_EQ(time, 5.1);
    const std::uint32_t warning_vr = fmu_->Variable("warning_request").vr;
    EXPECT_EQ(Call(*fmu_, "fmi3GetNumberOfVariableDependencies", i, warning_vr, &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(Call(*fmu_, "fmi3GetVariableDependencies", i, warning_vr, nullptr, no_vrs, nullptr,
                   nullptr, std::size_t{0}),
              0);
    EXPECT_EQ(Call(*fmu_, "fmi3InstantiateModelExchange", "me", fmu_->token().c_str(), nullptr,
                   false, false, nullptr, nullptr),
              0);
    EXPECT_EQ(Call(*fmu_, "fmi3InstantiateScheduledExecution", "se", fmu_->token().c_str(), nullptr,
                   false, false, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    // A null instance is refused, never used.
    void* const none = nullptr;
    for (const char* name : {"fmi3ExitInitializationMode", "fmi3Terminate", "fmi3Reset"}) {
      EXPECT_EQ(Call(*fmu_, name, none), error);
    }
    EXPECT_EQ(Call(*fmu_, "fmi3GetUInt8", none, &vr, std::size_t{1}, nullptr, std::size_t{1}),
              error);
    EXPECT_EQ(Call(*fmu_, "fmi3SetUInt16", none, &vr, std::size_t{1}, nullptr, std::size_t{1}),
              error);
    EXPECT_EQ(Call(*fmu_, "fmi3DoStep", none, 0.0, 0.01, true, nullptr, nullptr, nullptr, nullptr),
              error);
    EXPECT_EQ(Call(*fmu_, "fmi3EnterInitializationMode", none, false, 0.0, 0.0, false, 0.0), error);
    EXPECT_EQ(Call(*fmu_, "fmi3SetDebugLogging", none, true, std::size_t{0}, nullptr), error);
    EXPECT_EQ(Call(*fmu_, "fmi3GetNumberOfVariableDependencies", none, vr, &size), error);
    refused.push_back(Call(*fmu_, "fmi3SetDebugLogging", i, true, std::size_t{2}, nullptr));
    for (const char* name :
         {"fmi3EnterEventMode", "fmi3EnterConfigurationMode", "fmi3ExitConfigurationMode",
          "fmi3EvaluateDiscreteStates", "fmi3EnterContinuousTimeMode", "fmi3EnterStepMode"}) {
      refused.push_back(Call(*fmu_, name, i));
    }
    EXPECT_EQ(Call(*fmu_, "fmi3FreeFMUState", i, nullptr), 0);  // nothing to free
    for (const char* name :
         {"fmi3GetFMUState", "fmi3GetNumberOfEventIndicators", "fmi3GetNumberOfContinuousStates"}) {
      refused.push_back(Call(*fmu_, name, i, nullptr));
    }
    for (const char* name : {"fmi3GetString", "fmi3SetString", "fmi3GetFloat32", "fmi3SetInt64",
                             "fmi3GetInt8", "fmi3SetFloat64"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, nullptr, std::size_t{1}));
    }
    for (const char* name : {"fmi3GetClock", "fmi3SetClock", "fmi3GetShiftDecimal",
                             "fmi3SetIntervalDecimal", "fmi3SetShiftDecimal"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, nullptr));
    }
    for (const char* name : {"fmi3GetIntervalDecimal", "fmi3GetShiftFraction",
                             "fmi3SetIntervalFraction", "fmi3SetShiftFraction"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, nullptr, nullptr));
    }
    refused.push_back(
        Call(*fmu_, "fmi3GetIntervalFraction", i, &vr, std::size_t{1}, nullptr, nullptr, nullptr));
    refused.push_back(
        Call(*fmu_, "fmi3GetBinary", i, &vr, std::size_t{1}, nullptr, nullptr, std::size_t{1}));
    refused.push_back(
        Call(*fmu_, "fmi3SetBinary", i, &vr, std::size_t{1}, nullptr, nullptr, std::size_t{1}));
    refused.push_back(Call(*fmu_, "fmi3GetNumberOfVariableDependencies", i, vr, &size));
    refused.push_back(Call(*fmu_, "fmi3SetFMUState", i, nullptr));
    refused.push_back(Call(*fmu_, "fmi3SerializedFMUStateSize", i, nullptr, &size));
    refused.push_back(Call(*fmu_, "fmi3SerializeFMUState", i, nullptr, nullptr, size));
    refused.push_back(Call(*fmu_, "fmi3DeserializeFMUState", i, nullptr, size, nullptr));
    for (const char* name : {"fmi3GetDirectionalDerivative", "fmi3GetAdjointDerivative"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, &vr, std::size_t{1}, nullptr,
                             std::size_t{1}, nullptr, std::size_t{1}));
    }
    refused.push_back(Call(*fmu_, "fmi3GetOutputDerivatives", i, &vr, std::size_t{1}, nullptr,
                           nullptr, std::size_t{1}));
    refused.push_back(Call(*fmu_, "fmi3UpdateDiscreteStates", i, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr));
    refused.push_back(Call(*fmu_, "fmi3CompletedIntegratorStep", i, true, nullptr, nullptr));
    refused.push_back(Call(*fmu_, "fmi3SetTime", i, 1.0));
    refused.push_back(Call(*fmu_, "fmi3ActivateModelPartition", i, vr, 1.0));
    for (const char* name :
         {"fmi3SetContinuousStates", "fmi3GetContinuousStateDerivatives", "fmi3GetEventIndicators",
          "fmi3GetContinuousStates", "fmi3GetNominalsOfContinuousStates"}) {
      refused.push_back(Call(*fmu_, name, i, nullptr, std::size_t{1}));
    }
  } else {
    EXPECT_STREQ(reinterpret_cast<const char* (*)()>(fmu_->Symbol("fmi2GetVersion"))(), "2.0");
    EXPECT_STREQ(reinterpret_cast<const char* (*)()>(fmu_->Symbol("fmi2GetTypesPlatform"))(),
                 "default");
    double time = 0.0;
    int terminated = 1;
    EXPECT_EQ(Call(*fmu_, "fmi2GetRealStatus", i, 2 /* fmi2LastSuccessfulTime */, &time), 0);
    EXPECT_DOUBLE_EQ(time, 5.1);
    EXPECT_EQ(Call(*fmu_, "fmi2GetBooleanStatus", i, 3 /* fmi2Terminated */, &terminated), 0);
    EXPECT_EQ(terminated, 0);
    EXPECT_EQ(Call(*fmu_, "fmi2GetStatus", i, 0, &terminated), discard);
    EXPECT_EQ(Call(*fmu_, "fmi2GetIntegerStatus", i, 0, &terminated), discard);
    EXPECT_EQ(Call(*fmu_, "fmi2GetStringStatus", i, 0, nullptr), discard);
    EXPECT_EQ(Call(*fmu_, "fmi2GetRealStatus", i, 0, &time), discard);
    EXPECT_EQ(Call(*fmu_, "fmi2GetBooleanStatus", i, 0, &terminated), discard);
    EXPECT_EQ(Call(*fmu_, "fmi2Instantiate", "me", 0 /* fmi2ModelExchange */, fmu_->token().c_str(),
                   nullptr, nullptr, 0, 0),
              0);
    void* const none = nullptr;
    for (const char* name : {"fmi2EnterInitializationMode", "fmi2ExitInitializationMode",
                             "fmi2Terminate", "fmi2Reset", "fmi2CancelStep"}) {
      EXPECT_EQ(Call(*fmu_, name, none), error);
    }
    EXPECT_EQ(Call(*fmu_, "fmi2DoStep", none, 0.0, 0.01, 1), error);
    EXPECT_EQ(Call(*fmu_, "fmi2SetupExperiment", none, 0, 0.0, 0.0, 0, 0.0), error);
    EXPECT_EQ(Call(*fmu_, "fmi2GetInteger", none, &vr, std::size_t{1}, nullptr), error);
    EXPECT_EQ(Call(*fmu_, "fmi2SetInteger", none, &vr, std::size_t{1}, nullptr), error);
    EXPECT_EQ(Call(*fmu_, "fmi2SetDebugLogging", none, 1, std::size_t{0}, nullptr), error);
    refused.push_back(Call(*fmu_, "fmi2SetDebugLogging", i, 1, std::size_t{2}, nullptr));
    refused.push_back(Call(*fmu_, "fmi2CancelStep", i));
    EXPECT_EQ(Call(*fmu_, "fmi2FreeFMUstate", i, nullptr), 0);  // nothing to free
    refused.push_back(Call(*fmu_, "fmi2GetFMUstate", i, nullptr));
    refused.push_back(Call(*fmu_, "fmi2SetFMUstate", i, nullptr));
    refused.push_back(Call(*fmu_, "fmi2SerializedFMUstateSize", i, nullptr, &size));
    refused.push_back(Call(*fmu_, "fmi2SerializeFMUstate", i, nullptr, nullptr, size));
    refused.push_back(Call(*fmu_, "fmi2DeSerializeFMUstate", i, nullptr, size, nullptr));
    refused.push_back(Call(*fmu_, "fmi2GetDirectionalDerivative", i, &vr, std::size_t{1}, &vr,
                           std::size_t{1}, nullptr, nullptr));
    for (const char* name : {"fmi2SetRealInputDerivatives", "fmi2GetRealOutputDerivatives"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, nullptr, nullptr));
    }
    for (const char* name : {"fmi2GetReal", "fmi2SetReal", "fmi2GetString", "fmi2SetString"}) {
      refused.push_back(Call(*fmu_, name, i, &vr, std::size_t{1}, nullptr));
    }
  }
  const std::size_t logged = slave->log.size();
  for (int status : refused) {
    EXPECT_EQ(status, error);
  }
  EXPECT_GE(logged, refused.size() + 1u);  // a reason for each, after the trace line
  EXPECT_EQ(slave->DoStep(5.1, 0.01), 0);  // still usable
}

// --- the FMU state ----------------------------------------------------------------------------

// Eight instances on eight threads, every scenario with logging on and off, each going back
// again and again (RunWithRollbacks) while the others step: after every rollback each tick,
// trace line and diagnostic report is again seatbelt_sim's, and no instance ever sees another's
// state.
TEST_P(FmuTest, GoingBackOnThreadsRerunsEveryTickAsBefore) {
  std::vector<ScenarioRun> runs;
  for (int copy = 0; copy < 2; ++copy) {
    for (const std::string& scenario : kScenarioNames) {
      runs.push_back(MakeRun(scenario, scenario, copy == 0));
    }
  }
  RunOnThreads(runs, true);
  for (ScenarioRun& run : runs) {
    EXPECT_EQ(run.failure(), "");
  }
}

// A state taken from one instance runs on in another: mid-scenario, where the second instance
// takes over the run, and before initialization, where it carries the parameters as set. A
// state lives as long as the instance that took it.
TEST_P(FmuTest, StateMovesBetweenInstances) {
  ScenarioRun first = MakeRun("highway", "highway", true);
  ScenarioRun second = MakeRun("highway", "highway", true);
  ASSERT_TRUE(first.Start() && second.Start());
  const std::size_t half = Scenario("highway").reference.rows.size() / 2u;
  for (std::size_t tick = 0u; tick < half; ++tick) {
    ASSERT_TRUE(first.StepBy(0.01)) << first.failure();
  }
  ScenarioRun::Mark mark;
  ASSERT_TRUE(first.Take(mark));
  EXPECT_TRUE(second.GoBack(mark, &first) && second.RunToEnd() && second.LogMatches())
      << second.failure();
  EXPECT_TRUE(first.RunToEnd() && first.LogMatches()) << first.failure();

  auto instantiated = Slave::Create(*fmu_);
  auto stepping = Slave::Create(*fmu_);
  ASSERT_TRUE(instantiated->Instantiate("instantiated", false) &&
              stepping->Instantiate("stepping", false));
  ASSERT_EQ(instantiated->Set("door_grace_ms", 1234u), 0);
  void* state = nullptr;
  ASSERT_EQ(instantiated->GetState(state), 0);
  ASSERT_EQ(stepping->EnterInitialization(), 0);
  ASSERT_EQ(stepping->ExitInitialization(), 0);
  ASSERT_EQ(stepping->DoStep(0.0, 1.0), 0);
  ASSERT_EQ(stepping->SetState(state), 0);  // back before initialization
  EXPECT_EQ(stepping->Set("door_grace_ms", 1235u), 0);
  ASSERT_EQ(stepping->SetState(state), 0);
  ASSERT_EQ(stepping->EnterInitialization(), 0);
  EXPECT_EQ(stepping->Value("door_grace_ms"), 1234u);
  instantiated->Free();
  EXPECT_EQ(stepping->SetState(state), 3);  // freed with its instance
}

// The least significant byte first, as the serialized state holds numbers.
void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0u; i < 8u; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8u * i));
  }
}

// What another build would write: the same bytes with byte at changed, checksum made right.
std::vector<std::uint8_t> OtherBuild(std::vector<std::uint8_t> bytes, std::size_t at) {
  bytes[at] ^= 0x5Au;
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a, 64 bits
  for (std::size_t i = 0u; i + 8u < bytes.size(); ++i) {
    hash = (hash ^ bytes[i]) * 1099511628211u;
  }
  PutLittleEndian(bytes, bytes.size() - 8u, hash);
  return bytes;
}

// Bytes that are no state of this binary and pointers that are no live state are refused with
// an error and a logged reason; no state is made and the instance is untouched: it runs on as
// if nothing had happened, and setting a state taken before brings it back as well.
TEST_P(FmuTest, BadStatesAreRefusedAndChangeNothing) {
  const int error = 3;
  ScenarioRun run = MakeRun("door_grace", "bad_states", false);
  ASSERT_TRUE(run.Start());
  for (int tick = 0; tick < 700; ++tick) {
    ASSERT_TRUE(run.StepBy(0.01)) << run.failure();
  }
  Slave& slave = run.slave();
  ScenarioRun::Mark mark;
  ASSERT_TRUE(run.Take(mark));
  std::vector<std::uint8_t> good;
  ASSERT_EQ(slave.SerializeState(mark.state, good), 0);
  ASSERT_GT(good.size(), 100u);

  const Fmu other_version(GetParam() == 3 ? 2 : 3, GetParam() == 3 ? FMU2_PATH : FMU3_PATH, work_);
  auto other = Slave::Create(other_version);
  void* other_state = nullptr;
  std::vector<std::uint8_t> other_bytes;
  ASSERT_TRUE(other->Instantiate("other", false));
  ASSERT_EQ(other->GetState(other_state), 0);
  ASSERT_EQ(other->SerializeState(other_state, other_bytes), 0);

  const std::size_t token_at = 20u;  // after tag, versions, phase, total size, token length
  const std::size_t token_length = fmu_->token().size();
  std::vector<std::uint8_t> corrupted = good;
  corrupted[good.size() / 2u] ^= 0x01u;
  const std::string text = "SBFMUST but no state";
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> bad = {
      {"empty", {}},
      {"truncated by one byte", {good.begin(), good.end() - 1}},
      {"only the header", {good.begin(), good.begin() + 16}},
      {"one byte too many",
       [&] {
         std::vector<std::uint8_t> longer = good;
         longer.push_back(0u);
         return longer;
       }()},
      {"one bit flipped", corrupted},
      {"the other FMI version's", other_bytes},
      {"another build's token", OtherBuild(good, token_at + token_length / 2u)},
      {"another build's layout", OtherBuild(good, token_at + token_length + 2u)},
      {"no state at all", {text.begin(), text.end()}},
  };
  ASSERT_EQ(slave.SetDebugLogging(true, {"logStatusError"}), 0);
  for (const auto& [what, bytes] : bad) {
    SCOPED_TRACE(what);
    const std::size_t logged = slave.log.size();
    void* state = nullptr;
    EXPECT_EQ(slave.DeserializeState(bytes.data(), bytes.size(), state), error);
    EXPECT_EQ(state, nullptr);
    ASSERT_EQ(slave.log.size(), logged + 1u);
    EXPECT_EQ(slave.log.back().category, "logStatusError");
  }
  void* state = nullptr;
  EXPECT_EQ(slave.DeserializeState(nullptr, good.size(), state), error);

  void* freed = nullptr;
  ASSERT_EQ(slave.GetState(freed), 0);
  void* const stale = freed;
  ASSERT_EQ(slave.FreeState(freed), 0);
  EXPECT_EQ(freed, nullptr);
  EXPECT_EQ(slave.FreeState(freed), 0);  // a null state: nothing to free
  int not_a_state = 0;
  std::vector<std::uint8_t> bytes;
  void* reused = stale;
  const int results[] = {slave.SetState(stale),        slave.SetState(nullptr),
                         slave.SetState(&not_a_state), slave.SetState(other_state),
                         slave.GetState(reused),       slave.SerializeState(stale, bytes)};
  for (int result : results) {
    EXPECT_EQ(result, error);
  }
  void* stale_copy = stale;
  EXPECT_EQ(slave.FreeState(stale_copy), error);
  std::vector<std::uint8_t> too_small(good.size() - 1u);
  EXPECT_EQ(Call(*fmu_, GetParam() == 3 ? "fmi3SerializeFMUState" : "fmi2SerializeFMUstate",
                 slave.handle(), mark.state, too_small.data(), too_small.size()),
            error);
  ASSERT_EQ(slave.SetDebugLogging(false, {}), 0);

  for (int tick = 0; tick < 300; ++tick) {  // as if nothing had happened
    ASSERT_TRUE(run.StepBy(0.01)) << run.failure();
  }
  EXPECT_TRUE(run.GoBack(mark) && run.RunToEnd()) << run.failure();
}

// The second process of SerializedStateRunsOnInAnotherProcess, started by it: reads the
// serialized state and the run's position, and runs the scenario on from there.
TEST_P(FmuTest, ResumesSerializedState) {
  const char* const path = std::getenv("FMU_TEST_RESUME");
  if (path == nullptr) {
    GTEST_SKIP() << "the second process of SerializedStateRunsOnInAnotherProcess";
  }
  std::ifstream in(path, std::ios::binary);
  ScenarioRun::Mark mark;
  std::string now_s;
  in >> mark.tick >> mark.next_stimulus >> now_s;
  mark.now_s = std::strtod(now_s.c_str(), nullptr);
  (void)in.get();
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  ScenarioRun run = MakeRun("drive", "drive", false);
  ASSERT_TRUE(run.Start());
  ASSERT_EQ(run.slave().DeserializeState(bytes.data(), bytes.size(), mark.state), 0);
  EXPECT_TRUE(run.GoBack(mark) && run.RunToEnd() && run.LogMatches()) << run.failure();
}

// A state serialized here is deserialized by the same binary in another process, which runs
// the scenario on to the end, every tick as seatbelt_sim's.
TEST_P(FmuTest, SerializedStateRunsOnInAnotherProcess) {
  ScenarioRun run = MakeRun("drive", "drive", false);
  ASSERT_TRUE(run.Start());
  const std::size_t half = Scenario("drive").reference.rows.size() / 2u;
  for (std::size_t tick = 0u; tick < half; ++tick) {
    ASSERT_TRUE(run.StepBy(0.01)) << run.failure();
  }
  ScenarioRun::Mark mark;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(run.Take(mark));
  ASSERT_EQ(run.slave().SerializeState(mark.state, bytes), 0);
  const std::string path = work_ + "/state" + std::to_string(GetParam());
  {
    std::ofstream out(path, std::ios::binary);
    char now_s[64];
    (void)std::snprintf(now_s, sizeof now_s, "%a", mark.now_s);  // every bit of the time
    out << mark.tick << ' ' << mark.next_stimulus << ' ' << now_s << '\n';
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  const std::string test =
      ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() +
      std::string(".ResumesSerializedState/Fmi") + std::to_string(GetParam());
  char program[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", program, sizeof program - 1u), 0);
  const std::string command = "FMU_TEST_RESUME='" + path + "' '" + program + "' --gtest_filter='" +
                              test + "' >'" + path + ".out' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::ifstream output(path + ".out");
  const std::string text{std::istreambuf_iterator<char>(output), std::istreambuf_iterator<char>()};
  EXPECT_NE(text.find("[  PASSED  ] 1 test."), std::string::npos) << text;
  EXPECT_TRUE(run.RunToEnd()) << run.failure();
}

INSTANTIATE_TEST_SUITE_P(FmiVersions, FmuTest, ::testing::Values(3, 2),
                         [](const ::testing::TestParamInfo<int>& version) {
                           return "Fmi" + std::to_string(version.param);
                         });

}  // namespace
}  // namespace fmu_test
