// The parts of a sharded list, and the result record a scenario's child sends.
#include <gtest/gtest.h>

#include "scenario_list.h"
#include "scenario_result.h"

namespace {

using seatbelt_test::ShardOf;
using seatbelt_test::ShardRange;

TEST(ShardOf, PartsFollowEachOtherCoverTheListAndDifferByOneAtMost) {
  for (std::size_t total = 0u; total <= 40u; ++total) {
    for (unsigned parts = 1u; parts <= 12u; ++parts) {
      std::size_t next = 0u;
      std::size_t shortest = total;
      std::size_t longest = 0u;
      for (unsigned index = 1u; index <= parts; ++index) {
        const ShardRange range = ShardOf(total, index, parts);
        EXPECT_EQ(range.first, next) << total << " in " << parts << ", part " << index;
        next = range.first + range.count;
        shortest = std::min(shortest, range.count);
        longest = std::max(longest, range.count);
      }
      EXPECT_EQ(next, total) << total << " in " << parts;
      EXPECT_LE(longest - shortest, 1u) << total << " in " << parts;
    }
  }
}

TEST(ScenarioResultRecord, SurvivesAnyBytesAndTellsAWholeRecordFromAPart) {
  seatbelt_test::ScenarioResult sent;
  sent.kind = seatbelt_test::RunKind::kCompleted;
  sent.expectations = {
      {12u, "SBR-1", "expect a == 1 at 10 as SBR-1", seatbelt_test::ExpectationOutcome::kFailed},
      {13u, "", std::string("odd\0:12:bytes\n", 15), seatbelt_test::ExpectationOutcome::kPassed}};
  sent.first_failure = "f.txt:12: expect a == 1 at 10: a was 0 at 10 ms";
  sent.tests = 2u;
  sent.failures = 1u;
  sent.suite_xml = "  <testsuite>\n  </testsuite>\n";
  sent.seconds = 0.25;
  std::string expectations;
  std::string verdicts;
  EncodeExpectations(sent, expectations);
  EncodeVerdicts(sent, verdicts);

  seatbelt_test::ScenarioResult whole;
  ASSERT_TRUE(DecodeResult(expectations + verdicts, whole));
  EXPECT_EQ(whole.kind, sent.kind);
  ASSERT_EQ(whole.expectations.size(), 2u);
  EXPECT_EQ(whole.expectations[1].text, sent.expectations[1].text);
  EXPECT_EQ(whole.expectations[0].outcome, seatbelt_test::ExpectationOutcome::kFailed);
  EXPECT_EQ(whole.first_failure, sent.first_failure);
  EXPECT_EQ(whole.suite_xml, sent.suite_xml);
  EXPECT_EQ(whole.failures, 1u);
  EXPECT_DOUBLE_EQ(whole.seconds, 0.25);

  // A child that died after sending its expectations: those are known, the verdicts are not.
  seatbelt_test::ScenarioResult cut;
  EXPECT_FALSE(DecodeResult(expectations + verdicts.substr(0u, verdicts.size() - 3u), cut));
  EXPECT_EQ(cut.expectations.size(), 2u);
  EXPECT_EQ(cut.kind, seatbelt_test::RunKind::kNoResult);
  EXPECT_EQ(cut.expectations[0].outcome, seatbelt_test::ExpectationOutcome::kUnknown);
}

}  // namespace
