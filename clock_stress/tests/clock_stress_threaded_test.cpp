// Threaded tests of clock_stress: the double buffer under a producer that never pauses, and short
// real runs of both producer/consumer pairs. Meant to run under the thread sanitizer as well.
#include "../clock_stress.cpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using std::chrono::milliseconds;

constexpr Nanos kShortRun = milliseconds(300);

// Publication n carries n in every field, so a copy mixing two publications breaks the relation.
TimeValue encoded(std::int64_t n) {
  TimeValue v;
  v.hours = static_cast<std::int32_t>(n % 24);
  v.minutes = static_cast<std::int32_t>(n % 60);
  v.seconds = static_cast<std::int32_t>(n % 59);
  v.valid = n % 2 == 1;
  v.timestamp = SteadyClock::time_point(Nanos(n));
  return v;
}

TEST(ClockStressThreaded, DoubleBufferCopiesAreWholeAndNeverGoBack) {
  constexpr int kReads = 300000;  // taken while the producer is known to be publishing
  DoubleBuffer buffer;
  std::atomic<bool> done{false};
  std::int64_t published = 0;
  std::thread producer([&buffer, &done, &published] {
    // No pacing: every slot is rewritten as soon as possible, so copies overlap writes often.
    while (!done.load()) {
      buffer.publish(encoded(++published));
    }
  });

  std::int64_t last = 0;
  int torn = 0;
  int backwards = 0;
  // Only reads taken once the producer has published count towards kReads.
  for (int reads = 0; reads < kReads;) {
    const TimeValue v = buffer.read();
    const std::int64_t n = v.timestamp.time_since_epoch().count();
    const TimeValue expected = encoded(n);
    torn += v.hours != expected.hours || v.minutes != expected.minutes ||
                    v.seconds != expected.seconds || v.valid != expected.valid
                ? 1
                : 0;
    backwards += n < last ? 1 : 0;
    last = n;
    if (last > 0) {
      ++reads;
    }
  }
  done.store(true);
  producer.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(backwards, 0);
  EXPECT_EQ(buffer.read().timestamp.time_since_epoch().count(), published);
  RecordProperty("publications", std::to_string(published));
}

// The text with every run of digits replaced by '#', and those numbers in order.
std::string maskNumbers(const std::string& text, std::vector<std::uint64_t>* numbers = nullptr) {
  std::string masked;
  for (std::size_t i = 0; i < text.size();) {
    if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
      masked += text[i++];
      continue;
    }
    const std::size_t end = text.find_first_not_of("0123456789", i);
    const std::string digits = text.substr(i, end - i);
    if (numbers != nullptr) {
      numbers->push_back(std::stoull(digits));
    }
    masked += '#';
    i = end == std::string::npos ? text.size() : end;
  }
  return masked;
}

// A periodic line shows a blank or a time of 8 characters.
bool isPeriodicLine(const std::string& line, const std::string& tag) {
  return line == tag + "BLANK --:--:--" ||
         (line.size() == tag.size() + 8 && maskNumbers(line) == tag + "#:#:#");
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    result.push_back(line);
  }
  return result;
}

// A fast consumer, so a short run reaches the 40th reading.
StressConfig fastConfig() {
  StressConfig config;
  config.producerPeriodMs = 5;
  config.consumerPeriodMs = 1;
  config.maxStallMs = 20;
  return config;
}

TEST(ClockStressThreaded, NaiveRunCountsAndPrintsEveryFortiethReading) {
  SimContext ctx;
  ctx.config = fastConfig();
  std::ostringstream out;
  runNaive(ctx, kShortRun, out);

  EXPECT_TRUE(ctx.stop.load());
  EXPECT_GT(ctx.naive.produced.load(), 0U);
  EXPECT_LE(ctx.naive.blankEvents.load(), ctx.naive.consumed.load());
  EXPECT_EQ(ctx.naive.invalidTransitions.load(), 0U);
  EXPECT_EQ(ctx.robust.consumed.load(), 0U);
  const std::vector<std::string> printed = lines(out.str());
  EXPECT_EQ(printed.size(), ctx.naive.consumed.load() / 40);
  for (const std::string& line : printed) {
    EXPECT_TRUE(isPeriodicLine(line, "[Naive] ")) << line;
  }
}

