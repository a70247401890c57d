// Expectations of a run: what a scenario states about its signals ("expect warning_request ==
// active during 9000..13040"), and the judge that decides each one while the run goes on. The
// same judge runs on the desktop and on the board, so both give the same verdicts.
//
// A signal's value at a tick is its value after the tick's runnables, as in the CSV row of that
// tick; latch_stuck and speed_stuck are true from a FAILED report of their diagnostic event
// until its next PASSED report. The judge works on changes: an expectation's outcome can only
// change when its signal does, so a tick on which none of the watched signals changed and no
// window opens or closes costs a comparison of the values and nothing more.
#ifndef SIMULATION_EXPECTATION_H
#define SIMULATION_EXPECTATION_H

#include <cstddef>
#include <cstdio>

#include "Std_Types.h"
#include "growing_list.h"
#include "run_setup.h"
#include "signal_log.h"

namespace seatbelt_sim {

// The signals an expectation may name: the logged ones (Signal, in CSV column order), then the
// two diagnostic events' states.
inline constexpr std::size_t kLatchStuck = kSignalCount;
inline constexpr std::size_t kSpeedStuck = kSignalCount + 1u;
inline constexpr std::size_t kJudgedSignalCount = kSignalCount + 2u;

// Bits of the diagnostic events' states, as RunRecord::stuck_events() gives them.
inline constexpr uint8 kLatchStuckBit = 1u;
inline constexpr uint8 kSpeedStuckBit = 2u;

// The decimal digits of value into digits (room for 20), without a terminating 0; returns their
// count. Formatted by hand: the board's snprintf would bring a second copy of the formatter.
std::size_t DecimalDigits(std::size_t value, char* digits);

// Name as written in a scenario and in the CSV header ("warning_request", "latch_stuck").
const char* JudgedSignalName(std::size_t signal);
// Largest value an expectation may compare the signal with: 1 for the booleans, 255 for the
// statuses and the warning request, the value type's range for the others.
uint32 JudgedSignalMax(std::size_t signal);
// The signal's name for value ("unlatched", "active", "true"), or null when it has none.
const char* JudgedValueWord(std::size_t signal, uint32 value);

enum class CompareOp : uint8 { kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual };
inline constexpr std::size_t kCompareOpCount = 6u;
const char* CompareOpText(CompareOp op);  // "==", "!=", ...
bool Holds(uint32 seen, CompareOp op, uint32 value);

// When an expectation is checked.
enum class Window : uint8 {
  kAt,      // at the first tick at or after from_ms
  kDuring,  // at every tick t with from_ms <= t <= to_ms
  kWithin,  // at one tick or more with from_ms <= t <= to_ms
  kAlways,  // at every tick of the run
};
inline constexpr std::size_t kWindowCount = 4u;

struct Expectation {
  uint32 line = 0u;    // in the scenario file
  uint32 signal = 0u;  // below kJudgedSignalCount
  CompareOp op = CompareOp::kEqual;
  Window window = Window::kAlways;
  uint32 value = 0u;         // at most JudgedSignalMax(signal)
  uint32 from_ms = 0u;       // as written; 0 for kAlways
  uint32 to_ms = 0u;         // as written; from_ms for kAt, 0 for kAlways
  const char* text = "";     // the statement as written, words joined by single blanks
  const char* id = nullptr;  // the requirement after 'as', or null
};

// The ticks of a run of ticks ticks that an expectation looks at: first to last, both at
// multiples of the 10 ms tick. False when it looks at none, or at one after the run's last
// tick: the run could never decide it.
struct TickSpan {
  uint32 first_ms = 0u;
  uint32 last_ms = 0u;
};
bool ExpectationSpan(const Expectation& expectation, uint32 ticks, TickSpan& span);

// Receives a description piece by piece: size bytes of text, not terminated.
using DescriptionSink = void (*)(const char* text, std::size_t size, void* context);

enum class Outcome : uint8 { kUndecided, kPassed, kFailed };

struct Verdict {
  Outcome outcome = Outcome::kUndecided;
  uint32 time_ms = 0u;  // the tick on which it was decided
  uint32 seen = 0u;     // the signal's value then
};

// Judges a run's expectations tick by tick and prints a line for each failure as it happens.
class ExpectationJudge {
 public:
  ExpectationJudge() = default;
  ExpectationJudge(const ExpectationJudge&) = delete;
  ExpectationJudge& operator=(const ExpectationJudge&) = delete;
  ExpectationJudge(ExpectationJudge&&) = delete;
  ExpectationJudge& operator=(ExpectationJudge&&) = delete;
  ~ExpectationJudge() = default;

  // Takes the count expectations of a run of ticks ticks named name (which labels the failure
  // lines as "name:LINE"); the array and the texts must outlive the judge. Failure lines go to
  // out. False when memory ran out or an expectation's window lies outside the run; the judge
  // then judges nothing.
  bool Start(const Expectation* expectations, std::size_t count, uint32 ticks, const char* name,
             std::FILE* out);

  // True when the tick at time_ms needs the signals' values: a window opens, or one is open.
  bool Wants(uint32 time_ms) const { return open_.size() > 0u || time_ms >= next_open_ms_; }

  // The values after the tick at sample.time_ms, with the diagnostic events' states (bits
  // kLatchStuckBit, kSpeedStuckBit). Call for every tick that Wants, in order, or OnQuietTick.
  void OnTick(const TickSample& sample, uint8 stuck_events);
  // A tick at time_ms after which every value is what the last OnTick gave.
  // Inline, as most ticks of a long run are quiet and open or close no window.
  void OnQuietTick(uint32 time_ms) {
    if (time_ms >= next_open_ms_ || time_ms >= next_close_ms_) {
      Judge(time_ms, 0u);
    }
  }

  std::size_t count() const { return count_; }
  const Expectation& expectation(std::size_t index) const { return expectations_[index]; }
  const Verdict& verdict(std::size_t index) const { return verdicts_[index]; }
  std::size_t passed() const { return passed_; }
  std::size_t failed() const { return failed_; }

  // "name:LINE: expect ...: what was seen and when" of a failed expectation, without a line
  // end, handed to put piece by piece.
  void Describe(std::size_t index, DescriptionSink put, void* context) const;

 private:
  // Judges the tick at now on the values in last_, of which the signals in changed (a bit per
  // signal) changed since the tick judged before.
  void Judge(uint32 now, uint32 changed);
  void Decide(std::size_t index, Outcome outcome, uint32 time_ms, uint32 seen);
  void Open(uint32 index);
  void Restate();

  const Expectation* expectations_ = nullptr;
  std::size_t count_ = 0u;
  const char* name_ = "";
  std::FILE* out_ = nullptr;

  GrowingList<Verdict> verdicts_;
  GrowingList<TickSpan> spans_;
  // Expectation indices by first tick; next_ is the first one not yet opened.
  GrowingList<uint32> by_start_;
  std::size_t next_ = 0u;
  uint32 next_open_ms_ = 0xFFFFFFFFu;
  // The open expectations in file order, with whether each held on the tick it was last
  // evaluated. fresh_ marks those opened on the current tick.
  GrowingList<uint32> open_;
  GrowingList<uint8> holds_;
  uint32 next_close_ms_ = 0xFFFFFFFFu;
  uint32 watched_ = 0u;  // bit per signal that an open expectation names
  uint32 last_[kJudgedSignalCount] = {};
  std::size_t passed_ = 0u;
  std::size_t failed_ = 0u;
};

}  // namespace seatbelt_sim

#endif  // SIMULATION_EXPECTATION_H
