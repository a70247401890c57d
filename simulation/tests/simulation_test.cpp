// The tick loop as a writer of the run sees it: which stimulus reaches an observer on which
// tick, one sample per tick, and how the end of the run reports an output that failed. Each case
// runs in its own process: the components keep their state.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Rte_Host.h"
#include "run_record.h"
#include "run_setup.h"
#include "signal_log.h"
#include "simulation.h"

namespace seatbelt_sim {
namespace {

class Recorder final : public RunObserver {
 public:
  void OnStimulus(uint32 time_ms, const Stimulus& stimulus) override {
    stimuli.emplace_back(time_ms, stimulus.input);
  }
  void OnTick(const TickSample& sample) override { samples.push_back(sample); }
  bool Finish(uint32 end_ms) override {
    finished_at = end_ms;
    return finish_result;
  }
  void PrintError(std::FILE* out, const char* program) const override {
    (void)std::fprintf(out, "%s: recorder failed\n", program);
  }

  std::vector<std::pair<uint32, Input>> stimuli;
  std::vector<TickSample> samples;
  uint32 finished_at = 0u;
  bool finish_result = true;
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  int c = 0;
  while ((c = std::fgetc(file)) != EOF) {
    text += static_cast<char>(c);
  }
  return text;
}

const Stimulus kStimuli[] = {
    {0u, Input::kIgnition, IGN_ON, nullptr},  // before the first tick: acts on it, at 10 ms
    {15u, Input::kSpeed, 40u, nullptr},       // between ticks: acts on the tick at 20 ms
    {20u, Input::kNote, 0u, "same tick"},     // the same tick, after the speed
    {30u, Input::kLatch, 0u, nullptr},        // the last tick
};

RunSetup ObservedRun() {
  RunSetup run;
  run.name = "observed";
  run.calibration = RteHost_DefaultCalibration();
  run.ticks = 3u;
  run.stimuli = kStimuli;
  run.stimulus_count = sizeof kStimuli / sizeof kStimuli[0];
  return run;
}

TEST(SeatbeltSimRun, ObserversSeeEachStimulusOnItsTickAndOneSamplePerTick) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  Recorder first;
  Recorder second;
  RunObserver* observers[] = {&first, &second};
  RunRecord record(out);
  RunSimulation(ObservedRun(), out, record, observers, 2u);

  const std::vector<std::pair<uint32, Input>> expected = {
      {10u, Input::kIgnition}, {20u, Input::kSpeed}, {20u, Input::kNote}, {30u, Input::kLatch}};
  for (const Recorder* recorder : {&first, &second}) {
    EXPECT_EQ(recorder->stimuli, expected);
    ASSERT_EQ(recorder->samples.size(), 3u);
    EXPECT_EQ(recorder->samples[0].time_ms, 10u);
    EXPECT_EQ(recorder->samples[2].time_ms, 30u);
    // The raw inputs of a tick include the stimuli applied before it.
    EXPECT_EQ(recorder->samples[0].values[kIgnitionRaw], IGN_ON);
    EXPECT_EQ(recorder->samples[0].values[kSpeedRaw], 0u);
    EXPECT_EQ(recorder->samples[1].values[kSpeedRaw], 40u);
    EXPECT_EQ(recorder->samples[2].values[kLatchRaw], 0u);
    EXPECT_EQ(recorder->samples[1].values[kVehicleSpeed], 40u);
  }
  const std::string printed = Contents(out);
  EXPECT_NE(printed.find("[SIM] t=20 ms: set speed = 40\n[SIM] t=20 ms: note: same tick\n"),
            std::string::npos)
      << printed;
  std::fclose(out);
}

TEST(SeatbeltSimRun, FinishingReportsEveryOutputThatFailedAndGoesOn) {
  std::FILE* out = std::tmpfile();
  std::FILE* errors = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ASSERT_NE(errors, nullptr);
  Recorder failing;
  failing.finish_result = false;
  Recorder good;
  RunObserver* observers[] = {&failing, &good};
  RunRecord record(out);
  RunSimulation(ObservedRun(), out, record, observers, 2u);

  const int status = FinishRun(out, record, observers, 2u, 30u, "prog", errors);

  EXPECT_EQ(status, kExitOutputFailed);
  EXPECT_EQ(failing.finished_at, 30u);
  EXPECT_EQ(good.finished_at, 30u) << "a failed output must not keep the others from finishing";
  EXPECT_EQ(Contents(errors), "prog: recorder failed\n");
  std::fclose(out);
  std::fclose(errors);
}

}  // namespace
}  // namespace seatbelt_sim
