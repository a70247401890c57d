// Race analysis log, report and scenarios, observed through the printed text and through the
// position of the shared rand() sequence (every accepted event takes exactly three draws).
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "IC_RaceAnalysis.h"

namespace {

using Counts = std::array<unsigned, 5>;  // locks, unlocks, shared, waits, interrupts

std::string Captured(const std::function<void()>& action) {
  testing::internal::CaptureStdout();
  action();
  return testing::internal::GetCapturedStdout();
}

// The module's random source: the C library's shared sequence, which is what the tests observe.
int NextRand() {
  return std::rand();  // NOLINT(cert-msc30-c,cert-msc50-cpp,concurrency-mt-unsafe)
}

// The first n values of rand() after srand(seed); leaves the generator seeded with `seed` again
// so the code under test sees the same values.
std::vector<int> DrawsAfterSeed(unsigned seed, std::size_t n) {
  std::srand(seed);
  std::vector<int> draws(n);
  for (int& d : draws) {
    d = NextRand();
  }
  std::srand(seed);
  return draws;
}

std::string CriticalLine(int draw, unsigned thread, unsigned resource, const std::string& loc) {
  return "CRITICAL [" + std::to_string(draw % 10000) + " ms]: Thread " + std::to_string(thread) +
         ", Resource " + std::to_string(resource) + ", Location: " + loc + "\n";
}

std::string ExpectedReport(unsigned total, const Counts& c, const std::string& critical) {
  const std::string rule(50, '=');
  return "\n" + rule + "\nAUTOSAR INSTRUMENT CLUSTER - RACE CONDITION ANALYSIS REPORT\n" + rule +
         "\nAnalysis Period: " + std::to_string(total) + " events over 2547 ms\n" +
         "\nEvent Type Summary:\n- Resource Locks: " + std::to_string(c[0]) +
         "\n- Resource Unlocks: " + std::to_string(c[1]) +
         "\n- Shared Access: " + std::to_string(c[2]) +
         "\n- Priority Waits: " + std::to_string(c[3]) +
         "\n- Interrupt Events: " + std::to_string(c[4]) +
         "\n\nCRITICAL RACE CONDITIONS DETECTED:\n" +
         (critical.empty() ? "No critical race conditions detected.\n" : critical) +
         "\nRESOURCE CONTENTION ANALYSIS:\n"
         "Resource contention analysis shows moderate contention levels.\n"
         "\nDEADLOCK RISK ANALYSIS:\n"
         "Deadlock risk: MEDIUM - Recommend implementing timeout mechanisms.\n"
         "\nRECOMMENDATIONS TO PREVENT IC DEAD STATE:\n"
         "1. Use AUTOSAR OS GetResource/ReleaseResource APIs\n"
         "2. Implement resource timeouts\n"
         "3. Minimize critical section duration\n"
         "4. Use priority ceiling protocol\n"
         "5. Implement comprehensive error recovery\n" +
         rule + "\n";
}

const char kScenarioText[] =
    "Simulating IC race condition scenarios...\n"
    "\n1. Simulating display buffer race condition:\n"
    "   -> Display buffer corruption detected\n"
    "   -> Result: IC shows incorrect values or freezes\n"
    "\n2. Simulating CAN message race condition:\n"
    "   -> CAN message buffer corruption detected\n"
    "   -> Result: Lost or corrupted vehicle data\n"
    "\n3. Simulating priority inversion:\n"
    "   -> Priority inversion detected\n"
    "   -> Result: Real-time display updates delayed\n"
    "\n4. Simulating deadlock scenario:\n"
    "   -> Deadlock scenario: Tasks waiting for each other's resources\n"
    "   -> Result: Complete system freeze - IC becomes dead\n"
    "\nSimulation complete. Check analysis report for results.\n";

// Critical lines of the nine scenario rows (1, 2, 4, 6, 8, 9), with the row's first draw at
// draws[first + 3 * row index].
std::string ScenarioCriticalLines(const std::vector<int>& draws, std::size_t first) {
  auto ts = [&](std::size_t row) { return draws[first + 3 * (row - 1)]; };
  return CriticalLine(ts(1), 1, 1, "IC_DisplayManager_UpdateSpeed") +
         CriticalLine(ts(2), 2, 1, "IC_DisplayManager_UpdateRPM") +
         CriticalLine(ts(4), 1, 2, "IC_CANMessageHandler") +
         CriticalLine(ts(6), 1, 1, "LowPriorityTask") + CriticalLine(ts(8), 1, 1, "Task_A") +
         CriticalLine(ts(9), 2, 2, "Task_B");
}

TEST(RaceLog, BeforeInitEventsAreDroppedWithoutDrawsAndReportIsEmpty) {
  const auto draws = DrawsAfterSeed(11u, 1);
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 1u, 1u, "Task");
  EXPECT_EQ(kScenarioText, Captured(IC_RaceAnalysis_SimulateScenarios));  // records nothing
  EXPECT_EQ(draws[0], NextRand()) << "a dropped event must not consume a random draw";

