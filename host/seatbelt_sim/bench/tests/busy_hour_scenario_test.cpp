// The busy hour that seatbelt_sim_bench times must be a valid scenario that keeps the program as
// busy as its description says, or the benchmark measures an idle hour (or an error exit).
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "busy_hour_scenario.h"
#include "scenario.h"

namespace {

using seatbelt_sim::Input;

TEST(BusyHourScenario, IsSixtyDrivesEndingAtOneHour) {
  const seatbelt_sim::ParseResult parsed =
      seatbelt_sim::ParseScenario(seatbelt_sim_bench::BusyHourScenario(), "busy hour");
  ASSERT_TRUE(parsed.scenario.has_value()) << parsed.error.message;
  const seatbelt_sim::Scenario& scenario = *parsed.scenario;
  std::size_t notes = 0u;
  for (const seatbelt_sim::ParsedStimulus& stimulus : scenario.stimuli) {
    if (stimulus.input == Input::kNote) {
      EXPECT_EQ(stimulus.time_ms % seatbelt_sim_bench::kDriveMs, 0u) << stimulus.text;
      ++notes;
    }
  }
  EXPECT_EQ(notes, 60u);
  EXPECT_EQ(scenario.stimuli.size(), 60u * 18u);
  EXPECT_EQ(scenario.end_ms, seatbelt_sim_bench::kBusyHourMs);
}

// Runs the program on the scenario, with the benchmark's expectations, and reads its closing
// summary: they must all pass, or the benchmark times a failing run.
TEST(BusyHourScenario, WarnsTwiceInEveryDriveAndMeetsItsExpectations) {
  char path[] = "/tmp/busy_hour_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const std::string text =
      seatbelt_sim_bench::BusyHourScenario() + seatbelt_sim_bench::BusyHourExpectations(100);
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  (void)close(fd);

  const std::string command = std::string(SEATBELT_SIM_PATH) + " " + path;
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string summary;
  std::array<char, 256> line{};
  while (std::fgets(line.data(), static_cast<int>(line.size()), out) != nullptr) {
    const std::string text_line = line.data();
    if (text_line.rfind("[SIM] ticks run:", 0u) == 0u ||
        text_line.rfind("[SIM] warning intervals:", 0u) == 0u ||
        text_line.rfind("[SIM] expectations:", 0u) == 0u) {
      summary += text_line;
    }
  }
  EXPECT_EQ(pclose(out), 0);
  (void)unlink(path);
  EXPECT_EQ(summary,
            "[SIM] ticks run: 360000 (last tick at 3600000 ms)\n"
            "[SIM] warning intervals: 120\n"
            "[SIM] expectations: 100 passed, 0 failed\n");
}

}  // namespace
