// The schedule's clock for benchmark ticks on which the warning logic prints nothing: advances
// g_time_ms by 10 ms per tick and steps over the multiples of 100 ms, the trace times. A phase
// count instead of a division keeps the clock's own cost out of the numbers.
#ifndef SEATBELT_BENCH_QUIET_CLOCK_H
#define SEATBELT_BENCH_QUIET_CLOCK_H

#include "Rte_Seatbelt.h"

class QuietClock {
 public:
  // Starts from g_time_ms, which must be a multiple of 100 ms.
  void Advance() {
    g_time_ms += kTickMs;
    if (++phase_ == kTicksPerTrace) {  // landed on a trace time: one tick further
      phase_ = 1u;
      g_time_ms += kTickMs;
    }
  }

 private:
  static constexpr uint32 kTickMs = 10u;
  static constexpr uint32 kTicksPerTrace = 100u / kTickMs;
  uint32 phase_ = 0u;
};

#endif  // SEATBELT_BENCH_QUIET_CLOCK_H