  const std::string first = Captured(IC_RaceAnalysis_GenerateReport);
  EXPECT_EQ(ExpectedReport(0, {0, 0, 0, 0, 0}, ""), first);
  EXPECT_EQ(first, Captured(IC_RaceAnalysis_GenerateReport)) << "the report changes nothing";
}

TEST(RaceLog, InitPrintsItsLineAndEmptyLogReportsNoCriticalEvent) {
  EXPECT_EQ("IC Race Condition Analysis System Initialized\n", Captured(IC_RaceAnalysis_Init));
  EXPECT_EQ(ExpectedReport(0, {0, 0, 0, 0, 0}, ""), Captured(IC_RaceAnalysis_GenerateReport));
}

TEST(RaceLog, EachEventTakesThreeDrawsTimeStampFirstAndReportTakesNone) {
  IC_RaceAnalysis_Init();
  const auto draws = DrawsAfterSeed(42u, 10);
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 7u, 3u, "A");
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_UNLOCK, 7u, 3u, "B");
  IC_RaceAnalysis_LogEvent(RACE_EVENT_SHARED_ACCESS, 4000000000u, 0u, "C");

  const std::string report = Captured(IC_RaceAnalysis_GenerateReport);
  EXPECT_EQ(ExpectedReport(
                3, {1, 1, 1, 0, 0},
                CriticalLine(draws[0], 7, 3, "A") + CriticalLine(draws[6], 4000000000u, 0, "C")),
            report);
  EXPECT_EQ(draws[9], NextRand()) << "three events and a report: exactly nine draws";
}

TEST(RaceLog, OnlyLocksAndSharedAccessesAreCritical) {
  IC_RaceAnalysis_Init();
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_UNLOCK, 1u, 1u, "Unlock");
  IC_RaceAnalysis_LogEvent(RACE_EVENT_PRIORITY_WAIT, 2u, 1u, "Wait");
  IC_RaceAnalysis_LogEvent(RACE_EVENT_INTERRUPT, 3u, 1u, "Isr");
  EXPECT_EQ(ExpectedReport(3, {0, 1, 0, 1, 1}, ""), Captured(IC_RaceAnalysis_GenerateReport));
}

TEST(RaceLog, OutOfRangeKindsCountInTotalOnlyAndAreNeverCritical) {
  IC_RaceAnalysis_Init();
  const auto draws = DrawsAfterSeed(3u, 7);
  IC_RaceAnalysis_LogEvent(RACE_EVENT_MAX, 1u, 1u, "Five");
  IC_RaceAnalysis_LogEvent(0xFFFFFFFFu, 2u, 2u, "Max");
  EXPECT_EQ(ExpectedReport(2, {0, 0, 0, 0, 0}, ""), Captured(IC_RaceAnalysis_GenerateReport));
  EXPECT_EQ(draws[6], NextRand()) << "out-of-range kinds are still logged with their draws";
}

TEST(RaceLog, LocationIsCutAfter63Characters) {
  IC_RaceAnalysis_Init();
  const auto draws = DrawsAfterSeed(5u, 16);
  const std::string exact63(63, 'a');
  const std::string long64 = std::string(63, 'b') + "X";
  const std::string long200 = std::string(63, 'c') + std::string(137, 'Y');
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 1u, 1u, exact63.c_str());
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 2u, 1u, long64.c_str());
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 3u, 1u, long200.c_str());
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 4u, 1u, "");
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 5u, 1u, nullptr);  // logged as empty

  EXPECT_EQ(
      ExpectedReport(5, {5, 0, 0, 0, 0},
                     CriticalLine(draws[0], 1, 1, exact63) +
                         CriticalLine(draws[3], 2, 1, std::string(63, 'b')) +
                         CriticalLine(draws[6], 3, 1, std::string(63, 'c')) +
                         CriticalLine(draws[9], 4, 1, "") + CriticalLine(draws[12], 5, 1, "")),
      Captured(IC_RaceAnalysis_GenerateReport));
  EXPECT_EQ(draws[15], NextRand()) << "a null location still takes its three draws";
}

