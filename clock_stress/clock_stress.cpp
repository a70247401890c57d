// clock_stress: a clock display fed by a producer thread and read by a consumer thread, run twice
// under injected producer stalls and timestamp jitter. The naive run shares one mutex-guarded slot
// and blanks on any stale reading; the robust run publishes through a lock-free double buffer and
// holds the last good reading. Both runs print their counters so the blank displays can be
// compared.
//
// The run length, the clock and the random device are parameters that default to the real ones,
// so the tests can drive the same code without the 12-second runs.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <limits>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

using SteadyClock = std::chrono::steady_clock;
using Nanos = std::chrono::nanoseconds;

constexpr std::int64_t kNanosPerMs = 1'000'000;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr Nanos kRunLength = std::chrono::seconds(12);
// Every 40th reading is printed: about one line per 2 s at the 50 ms consumer period.
constexpr std::uint64_t kPrintEvery = 40;
constexpr const char* kRandomDevice = "/dev/urandom";
constexpr const char* kBlankText = "BLANK --:--:--";

// All durations in milliseconds. Only timeoutMs and graceMs come from the environment.
struct StressConfig {
  std::int64_t producerPeriodMs = 100;
  std::int64_t consumerPeriodMs = 50;
  // A reading older than this is stale; also the bound of the validity flag of TimeSource::next.
  std::int64_t timeoutMs = 200;
  // How long the robust consumer shows a bad reading before its first good one, before blanking.
  std::int64_t graceMs = 250;
  double stallProbability = 0.3;   // per producer iteration
  std::int64_t maxStallMs = 220;   // inclusive
  double jitterProbability = 0.2;  // per produced value
  std::int64_t maxJitterMs = 300;  // inclusive
};

// The producer and the consumer of one run update a block at the same time.
struct Stats {
  std::atomic<std::uint64_t> produced{0};
  std::atomic<std::uint64_t> consumed{0};
  std::atomic<std::uint64_t> blankEvents{0};
  // Entries of the robust consumer into its bad state; the naive run never counts any.
  std::atomic<std::uint64_t> invalidTransitions{0};
};

// Shared by both runs and never copied. The initial thread touches it only while no worker
// thread exists.
struct SimContext {
  StressConfig config;
  std::atomic<bool> stop{false};
  Stats naive;
  Stats robust;
};

// One clock reading, copied whole between threads. Value-initialised it is 00:00:00, invalid,
// stamped at the clock's epoch.
struct TimeValue {
  std::int32_t hours = 0;
  std::int32_t minutes = 0;
  std::int32_t seconds = 0;
  bool valid = false;
  SteadyClock::time_point timestamp{};
};

std::int64_t nanosBetween(SteadyClock::time_point from, SteadyClock::time_point to) {
  return std::chrono::duration_cast<Nanos>(to - from).count();
}

void printStats(const char* name, const Stats& stats, std::ostream& out = std::cout) {
  out << "\n=== " << name << " ===\n";
  out << "Produced: " << stats.produced.load() << "\n";
  out << "Consumed: " << stats.consumed.load() << "\n";
  out << "Blank events: " << stats.blankEvents.load() << "\n";
  out << "Invalid transitions: " << stats.invalidTransitions.load() << "\n";
}

// Simulated hours:minutes:seconds clock that follows the steady clock one second per call at
// most. Used by one producer thread only. Clock must report SteadyClock time points; Device is a
// random device constructed from a device path.
template <class Clock = SteadyClock, class Device = std::random_device>
class TimeSource {
 public:
  explicit TimeSource(const StressConfig& cfg) : config(cfg) {}
  TimeSource(const TimeSource&) = delete;
  TimeSource& operator=(const TimeSource&) = delete;
  TimeSource(TimeSource&&) = delete;
  TimeSource& operator=(TimeSource&&) = delete;
  ~TimeSource() = default;

  TimeValue next() {
    const SteadyClock::time_point now = Clock::now();
    if (nanosBetween(lastTick, now) >= kNanosPerSecond) {
      // Restart the second at this call, so the simulated clock drifts behind by the gaps between
      // calls instead of catching up.
      lastTick = now;
      seconds = (seconds + 1) % 60;
      if (seconds == 0) {
        minutes = (minutes + 1) % 60;
        if (minutes == 0) {
          hours = (hours + 1) % 24;
        }
      }
    }

    // Drawn on every call, so the engine advances the same way whether or not jitter follows.
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(engine);
    lastStamp = now;
    if (u < config.jitterProbability) {
      std::uniform_int_distribution<std::int32_t> jitterMs(
          0, static_cast<std::int32_t>(config.maxJitterMs));
      lastStamp = now + std::chrono::milliseconds(jitterMs(engine));
    }

    TimeValue v;
    v.hours = hours;
    v.minutes = minutes;
    v.seconds = seconds;
    // The stamp is never earlier than now, so this only fails for a timeout of 0 or below.
    v.valid = nanosBetween(lastStamp, now) < config.timeoutMs * kNanosPerMs;
    v.timestamp = now;  // the consumers age readings from the unjittered time
    return v;
  }

