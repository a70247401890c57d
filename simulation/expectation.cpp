// Signal names and ranges of expectations, and the judge that decides them during a run.
#include "expectation.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace seatbelt_sim {
namespace {

constexpr uint32 kNever = 0xFFFFFFFFu;
// holds_ of an expectation opened on this tick and not evaluated yet.
constexpr uint8 kFresh = 2u;

// Writes description pieces to a stream.
void PutToFile(const char* text, std::size_t size, void* context) {
  (void)std::fwrite(text, 1u, size, static_cast<std::FILE*>(context));
}

void PutText(DescriptionSink put, void* context, const char* text) {
  put(text, std::strlen(text), context);
}

void PutNumber(DescriptionSink put, void* context, uint32 number) {
  char digits[20];
  put(digits, DecimalDigits(number, digits), context);
}

// "warning_request was 0 (none) at 9000 ms"
void PutSeen(DescriptionSink put, void* context, std::size_t signal, uint32 seen, uint32 time_ms) {
  PutText(put, context, JudgedSignalName(signal));
  PutText(put, context, " was ");
  PutNumber(put, context, seen);
  const char* const word = JudgedValueWord(signal, seen);
  if (word != nullptr) {
    PutText(put, context, " (");
    PutText(put, context, word);
    PutText(put, context, ")");
  }
  PutText(put, context, " at ");
  PutNumber(put, context, time_ms);
  PutText(put, context, " ms");
}

}  // namespace

std::size_t DecimalDigits(std::size_t value, char* digits) {
  char reversed[20];
  std::size_t count = 0u;
  do {
    reversed[count] = static_cast<char>('0' + value % 10u);
    value /= 10u;
    ++count;
  } while (value != 0u);
  for (std::size_t i = 0u; i < count; ++i) {
    digits[i] = reversed[count - 1u - i];
  }
  return count;
}

const char* JudgedSignalName(std::size_t signal) {
  if (signal < kSignalCount) {
    return kSignalInfo[signal].name;
  }
  return signal == kLatchStuck ? "latch_stuck" : "speed_stuck";
}

uint32 JudgedSignalMax(std::size_t signal) {
  switch (signal) {
    case kLatchFilteredStatus:
    case kOccupancyFilteredStatus:
    case kVehicleSpeedStatus:
    case kIgnitionStateStatus:
    case kDoorClosedStatus:
      return 255u;
    case kLatchStuck:
    case kSpeedStuck:
      return 1u;
    default:
      break;
  }
  const unsigned width = kSignalInfo[signal].width;
  return width >= 32u ? 0xFFFFFFFFu : (1u << width) - 1u;
}

const char* JudgedValueWord(std::size_t signal, uint32 value) {
  const char* words[2] = {nullptr, nullptr};  // for 0 and 1
  switch (signal) {
    case kLatchRaw:
    case kLatchFiltered:
      words[0] = "unlatched";
      words[1] = "latched";
      break;
    case kDoorRaw:
    case kDoorClosed:
      words[0] = "open";
      words[1] = "closed";
      break;
    case kIgnitionRaw:
    case kIgnitionState:
      words[0] = "off";
      words[1] = "on";
      break;
    case kOccupancyRaw:
    case kOccupancyFiltered:
      words[0] = "empty";
      words[1] = "occupied";
      break;
    case kWarningRequest:
      return value == 0u ? "none" : value == 2u ? "active" : nullptr;
    case kLatchStuck:
    case kSpeedStuck:
      words[0] = "false";
      words[1] = "true";
      break;
    default:
      break;
  }
  return value < 2u ? words[value] : nullptr;
}

const char* CompareOpText(CompareOp op) {
  switch (op) {
    case CompareOp::kEqual:
      return "==";
    case CompareOp::kNotEqual:
      return "!=";
    case CompareOp::kLess:
      return "<";
    case CompareOp::kLessEqual:
      return "<=";
    case CompareOp::kGreater:
      return ">";
    case CompareOp::kGreaterEqual:
      break;
  }
  return ">=";
}