TEST(ClockStressThreaded, RobustRunHoldsThroughStallsWithoutWaitingForThem) {
  SimContext ctx;
  ctx.config = fastConfig();
  ctx.config.stallProbability = 1.0;  // every producer iteration stalls up to 150 ms
  ctx.config.maxStallMs = 150;
  ctx.stop.store(true);  // the robust run clears it itself
  std::ostringstream out;
  runRobust(ctx, kShortRun, out);

  // The consumer reads every 1 ms whatever the producer does; 300 readings without any load.
  EXPECT_GE(ctx.robust.consumed.load(), 80U);
  EXPECT_EQ(ctx.robust.blankEvents.load(), 0U) << "first stall is within the 250 ms grace";
  EXPECT_EQ(ctx.naive.consumed.load(), 0U);
  const std::vector<std::string> printed = lines(out.str());
  EXPECT_EQ(printed.size(), ctx.robust.consumed.load() / 40);
  for (const std::string& line : printed) {
    EXPECT_TRUE(isPeriodicLine(line, "[Robust] ")) << line;
    EXPECT_EQ(line.find("BLANK"), std::string::npos) << line;
  }
}

TEST(ClockStressThreaded, BothRunsBlankEveryReadingWhenNoneIsValid) {
  SimContext ctx;
  ctx.config = fastConfig();
  ctx.config.timeoutMs = 0;  // without jitter every reading is invalid
  ctx.config.jitterProbability = 0.0;
  ctx.config.graceMs = -1;
  std::ostringstream out;
  runNaive(ctx, kShortRun, out);
  runRobust(ctx, kShortRun, out);

  EXPECT_EQ(ctx.naive.blankEvents.load(), ctx.naive.consumed.load());
  EXPECT_EQ(ctx.robust.blankEvents.load(), ctx.robust.consumed.load());
  EXPECT_EQ(ctx.robust.invalidTransitions.load(), 1U) << "one episode from the first reading on";
}

// With the timeout read as 0 from a non-numeric value and no grace, both runs blank every
// reading, which shows that the environment reaches both consumers.
TEST(ClockStressThreaded, ProgramPrintsBothRunsAndTheExpectation) {
  ASSERT_EQ(setenv("SIM_TIMEOUT_MS", "off", 1), 0);
  ASSERT_EQ(setenv("SIM_GRACE_MS", "-1", 1), 0);
  std::ostringstream out;
  EXPECT_EQ(runProgram(kShortRun, out), 0);

  // The default 50 ms consumer takes too few readings in a short run to print any.
  std::vector<std::uint64_t> n;
  EXPECT_EQ(
      maskNumbers(out.str(), &n),
      "Running NAIVE simulation (#s)...\n"
      "\n=== Naive ===\nProduced: #\nConsumed: #\nBlank events: #\nInvalid transitions: #\n"
      "\nRunning ROBUST simulation (#s)...\n"
      "\n=== Robust ===\nProduced: #\nConsumed: #\nBlank events: #\nInvalid transitions: #\n"
      "\nExpectation: Robust should have far fewer (ideally zero) blank events under the same "
      "stress.\n");
  ASSERT_EQ(n.size(), 10U) << out.str();
  EXPECT_EQ(n[0], 12U);
  EXPECT_EQ(n[5], 12U);
  for (const std::size_t block : {1U, 6U}) {  // produced, consumed, blank, invalid transitions
    EXPECT_GT(n[block], 0U);
    EXPECT_GT(n[block + 1], 0U);
    EXPECT_EQ(n[block + 2], n[block + 1]) << "every reading blank, block at " << block;
    EXPECT_EQ(n[block + 3], block == 1U ? 0U : 1U);
  }
}

}  // namespace
