// Cost of one consumer read: the robust run's lock-free copy of the published slot against the
// naive run's lock, copy and unlock. Both measured uncontended, then with a producer publishing
// continuously on the other core.
#include "../clock_stress.cpp"

#include <benchmark/benchmark.h>

namespace {

TimeValue sampleReading() {
  TimeValue v;
  v.hours = 12;
  v.valid = true;
  v.timestamp = SteadyClock::now();
  return v;
}

void BM_RobustRead(benchmark::State& state) {
  DoubleBuffer buffer;
  buffer.publish(sampleReading());
  for (auto _ : state) {
    TimeValue v = buffer.read();
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_RobustRead);

void BM_NaiveLockAndCopy(benchmark::State& state) {
  std::mutex slotMutex;
  TimeValue slot = sampleReading();
  for (auto _ : state) {
    TimeValue v;
    {
      std::lock_guard<std::mutex> lock(slotMutex);
      v = slot;
    }
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_NaiveLockAndCopy);

// The worst case for the read path: every copy may overlap a write and retry.
void BM_RobustReadUnderBusyProducer(benchmark::State& state) {
  DoubleBuffer buffer;
  std::atomic<bool> stop{false};
  std::thread producer([&buffer, &stop] {
    const TimeValue v = sampleReading();
    while (!stop.load(std::memory_order_relaxed)) {
      buffer.publish(v);
    }
  });
  for (auto _ : state) {
    TimeValue v = buffer.read();
    benchmark::DoNotOptimize(v);
  }
  stop.store(true);
  producer.join();
}
BENCHMARK(BM_RobustReadUnderBusyProducer)->UseRealTime();

void BM_NaiveLockAndCopyUnderBusyProducer(benchmark::State& state) {
  std::mutex slotMutex;
  TimeValue slot;
  std::atomic<bool> stop{false};
  std::thread producer([&slotMutex, &slot, &stop] {
    const TimeValue v = sampleReading();
    while (!stop.load(std::memory_order_relaxed)) {
      std::lock_guard<std::mutex> lock(slotMutex);
      slot = v;
    }
  });
  for (auto _ : state) {
    TimeValue v;
    {
      std::lock_guard<std::mutex> lock(slotMutex);
      v = slot;
    }
    benchmark::DoNotOptimize(v);
  }
  stop.store(true);
  producer.join();
}
BENCHMARK(BM_NaiveLockAndCopyUnderBusyProducer)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
