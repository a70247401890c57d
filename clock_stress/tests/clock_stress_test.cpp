// Single-threaded tests of clock_stress: the simulated clock, the consumers' decisions, the
// environment and the statistics text, driven by a fake clock and a fixed random seed.
#include "../clock_stress.cpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Steady-clock time points set by the test. Each read advances by `step`, so consecutive readings
// can be made equal or one apart.
struct FakeClock {
  static inline SteadyClock::time_point current{};
  static inline Nanos step{0};
  static inline int reads = 0;

  static SteadyClock::time_point now() {
    ++reads;
    const SteadyClock::time_point t = current;
    current += step;
    return t;
  }
  static void reset(Nanos step_ = Nanos(0)) {
    current = SteadyClock::time_point(seconds(1000));  // away from the epoch, which means "unset"
    step = step_;
    reads = 0;
  }
};

constexpr unsigned int kSeed = 42U;

struct FixedDevice {
  explicit FixedDevice(const std::string& /*path*/) {}
  unsigned int operator()() { return kSeed; }
};

using FakeSource = TimeSource<FakeClock, FixedDevice>;

TimeValue reading(bool valid, SteadyClock::time_point stamp, std::int32_t s = 0) {
  TimeValue v;
  v.seconds = s;
  v.valid = valid;
  v.timestamp = stamp;
  return v;
}

TEST(ClockStressTimeSource, AdvancesOneSecondFromTheCallThatCrossedTheLastOne) {
  FakeClock::reset();
  const SteadyClock::time_point t0 = FakeClock::current;
  FakeSource source{StressConfig{}};

  FakeClock::current = t0 + Nanos(kNanosPerSecond - 1);
  EXPECT_EQ(fmt(source.next()), "12:00:00");
  FakeClock::current = t0 + milliseconds(1500);  // advance; the next second starts here
  EXPECT_EQ(fmt(source.next()), "12:00:01");
  FakeClock::current =
      t0 + milliseconds(2000);  // 2 s after start, but only 0.5 s after the advance
  EXPECT_EQ(fmt(source.next()), "12:00:01");
  FakeClock::current = t0 + milliseconds(2500);  // exactly one second advances
  EXPECT_EQ(fmt(source.next()), "12:00:02");
  FakeClock::current = t0 + seconds(30);  // a long gap still adds one second only
  EXPECT_EQ(fmt(source.next()), "12:00:03");
}

TEST(ClockStressTimeSource, CarriesSecondsMinutesHoursAndMidnight) {
  FakeClock::reset(seconds(1));  // every call lands one second after the previous one
  FakeSource source{StressConfig{}};
  std::vector<std::string> texts{"12:00:00"};
  for (int call = 1; call <= 43200; ++call) {
    texts.push_back(fmt(source.next()));
    ASSERT_EQ(texts.back().size(), 8U) << "call " << call;
  }
  EXPECT_EQ(texts[59], "12:00:59");
  EXPECT_EQ(texts[60], "12:01:00");
  EXPECT_EQ(texts[3599], "12:59:59");
  EXPECT_EQ(texts[3600], "13:00:00");
  EXPECT_EQ(texts[43199], "23:59:59");
  EXPECT_EQ(texts[43200], "00:00:00");
}

// The flag compares the unjittered time with a stamp moved later by j ms: valid exactly when
// -j < timeoutMs. The expected draws come from an engine seeded like the source's.
TEST(ClockStressTimeSource, ValidityDependsOnJitterOnlyForTimeoutsAtOrBelowZero) {
  for (const std::int64_t timeoutMs : {200, 1, 0, -100}) {
    FakeClock::reset(milliseconds(7));
    StressConfig config;
    config.timeoutMs = timeoutMs;
    config.jitterProbability = 0.5;
    FakeSource source{config};
    std::mt19937 replica{kSeed};
    int validCount = 0;
    for (int call = 0; call < 200; ++call) {
      const double u = std::uniform_real_distribution<double>(0.0, 1.0)(replica);
      const std::int64_t j =
          u < 0.5 ? std::uniform_int_distribution<std::int32_t>(0, 300)(replica) : 0;
      const SteadyClock::time_point expectedStamp = FakeClock::current;
      const TimeValue v = source.next();
      ASSERT_EQ(v.valid, -j < timeoutMs) << "timeout " << timeoutMs << " call " << call;
      ASSERT_EQ(v.timestamp, expectedStamp) << "the stamp is never jittered";
      validCount += v.valid ? 1 : 0;
    }
    if (timeoutMs > 0) {
      EXPECT_EQ(validCount, 200);
    } else {
      EXPECT_GT(validCount, 0) << "timeout " << timeoutMs;
      EXPECT_LT(validCount, 200) << "timeout " << timeoutMs;
    }
  }
}

