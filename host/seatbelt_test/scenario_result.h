// What a scenario's run gives the campaign: its verdicts, the first failure, its JUnit
// testsuite. A run happens in a worker process; the result comes back in a file as a record
// of length-prefixed fields, in two parts: the expectations as soon as the scenario is read
// (so that a crash still tells which requirements it would have verified), then the verdicts.
#ifndef HOST_SEATBELT_TEST_SCENARIO_RESULT_H
#define HOST_SEATBELT_TEST_SCENARIO_RESULT_H

#include <cstddef>
#include <string>
#include <vector>

namespace seatbelt_test {

enum class RunKind : unsigned char {
  kNoResult,     // the worker ended without a complete record
  kCompleted,    // the run completed; see the verdicts
  kBadScenario,  // rejected before running; problem says why
  kCrashed,      // ended by a signal
  kTimedOut,     // stopped after the timeout
};

enum class ExpectationOutcome : unsigned char { kUnknown, kPassed, kFailed };

struct ExpectationResult {
  unsigned line = 0u;
  std::string id;    // empty without 'as'
  std::string text;  // "expect ..." as written
  ExpectationOutcome outcome = ExpectationOutcome::kUnknown;
};

struct ScenarioResult {
  RunKind kind = RunKind::kNoResult;
  std::vector<ExpectationResult> expectations;  // in file order
  std::string problem;        // bad scenario: "FILE:LINE: problem"; else why it ended badly
  std::string first_failure;  // "NAME:LINE: expect ...: what was seen" of the earliest failure
  std::size_t tests = 0u;     // testcases, failures and errors of suite_xml
  std::size_t failures = 0u;
  std::size_t errors = 0u;
  std::string suite_xml;  // "  <testsuite ...>" to "  </testsuite>\n"
  double seconds = 0.0;
  int signal = 0;  // kCrashed
};

// The record's two parts. The expectation part carries the expectations without outcomes;
// the verdict part the rest.
void EncodeExpectations(const ScenarioResult& result, std::string& out);
void EncodeVerdicts(const ScenarioResult& result, std::string& out);

// Fills result from what the worker sent: the expectations when their part arrived whole, and
// kind and verdicts when the verdict part did. False when the verdict part is missing.
bool DecodeResult(const std::string& record, ScenarioResult& result);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_SCENARIO_RESULT_H