 private:
  StressConfig config;
  SteadyClock::time_point lastTick = Clock::now();
  SteadyClock::time_point lastStamp = Clock::now();
  std::int32_t hours = 12;
  std::int32_t minutes = 0;
  std::int32_t seconds = 0;
  Device device{std::string(kRandomDevice)};  // must precede engine, which is seeded from it
  std::mt19937 engine{device()};
};

std::string fmt(const TimeValue& v) {
  std::ostringstream text;
  text << std::setfill('0') << std::setw(2) << v.hours << ":" << std::setw(2) << v.minutes << ":"
       << std::setw(2) << v.seconds;
  return text.str();
}

// The producer's stall engine gets one seed from a device that is closed again before the loop.
std::mt19937 seededEngine() {
  std::random_device device{std::string(kRandomDevice)};
  return std::mt19937{device()};
}

// Injected producer stall in ms, 0 for none. The length comes from the unseeded C generator, so
// its sequence carries on from one run to the next.
std::int64_t drawStallMs(std::mt19937& engine, const StressConfig& config) {
  const double u = std::uniform_real_distribution<double>(0.0, 1.0)(engine);
  if (u < config.stallProbability) {
    // The stall length comes from the C generator by design, called from the producer only.
    // NOLINTNEXTLINE(cert-msc30-c,cert-msc50-cpp,concurrency-mt-unsafe)
    return static_cast<std::int64_t>(std::rand()) % (config.maxStallMs + 1);
  }
  return 0;
}

void sleepMs(std::int64_t ms) {
  if (ms > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

// Fixed-rate loop: fill the iteration up to its period from t0; an overrun is not made up.
void pace(SteadyClock::time_point t0, std::int64_t periodMs) {
  const std::int64_t elapsed = nanosBetween(t0, SteadyClock::now());
  const std::int64_t period = periodMs * kNanosPerMs;
  if (elapsed < period) {
    std::this_thread::sleep_for(Nanos(period - elapsed));
  }
}

void printReading(std::ostream& out, const char* tag, bool blank, const TimeValue& shown) {
  out << tag << (blank ? std::string(kBlankText) : fmt(shown)) << "\n";
}

// Naive consumer's decision: an invalid reading blanks without its age being looked at; a valid
// one blanks once its age exceeds the timeout (an age of exactly the timeout is still shown).
template <class Clock = SteadyClock>
bool naiveShowsBlank(const TimeValue& v, std::int64_t timeoutMs) {
  if (!v.valid) {
    return true;
  }
  return nanosBetween(v.timestamp, Clock::now()) > timeoutMs * kNanosPerMs;
}

// First run: one slot under one mutex. The producer keeps the mutex through its pacing sleep,
// so the consumer mostly waits for it, and the readings age while it waits.
void runNaive(SimContext& ctx, Nanos runLength = kRunLength, std::ostream& out = std::cout) {
  TimeValue slot;
  std::mutex slotMutex;
  TimeSource<> source{ctx.config};

  std::thread producer([&ctx, &source, &slotMutex, &slot] {
    std::mt19937 engine = seededEngine();
    const std::int64_t periodMs = ctx.config.producerPeriodMs;
    while (!ctx.stop.load()) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      sleepMs(drawStallMs(engine, ctx.config));
      const TimeValue v = source.next();
      std::lock_guard<std::mutex> lock(slotMutex);
      slot = v;
      ctx.naive.produced.fetch_add(1);
      pace(t0, periodMs);
    }
  });
  std::thread consumer([&ctx, &slotMutex, &slot, &out] {
    const std::int64_t periodMs = ctx.config.consumerPeriodMs;
    while (!ctx.stop.load()) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      TimeValue copy;
      {
        std::lock_guard<std::mutex> lock(slotMutex);
        copy = slot;
      }
      const bool blank = naiveShowsBlank(copy, ctx.config.timeoutMs);
      if (blank) {
        ctx.naive.blankEvents.fetch_add(1);
      }
      ctx.naive.consumed.fetch_add(1);
      if (ctx.naive.consumed.load() % kPrintEvery == 0) {
        printReading(out, "[Naive] ", blank, copy);
      }
      pace(t0, periodMs);
    }
  });

  std::this_thread::sleep_for(runLength);
  ctx.stop.store(true);
  producer.join();
  consumer.join();
}