TEST(ClockStressFmt, PadsEachFieldToTwoDigits) {
  EXPECT_EQ(fmt(TimeValue{9, 5, 7, true, {}}), "09:05:07");
}

TEST(ClockStressNaiveConsumer, BlanksInvalidReadingsAndAgesAboveTheTimeout) {
  FakeClock::reset();
  const SteadyClock::time_point now = FakeClock::current;
  EXPECT_TRUE(naiveShowsBlank<FakeClock>(reading(false, now), 200));
  EXPECT_EQ(FakeClock::reads, 0) << "an invalid reading's age is not computed";

  EXPECT_FALSE(naiveShowsBlank<FakeClock>(reading(true, now), 200));
  EXPECT_FALSE(naiveShowsBlank<FakeClock>(reading(true, now - milliseconds(200)), 200));
  EXPECT_TRUE(naiveShowsBlank<FakeClock>(reading(true, now - milliseconds(200) - Nanos(1)), 200));
}

// Drives the robust consumer's state machine one reading at a time.
struct ClockStressRobustConsumer : ::testing::Test {
  DisplayHold<FakeClock> hold;
  Stats stats;
  std::int64_t graceMs = 250;

  void SetUp() override { FakeClock::reset(); }
  bool judge(const TimeValue& v) { return hold.judge(v, 200, graceMs, stats); }
  TimeValue fresh(std::int32_t s) { return reading(true, FakeClock::current, s); }
  TimeValue stale(std::int32_t s) {
    return reading(true, FakeClock::current - milliseconds(200) - Nanos(1), s);
  }
  void at(Nanos sinceStart) {
    FakeClock::current = SteadyClock::time_point(seconds(1000)) + sinceStart;
  }
};

TEST_F(ClockStressRobustConsumer, ShowsTheBadReadingWithinGraceThenBlanksUntilTheFirstFreshOne) {
  const TimeValue initial;       // the unpublished slot: invalid, 00:00:00
  EXPECT_FALSE(judge(initial));  // waiting, in episode: the bad reading itself is shown
  EXPECT_EQ(fmt(hold.shown(initial)), "00:00:00");
  EXPECT_EQ(stats.invalidTransitions.load(), 1U);

  at(milliseconds(250));  // grace is inclusive
  EXPECT_FALSE(judge(stale(1)));
  at(milliseconds(250) + Nanos(1));  // grace over: blank, same episode
  EXPECT_TRUE(judge(stale(1)));
  EXPECT_TRUE(judge(initial));
  EXPECT_EQ(stats.blankEvents.load(), 2U);
  EXPECT_EQ(stats.invalidTransitions.load(), 1U);
  EXPECT_FALSE(hold.haveGood);
}