TEST(RaceLog, FullLogDropsFurtherEventsSilentlyUntilNextInit) {
  IC_RaceAnalysis_Init();
  const auto draws = DrawsAfterSeed(9u, 3001);
  for (int i = 0; i < 999; i++) {
    IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_UNLOCK, 1u, 1u, "Unlock");
  }
  IC_RaceAnalysis_LogEvent(RACE_EVENT_SHARED_ACCESS, 2u, 9u, "Last");  // entry 999, the last
  EXPECT_EQ(
      "", Captured([] { IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 3u, 3u, "Dropped"); }));
  EXPECT_EQ(draws[3000], NextRand()) << "the dropped 1001st event took a draw";

  EXPECT_EQ(ExpectedReport(1000, {0, 999, 1, 0, 0}, CriticalLine(draws[2997], 2, 9, "Last")),
            Captured(IC_RaceAnalysis_GenerateReport));

  // Init starts over at entry 0, whatever the log held.
  IC_RaceAnalysis_Init();
  const auto again = DrawsAfterSeed(10u, 3);
  IC_RaceAnalysis_LogEvent(RACE_EVENT_RESOURCE_LOCK, 4u, 4u, "Fresh");
  EXPECT_EQ(ExpectedReport(1, {1, 0, 0, 0, 0}, CriticalLine(again[0], 4, 4, "Fresh")),
            Captured(IC_RaceAnalysis_GenerateReport));
}

TEST(RaceScenarios, TwiceAfterOneInitLogsEighteenEventsInRowOrder) {
  IC_RaceAnalysis_Init();
  const auto draws = DrawsAfterSeed(21u, 55);
  EXPECT_EQ(std::string(kScenarioText) + kScenarioText, Captured([] {
              IC_RaceAnalysis_SimulateScenarios();
              IC_RaceAnalysis_SimulateScenarios();
            }));
  EXPECT_EQ(draws[54], NextRand()) << "18 events, three draws each";
  EXPECT_EQ(ExpectedReport(18, {6, 0, 6, 2, 4},
                           ScenarioCriticalLines(draws, 0) + ScenarioCriticalLines(draws, 27)),
            Captured(IC_RaceAnalysis_GenerateReport));
}

TEST(RaceScenarios, NearlyFullLogTakesOnlyTheFirstFiveRowsButPrintsAllVerdicts) {
  IC_RaceAnalysis_Init();
  for (int i = 0; i < 995; i++) {
    IC_RaceAnalysis_LogEvent(RACE_EVENT_INTERRUPT, 0u, 0u, "Filler");
  }
  const auto draws = DrawsAfterSeed(8u, 16);
  EXPECT_EQ(kScenarioText, Captured(IC_RaceAnalysis_SimulateScenarios));
  EXPECT_EQ(draws[15], NextRand()) << "rows 6 to 9 are dropped without draws";
  EXPECT_EQ(ExpectedReport(1000, {0, 0, 3, 0, 997},
                           CriticalLine(draws[0], 1, 1, "IC_DisplayManager_UpdateSpeed") +
                               CriticalLine(draws[3], 2, 1, "IC_DisplayManager_UpdateRPM") +
                               CriticalLine(draws[9], 1, 2, "IC_CANMessageHandler")),
            Captured(IC_RaceAnalysis_GenerateReport));
}

TEST(RaceTool, MainPrintsTheWholeAnalysisAndASecondRunContinuesTheDraws) {
  const auto draws = DrawsAfterSeed(1u, 54);
  auto expected = [&](std::size_t first) {
    return "AUTOSAR Instrument Cluster Race Condition Analysis Tool\n" + std::string(53, '=') +
           "\n\nIC Race Condition Analysis System Initialized\n" + kScenarioText +
           ExpectedReport(9, {3, 0, 3, 1, 2}, ScenarioCriticalLines(draws, first)) +
           "\nAnalysis complete. Review report for race condition prevention strategies.\n";
  };
  int result = -1;
  EXPECT_EQ(expected(0), Captured([&] { result = HazardscopeMain(); }));
  EXPECT_EQ(0, result);
  EXPECT_EQ(expected(27), Captured([&] { result = HazardscopeMain(); }))
      << "a second run starts from a cleared log with the next 27 draws";
  EXPECT_EQ(0, result);
}

}  // namespace