// One half of the double buffer: a sequence-checked TimeValue.
//
// Memory ordering: the producer is the only writer. It makes the sequence odd, stores every field,
// then makes the sequence even again; all of these are release stores. The consumer loads the
// sequence, every field and the sequence again, all with acquire. A field that holds a value from
// a newer write carries that write's odd sequence store with it (release/acquire on the field),
// so the second sequence load cannot return the first one's value: a copy whose two sequence
// values are equal and even holds one whole write. The fields are atomics, so a copy that
// overlaps a write is detected, never a data race. Relaxed would do for a plain seqlock but would
// need fences, which the thread sanitizer does not model.
class SeqSlot {
 public:
  void store(const TimeValue& v) {
    const std::uint32_t seq = sequence.load(std::memory_order_relaxed);
    sequence.store(seq + 1U, std::memory_order_release);
    hours.store(v.hours, std::memory_order_release);
    minutes.store(v.minutes, std::memory_order_release);
    seconds.store(v.seconds, std::memory_order_release);
    valid.store(v.valid, std::memory_order_release);
    stampNs.store(v.timestamp.time_since_epoch().count(), std::memory_order_release);
    sequence.store(seq + 2U, std::memory_order_release);
  }

  // False when the copy overlapped a write; out is then left unchanged.
  bool tryLoad(TimeValue& out) const {
    const std::uint32_t before = sequence.load(std::memory_order_acquire);
    if ((before & 1U) != 0U) {
      return false;
    }
    TimeValue v;
    v.hours = hours.load(std::memory_order_acquire);
    v.minutes = minutes.load(std::memory_order_acquire);
    v.seconds = seconds.load(std::memory_order_acquire);
    v.valid = valid.load(std::memory_order_acquire);
    v.timestamp = SteadyClock::time_point(Nanos(stampNs.load(std::memory_order_acquire)));
    if (sequence.load(std::memory_order_acquire) != before) {
      return false;
    }
    out = v;
    return true;
  }

 private:
  std::atomic<std::uint32_t> sequence{0};  // odd while a write is in progress
  std::atomic<std::int32_t> hours{0};
  std::atomic<std::int32_t> minutes{0};
  std::atomic<std::int32_t> seconds{0};
  std::atomic<bool> valid{false};
  std::atomic<std::int64_t> stampNs{0};  // steady-clock ns since its epoch
};

// Single producer, single consumer. The producer writes the slot that is not published and then
// publishes it by switching active; the consumer copies the published slot without a lock.
//
// Memory ordering: the producer alone writes active, so it loads it relaxed. Its release store of
// the new index, after the slot's write, pairs with the consumer's acquire load: a consumer that
// sees index k sees slot k whole. Once the producer has published the other slot it rewrites
// slot k, and a consumer that loaded k earlier may still be copying it. It then finds either a
// write in progress (the slot's sequence check fails) or a complete reading that is not yet
// published (active no longer holds k after the copy), discards the copy and starts again from a
// new load of active, without waiting for the write to end. Both checks are acquire loads of
// values that the producer stored after publishing the other slot, so that new load returns the
// newer index, whose slot is complete and is not written again until two more publications.
// A retry therefore needs a further publication during a copy of a few nanoseconds: the consumer
// never waits on a stall, a pacing sleep or a producer preempted in mid-write, and it only ever
// returns published readings, never older than the previous one.
struct DoubleBuffer {
  SeqSlot slots[2];
  std::atomic<std::int32_t> active{0};

  void publish(const TimeValue& v) {
    const std::int32_t k = active.load(std::memory_order_relaxed);
    slots[1 - k].store(v);
    active.store(1 - k, std::memory_order_release);
  }

  TimeValue read() const {
    for (;;) {
      const std::int32_t k = active.load(std::memory_order_acquire);
      TimeValue v;
      if (slots[k].tryLoad(v) && active.load(std::memory_order_acquire) == k) {
        return v;
      }
    }
  }
};

// The robust consumer's state across readings: the last fresh reading, and when the current run
// of bad readings began (the clock's epoch while none is running).
template <class Clock = SteadyClock>
struct DisplayHold {
  TimeValue lastGood;
  bool haveGood = false;
  SteadyClock::time_point invalidSince{};