bool Holds(uint32 seen, CompareOp op, uint32 value) {
  switch (op) {
    case CompareOp::kEqual:
      return seen == value;
    case CompareOp::kNotEqual:
      return seen != value;
    case CompareOp::kLess:
      return seen < value;
    case CompareOp::kLessEqual:
      return seen <= value;
    case CompareOp::kGreater:
      return seen > value;
    case CompareOp::kGreaterEqual:
      break;
  }
  return seen >= value;
}

bool ExpectationSpan(const Expectation& expectation, uint32 ticks, TickSpan& span) {
  // 32-bit arithmetic (the board has no 64-bit division in hardware): every time is first kept
  // within the clock, whose last time is a whole tick, so rounding up to a tick cannot wrap.
  if (ticks > kMaxTimeMs / kTickMs || expectation.from_ms > kMaxTimeMs ||
      expectation.to_ms > kMaxTimeMs) {
    return false;
  }
  const uint32 last_tick = ticks * kTickMs;
  uint32 from = expectation.from_ms;
  uint32 to = expectation.to_ms;
  if (expectation.window == Window::kAlways) {
    from = 0u;
    to = last_tick;
  }
  // The first tick runs at 10 ms; a window is rounded inwards to whole ticks.
  uint32 first = from / kTickMs * kTickMs;
  if (first < from || first == 0u) {
    first += kTickMs;
  }
  const uint32 last = expectation.window == Window::kAt ? first : to / kTickMs * kTickMs;
  if (first > last || last > last_tick || to > last_tick) {
    return false;
  }
  span.first_ms = first;
  span.last_ms = last;
  return true;
}

bool ExpectationJudge::Start(const Expectation* expectations, std::size_t count, uint32 ticks,
                             const char* name, std::FILE* out) {
  name_ = name;
  out_ = out;
  if (!verdicts_.Reserve(count) || !spans_.Reserve(count) || !by_start_.Reserve(count) ||
      !open_.Reserve(count) || !holds_.Reserve(count)) {
    return false;
  }
  for (std::size_t i = 0u; i < count; ++i) {
    TickSpan span;
    if (expectations[i].signal >= kJudgedSignalCount ||
        !ExpectationSpan(expectations[i], ticks, span)) {
      return false;
    }
    // Room reserved above.
    (void)spans_.Append(span);
    (void)verdicts_.Append(Verdict{});
    (void)by_start_.Append(static_cast<uint32>(i));
  }
  // By first tick, and in file order among those of one tick: a total order, so std::sort keeps
  // them as stable_sort would, without the temporary buffer. Without expectations the list has
  // no storage, and &by_start_[0] would bind a null reference.
  if (count > 1u) {
    std::sort(&by_start_[0], &by_start_[0] + count, [this](uint32 a, uint32 b) {
      return std::make_pair(spans_[a].first_ms, a) < std::make_pair(spans_[b].first_ms, b);
    });
  }
  expectations_ = expectations;
  count_ = count;
  next_open_ms_ = count > 0u ? spans_[by_start_[0]].first_ms : kNever;
  return true;
}

void ExpectationJudge::Open(uint32 index) {
  // Kept in file order, so that the failures of one tick are printed in the order of the file.
  std::size_t at = open_.size();
  (void)open_.Append(index);  // room reserved in Start
  (void)holds_.Append(kFresh);
  while (at > 0u && open_[at - 1u] > index) {
    open_[at] = open_[at - 1u];
    holds_[at] = holds_[at - 1u];
    --at;
  }
  open_[at] = index;
  holds_[at] = kFresh;
}

