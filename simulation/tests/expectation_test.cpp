// The judge of expectations, fed with made-up ticks: each window decided at its edges (the tick
// just before and just after a change of the signal), decisions as early as they are known,
// failure lines in file order, and a judge that looks only at the ticks it needs; and the JUnit
// report's text, escaped so that any scenario name gives well-formed XML.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "expectation.h"
#include "junit_report.h"

namespace seatbelt_sim {
namespace {

// warning_request is 2 on the ticks from 100 to 200 ms and 0 on the others.
uint32 Warning(uint32 time_ms) {
  return time_ms >= 100u && time_ms <= 200u ? 2u : 0u;
}

struct Judged {
  std::vector<Outcome> outcomes;
  std::vector<uint32> decided_at;
  std::string lines;  // what the judge printed
  std::vector<uint32> judged_ticks;
};

// Judges expectations of warning_request (or, with stuck_from_ms, latch_stuck, true from that
// tick on) over a run of ticks ticks.
Judged Judge(std::vector<Expectation> expectations, uint32 ticks = 40u) {
  for (std::size_t i = 0u; i < expectations.size(); ++i) {
    expectations[i].line = static_cast<uint32>(i + 1u);
    expectations[i].text = "expect";
  }
  char* text = nullptr;
  std::size_t size = 0u;
  std::FILE* out = open_memstream(&text, &size);
  Judged judged;
  {
    ExpectationJudge judge;
    EXPECT_TRUE(judge.Start(expectations.data(), expectations.size(), ticks, "s.txt", out));
    for (uint32 tick = 1u; tick <= ticks; ++tick) {
      TickSample sample;
      sample.time_ms = tick * kTickMs;
      sample.values[kWarningRequest] = Warning(sample.time_ms);
      const uint8 stuck = sample.time_ms >= 300u ? kLatchStuckBit : 0u;
      if (judge.Wants(sample.time_ms)) {
        judged.judged_ticks.push_back(sample.time_ms);
        judge.OnTick(sample, stuck);
      }
    }
    for (std::size_t i = 0u; i < judge.count(); ++i) {
      judged.outcomes.push_back(judge.verdict(i).outcome);
      judged.decided_at.push_back(judge.verdict(i).time_ms);
    }
  }
  std::fclose(out);
  judged.lines.assign(text, size);
  std::free(text);
  return judged;
}

Expectation Of(Window window, CompareOp op, uint32 value, uint32 from_ms = 0u, uint32 to_ms = 0u,
               uint32 signal = kWarningRequest) {
  Expectation expectation;
  expectation.signal = signal;
  expectation.op = op;
  expectation.value = value;
  expectation.window = window;
  expectation.from_ms = from_ms;
  expectation.to_ms = window == Window::kAt ? from_ms : to_ms;
  return expectation;
}

constexpr Outcome kPass = Outcome::kPassed;
constexpr Outcome kFail = Outcome::kFailed;

TEST(ExpectationJudge, AtLooksAtTheFirstTickAtOrAfterItsTime) {
  const Judged judged = Judge({
      Of(Window::kAt, CompareOp::kEqual, 0u, 90u),   // the tick before the change
      Of(Window::kAt, CompareOp::kEqual, 2u, 91u),   // rounds up to the tick at 100
      Of(Window::kAt, CompareOp::kEqual, 2u, 90u),   // one tick early
      Of(Window::kAt, CompareOp::kEqual, 2u, 200u),  // the last tick of the change
      Of(Window::kAt, CompareOp::kEqual, 2u, 201u),  // rounds up to 210: over
      Of(Window::kAt, CompareOp::kEqual, 0u, 0u),    // time 0 is the first tick, at 10
  });
  EXPECT_EQ(judged.outcomes, (std::vector<Outcome>{kPass, kPass, kFail, kPass, kFail, kPass}));
  EXPECT_EQ(judged.decided_at, (std::vector<uint32>{90u, 100u, 90u, 200u, 210u, 10u}));
}

TEST(ExpectationJudge, DuringFailsAtItsFirstFailingTickAndPassesAtItsEnd) {
  const Judged judged = Judge({
      Of(Window::kDuring, CompareOp::kEqual, 2u, 100u, 200u),  // exactly the change
      Of(Window::kDuring, CompareOp::kEqual, 2u, 91u, 209u),   // rounded inwards: the same
      Of(Window::kDuring, CompareOp::kEqual, 2u, 90u, 200u),   // a tick before
      Of(Window::kDuring, CompareOp::kEqual, 2u, 100u, 210u),  // a tick after
      Of(Window::kDuring, CompareOp::kEqual, 0u, 10u, 90u),
      Of(Window::kAlways, CompareOp::kLessEqual, 2u),
      Of(Window::kAlways, CompareOp::kNotEqual, 2u),
  });
  EXPECT_EQ(judged.outcomes,
            (std::vector<Outcome>{kPass, kPass, kFail, kFail, kPass, kPass, kFail}));
  EXPECT_EQ(judged.decided_at, (std::vector<uint32>{200u, 200u, 90u, 210u, 90u, 400u, 100u}));
}

TEST(ExpectationJudge, WithinPassesAtItsFirstHoldingTickAndFailsAtItsEnd) {
  const Judged judged = Judge({
      Of(Window::kWithin, CompareOp::kEqual, 2u, 50u, 100u),   // holds on its last tick
      Of(Window::kWithin, CompareOp::kEqual, 2u, 200u, 300u),  // holds on its first tick
      Of(Window::kWithin, CompareOp::kEqual, 2u, 50u, 99u),    // ends a tick before
      Of(Window::kWithin, CompareOp::kEqual, 2u, 201u, 300u),  // starts a tick after
      Of(Window::kWithin, CompareOp::kGreaterEqual, 1u, 0u, 400u),
  });
  EXPECT_EQ(judged.outcomes, (std::vector<Outcome>{kPass, kPass, kFail, kFail, kPass}));
  EXPECT_EQ(judged.decided_at, (std::vector<uint32>{100u, 200u, 90u, 300u, 100u}));
}

TEST(ExpectationJudge, ReadsTheDiagnosticEventsAndEveryOperator) {
  const Judged judged = Judge({
      Of(Window::kDuring, CompareOp::kEqual, 0u, 0u, 290u, kLatchStuck),
      Of(Window::kAt, CompareOp::kEqual, 1u, 300u, 0u, kLatchStuck),
      Of(Window::kAt, CompareOp::kEqual, 0u, 300u, 0u, kSpeedStuck),
      Of(Window::kAt, CompareOp::kLess, 2u, 150u),
      Of(Window::kAt, CompareOp::kLessEqual, 2u, 150u),
      Of(Window::kAt, CompareOp::kGreater, 2u, 150u),
      Of(Window::kAt, CompareOp::kGreaterEqual, 2u, 150u),
      Of(Window::kAt, CompareOp::kNotEqual, 2u, 150u),
  });
  EXPECT_EQ(judged.outcomes,
            (std::vector<Outcome>{kPass, kPass, kPass, kFail, kPass, kFail, kPass, kFail}));
}

TEST(ExpectationJudge, PrintsFailuresOfOneTickInFileOrderAndSkipsIdleTicks) {
  Expectation late = Of(Window::kWithin, CompareOp::kEqual, 1u, 50u, 100u);
  Expectation early = Of(Window::kAt, CompareOp::kEqual, 1u, 100u);
  Expectation named = Of(Window::kDuring, CompareOp::kEqual, 0u, 100u, 120u);
  named.id = "REQ-7";
  const Judged judged = Judge({late, early, named});
  EXPECT_EQ(judged.lines,
            "[SIM] t=100 ms: expectation failed: s.txt:1: expect: not met from 50 to 100 ms "
            "(warning_request was 2 (active) at 100 ms)\n"
            "[SIM] t=100 ms: expectation failed: s.txt:2: expect: warning_request was 2 "
            "(active) at 100 ms\n"
            "[SIM] t=100 ms: expectation failed: s.txt:3: expect: warning_request was 2 "
            "(active) at 100 ms\n");
  // Nothing is open before 50 ms or after the last decision.
  ASSERT_FALSE(judged.judged_ticks.empty());
  EXPECT_EQ(judged.judged_ticks.front(), 50u);
  EXPECT_EQ(judged.judged_ticks.back(), 100u);
}

TEST(ExpectationJudge, RefusesWindowsOutsideTheRun) {
  TickSpan span;
  EXPECT_FALSE(
      ExpectationSpan(Of(Window::kDuring, CompareOp::kEqual, 0u, 1001u, 1009u), 400u, span));
  EXPECT_FALSE(ExpectationSpan(Of(Window::kAt, CompareOp::kEqual, 0u, 4001u), 400u, span));
  EXPECT_TRUE(ExpectationSpan(Of(Window::kAt, CompareOp::kEqual, 0u, 3991u), 400u, span));
  EXPECT_EQ(span.first_ms, 4000u);
  EXPECT_FALSE(ExpectationSpan(Of(Window::kWithin, CompareOp::kEqual, 0u, 10u, 4001u), 400u, span));
  EXPECT_FALSE(ExpectationSpan(Of(Window::kAlways, CompareOp::kEqual, 0u), 0u, span));
  // The clock's last time, rounded up, does not wrap.
  EXPECT_FALSE(ExpectationSpan(Of(Window::kAt, CompareOp::kEqual, 0u, kMaxTimeMs - 5u),
                               kMaxTimeMs / kTickMs - 1u, span));
}

// A report must stay well-formed XML whatever a scenario's name holds: markup characters become
// entities, valid UTF-8 passes, and what XML cannot carry (control bytes, broken or overlong
// sequences, surrogates) is written out as text.
TEST(JUnitReport, EscapesWhatXmlCannotCarry) {
  const auto escaped = [](const std::string& text) {
    std::string out;
    PutXmlEscaped(
        text.data(), text.size(),
        [](const char* piece, std::size_t size, void* context) {
          static_cast<std::string*>(context)->append(piece, size);
        },
        &out);
    return out;
  };
  EXPECT_EQ(escaped("a&b<c>\"'d"), "a&amp;b&lt;c&gt;&quot;&apos;d");
  EXPECT_EQ(escaped("tab\tline\n\x01\x1b\x7f"), "tab\tline\n\\x01\\x1b\\x7f");
  EXPECT_EQ(escaped("Pr\xc3\xbc"
                    "fung \xe2\x82\xac \xf0\x9f\x9a\x97"),
            "Pr\xc3\xbc"
            "fung \xe2\x82\xac \xf0\x9f\x9a\x97");
  EXPECT_EQ(escaped("\xc3"), "\\xc3");                             // cut short
  EXPECT_EQ(escaped("\xc0\xaf"), "\\xc0\\xaf");                    // overlong
  EXPECT_EQ(escaped("\xed\xa0\x80"), "\\xed\\xa0\\x80");           // a surrogate
  EXPECT_EQ(escaped("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");  // beyond U+10FFFF
  EXPECT_EQ(escaped("\xe2\x28\xa1"), "\\xe2(\\xa1");               // a broken continuation
}

}  // namespace
}  // namespace seatbelt_sim