  // Judges one reading, counts it into stats and returns whether the display blanks. Once a fresh
  // reading has been seen the display never blanks again; before that, a bad reading is shown
  // itself for graceMs (inclusive) from the start of its episode.
  bool judge(const TimeValue& v, std::int64_t timeoutMs, std::int64_t graceMs, Stats& stats) {
    const bool fresh =
        v.valid && nanosBetween(v.timestamp, Clock::now()) <= timeoutMs * kNanosPerMs;
    if (fresh) {
      lastGood = v;
      haveGood = true;
      invalidSince = SteadyClock::time_point{};
      return false;
    }
    if (invalidSince == SteadyClock::time_point{}) {
      invalidSince = Clock::now();
      stats.invalidTransitions.fetch_add(1);
    }
    const bool withinGrace = invalidSince != SteadyClock::time_point{} &&
                             nanosBetween(invalidSince, Clock::now()) <= graceMs * kNanosPerMs;
    if (haveGood || withinGrace) {
      return false;
    }
    stats.blankEvents.fetch_add(1);
    return true;
  }

  // What a non-blank display shows for reading v.
  const TimeValue& shown(const TimeValue& v) const { return haveGood ? lastGood : v; }
};

// Second run: the double buffer and the last-good hold. The producer's mutex is its own; the
// consumer reaches only the buffer and never locks.
void runRobust(SimContext& ctx, Nanos runLength = kRunLength, std::ostream& out = std::cout) {
  ctx.stop.store(false);
  DoubleBuffer buffer;
  std::mutex producerMutex;
  TimeSource<> source{ctx.config};

  std::thread producer([&ctx, &source, &producerMutex, &buffer] {
    std::mt19937 engine = seededEngine();
    const std::int64_t periodMs = ctx.config.producerPeriodMs;
    while (!ctx.stop.load()) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      sleepMs(drawStallMs(engine, ctx.config));
      const TimeValue v = source.next();
      {
        // Never contended: the consumer does not reach this mutex, and there is one producer.
        // It keeps a publication (the relaxed load of active, the slot write, the release
        // store) one critical section, because publish() is correct only for a single writer:
        // should a second producer ever be started, it could otherwise rewrite the published
        // slot. The consumer's correctness does not depend on it.
        std::lock_guard<std::mutex> lock(producerMutex);
        buffer.publish(v);
      }
      ctx.robust.produced.fetch_add(1);
      pace(t0, periodMs);
    }
  });
  std::thread consumer([&ctx, &buffer, &out] {
    const std::int64_t periodMs = ctx.config.consumerPeriodMs;
    DisplayHold<> hold;
    while (!ctx.stop.load()) {
      const SteadyClock::time_point t0 = SteadyClock::now();
      const TimeValue v = buffer.read();
      const bool showBlank = hold.judge(v, ctx.config.timeoutMs, ctx.config.graceMs, ctx.robust);
      ctx.robust.consumed.fetch_add(1);
      if (ctx.robust.consumed.load() % kPrintEvery == 0) {
        printReading(out, "[Robust] ", showBlank, hold.shown(v));
      }
      pace(t0, periodMs);
    }
  });

  std::this_thread::sleep_for(runLength);
  ctx.stop.store(true);
  producer.join();
  consumer.join();
}

// A millisecond setting from the environment: fallback when unset, otherwise the leading decimal
// integer of the text as atoi reads it (0 when there is none), held to the 32-bit range instead of
// overflowing.
std::int64_t envMs(const char* name, std::int64_t fallback) {
  // Read on the initial thread before any worker starts; nothing sets the environment.
  const char* text = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  if (text == nullptr) {
    return fallback;
  }
  // strtoll saturates at the 64-bit limits, which lie outside the 32-bit range clamped to below.
  const long long value = std::strtoll(text, nullptr, 10);
  constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
  constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int64_t>(value < kMin ? kMin : (value > kMax ? kMax : value));
}

int runProgram(Nanos runLength, std::ostream& out) {
  SimContext ctx;
  ctx.config.timeoutMs = envMs("SIM_TIMEOUT_MS", ctx.config.timeoutMs);
  ctx.config.graceMs = envMs("SIM_GRACE_MS", ctx.config.graceMs);

  out << "Running NAIVE simulation (12s)..." << std::endl;
  runNaive(ctx, runLength, out);
  printStats("Naive", ctx.naive, out);

  ctx.stop.store(false);  // runNaive leaves it set
  out << "\nRunning ROBUST simulation (12s)..." << std::endl;
  runRobust(ctx, runLength, out);
  printStats("Robust", ctx.robust, out);

  out << "\nExpectation: Robust should have far fewer (ideally zero) blank events under the same "
         "stress."
      << std::endl;
  return 0;
}

}  // namespace

#ifndef CLOCK_STRESS_NO_MAIN
int main() {
  return runProgram(kRunLength, std::cout);
}
#endif