void ExpectationJudge::Restate() {
  watched_ = 0u;
  next_close_ms_ = kNever;
  for (std::size_t i = 0u; i < open_.size(); ++i) {
    const uint32 index = open_[i];
    watched_ |= 1u << expectations_[index].signal;
    next_close_ms_ = std::min(next_close_ms_, spans_[index].last_ms);
  }
  next_open_ms_ = next_ < count_ ? spans_[by_start_[next_]].first_ms : kNever;
}

void ExpectationJudge::OnTick(const TickSample& sample, uint8 stuck_events) {
  uint32 current[kJudgedSignalCount];
  std::memcpy(current, sample.values.data(), sizeof(uint32) * kSignalCount);
  current[kLatchStuck] = (stuck_events & kLatchStuckBit) != 0u ? 1u : 0u;
  current[kSpeedStuck] = (stuck_events & kSpeedStuckBit) != 0u ? 1u : 0u;
  uint32 changed = 0u;
  for (std::size_t signal = 0u; signal < kJudgedSignalCount; ++signal) {
    changed |= (current[signal] != last_[signal] ? 1u : 0u) << signal;
  }
  std::memcpy(last_, current, sizeof current);
  Judge(sample.time_ms, changed);
}

void ExpectationJudge::Judge(uint32 now, uint32 changed) {
  const uint32* const current = last_;
  bool opened = false;
  while (next_ < count_ && spans_[by_start_[next_]].first_ms <= now) {
    Open(by_start_[next_]);
    ++next_;
    opened = true;
  }
  if (!opened && (changed & watched_) == 0u && now < next_close_ms_) {
    return;
  }

  std::size_t kept = 0u;
  for (std::size_t i = 0u; i < open_.size(); ++i) {
    const uint32 index = open_[i];
    const Expectation& judged = expectations_[index];
    const uint32 seen = current[judged.signal];
    uint8 holds = holds_[i];
    if (holds == kFresh || ((changed >> judged.signal) & 1u) != 0u) {
      holds = Holds(seen, judged.op, judged.value) ? 1u : 0u;
    }
    const bool closing = spans_[index].last_ms == now;
    const bool within = judged.window == Window::kWithin;
    if (within && holds == 1u) {
      Decide(index, Outcome::kPassed, now, seen);
    } else if (!within && holds == 0u) {
      Decide(index, Outcome::kFailed, now, seen);
    } else if (closing) {
      Decide(index, within ? Outcome::kFailed : Outcome::kPassed, now, seen);
    } else {
      open_[kept] = index;
      holds_[kept] = holds;
      ++kept;
    }
  }
  open_.Truncate(kept);
  holds_.Truncate(kept);
  Restate();
}

void ExpectationJudge::Decide(std::size_t index, Outcome outcome, uint32 time_ms, uint32 seen) {
  verdicts_[index] = Verdict{outcome, time_ms, seen};
  if (outcome == Outcome::kPassed) {
    ++passed_;
    return;
  }
  ++failed_;
  (void)std::fprintf(out_,
                     "[SIM] t=%lu ms: expectation failed: ", static_cast<unsigned long>(time_ms));
  Describe(index, &PutToFile, out_);
  (void)std::fputc('\n', out_);
}

void ExpectationJudge::Describe(std::size_t index, DescriptionSink put, void* context) const {
  const Expectation& described = expectations_[index];
  const Verdict& decided = verdicts_[index];
  PutText(put, context, name_);
  PutText(put, context, ":");
  PutNumber(put, context, described.line);
  PutText(put, context, ": ");
  PutText(put, context, described.text);
  PutText(put, context, ": ");
  if (described.window == Window::kWithin) {
    PutText(put, context, "not met from ");
    PutNumber(put, context, spans_[index].first_ms);
    PutText(put, context, " to ");
    PutNumber(put, context, spans_[index].last_ms);
    PutText(put, context, " ms (");
    PutSeen(put, context, described.signal, decided.seen, decided.time_ms);
    PutText(put, context, ")");
  } else {
    PutSeen(put, context, described.signal, decided.seen, decided.time_ms);
  }
}

}  // namespace seatbelt_sim