TEST_F(ClockStressRobustConsumer, HoldsTheLastGoodReadingThroughEveryLaterBadEpisode) {
  EXPECT_FALSE(judge(fresh(5)));  // waiting, clear -> holding, clear: no episode counted
  EXPECT_EQ(stats.invalidTransitions.load(), 0U);
  const TimeValue exactlyTimeout = reading(true, FakeClock::current - milliseconds(200), 6);
  EXPECT_FALSE(judge(exactlyTimeout));  // an age of exactly the timeout is still fresh
  EXPECT_EQ(hold.lastGood.seconds, 6);

  for (int episode = 1; episode <= 2; ++episode) {
    EXPECT_FALSE(judge(stale(7)));  // holding, in episode
    at(seconds(3600 * episode));    // far past the grace period: still held
    EXPECT_FALSE(judge(reading(false, FakeClock::current, 8)));
    EXPECT_EQ(fmt(hold.shown(stale(7))), "00:00:06");
    EXPECT_EQ(stats.invalidTransitions.load(), static_cast<std::uint64_t>(episode));
    EXPECT_FALSE(judge(fresh(6)));  // back to holding, clear; the next bad one opens an episode
    EXPECT_EQ(hold.invalidSince, SteadyClock::time_point{});
  }
  EXPECT_EQ(stats.blankEvents.load(), 0U);
}

TEST_F(ClockStressRobustConsumer, NoGraceBlanksTheFirstBadReading) {
  graceMs = -1;
  EXPECT_TRUE(judge(TimeValue{}));

  DisplayHold<FakeClock> zeroGrace;
  graceMs = 0;
  hold = zeroGrace;
  EXPECT_FALSE(judge(TimeValue{}));  // both clock readings equal: 0 elapsed is within

  hold = zeroGrace;
  FakeClock::reset(Nanos(1));  // the clock moves between the two readings
  EXPECT_TRUE(judge(TimeValue{}));
  EXPECT_EQ(stats.blankEvents.load(), 2U);
}

TEST(ClockStressProducer, StallsOnlyBelowTheProbabilityForRandModuloTheBound) {
  std::srand(5);
  const int firstRand = std::rand();
  std::mt19937 engine{kSeed};
  StressConfig config;
  config.stallProbability = 0.0;
  std::srand(5);
  EXPECT_EQ(drawStallMs(engine, config), 0);
  EXPECT_EQ(std::rand(), firstRand) << "no stall, no draw from rand";

  config.stallProbability = 1.0;
  std::srand(5);
  EXPECT_EQ(drawStallMs(engine, config), firstRand % 221);
  config.maxStallMs = 0;
  EXPECT_EQ(drawStallMs(engine, config), 0);
}

TEST(ClockStressEnvironment, ReadsMillisecondsLikeAtoiClampedTo32Bits) {
  ASSERT_EQ(unsetenv("CLOCK_STRESS_TEST_MS"), 0);
  EXPECT_EQ(envMs("CLOCK_STRESS_TEST_MS", 250), 250);

  const std::pair<const char*, std::int64_t> cases[] = {
      {"", 0},
      {"abc", 0},
      {"150ms", 150},
      {"  42", 42},
      {"+7", 7},
      {"-40", -40},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483648LL},
      {"-2147483649", -2147483648LL},
      {"99999999999999999999999999", 2147483647},
      {"-99999999999999999999999999", -2147483648LL},
  };
  for (const auto& [text, expected] : cases) {
    ASSERT_EQ(setenv("CLOCK_STRESS_TEST_MS", text, 1), 0);
    EXPECT_EQ(envMs("CLOCK_STRESS_TEST_MS", 250), expected) << "\"" << text << "\"";
  }
}

TEST(ClockStressStats, DefaultsAndTheStatisticsBlock) {
  const StressConfig c;
  std::ostringstream settings;
  settings << c.producerPeriodMs << "/" << c.consumerPeriodMs << "/" << c.timeoutMs << "/"
           << c.graceMs << "/" << c.stallProbability << "/" << c.maxStallMs << "/"
           << c.jitterProbability << "/" << c.maxJitterMs;
  EXPECT_EQ(settings.str(), "100/50/200/250/0.3/220/0.2/300");

  Stats stats;
  stats.produced = 18446744073709551615ULL;
  stats.consumed = 1000;
  stats.blankEvents = 0;
  stats.invalidTransitions = 3;
  std::ostringstream out;
  printStats("Robust", stats, out);
  EXPECT_EQ(out.str(),
            "\n=== Robust ===\nProduced: 18446744073709551615\nConsumed: 1000\nBlank events: 0\n"
            "Invalid transitions: 3\n");
}

}  // namespace
