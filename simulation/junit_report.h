// The verdicts of a run as a JUnit XML report, the form CI servers (Jenkins, GitLab) read: one
// <testsuite> named after the scenario, one <testcase> per expectation, named after its
// requirement (if any) and its place "name:LINE", with a <failure> for a failed one. A run
// without expectations is one testcase "run" that passes when the run completes. The text is
// handed to a sink piece by piece, so that the desktop can write the file whole and the board
// can write it through its C library.
#ifndef SIMULATION_JUNIT_REPORT_H
#define SIMULATION_JUNIT_REPORT_H

#include <cstddef>

#include "expectation.h"

namespace seatbelt_sim {

// How a run ended, beside its expectations' verdicts.
struct RunEnd {
  uint32 millis = 0u;           // wall time of the run, in whole ms
  const char* error = nullptr;  // why an output could not be written in full, or null
};

// The numbers of a suite: testcases, failed ones, and errors (a run whose output failed).
struct SuiteCounts {
  std::size_t tests = 0u;
  std::size_t failures = 0u;
  std::size_t errors = 0u;
};
SuiteCounts CountSuite(const ExpectationJudge& judge, const RunEnd& end);

// '<testsuite ...>' to '</testsuite>' with its testcases, each line indented by two blanks and
// ended by a newline.
void WriteJUnitSuite(const char* suite_name, const ExpectationJudge& judge, const RunEnd& end,
                     DescriptionSink put, void* context);

// A whole report of one suite: the XML declaration, <testsuites> with the totals, the suite.
void WriteJUnitReport(const char* suite_name, const ExpectationJudge& judge, const RunEnd& end,
                      DescriptionSink put, void* context);

// The report's text pieces, escaped for an XML attribute or text: & < > " ' as entities, a
// byte that is not valid UTF-8 or a control character other than tab, line feed and carriage
// return as the text "\xNN".
void PutXmlEscaped(const char* text, std::size_t size, DescriptionSink put, void* context);

// "<testsuites" attributes and the XML declaration before it; the caller closes with
// "</testsuites>\n".
void WriteJUnitHeader(const char* name, const SuiteCounts& totals, uint32 millis,
                      DescriptionSink put, void* context);

}  // namespace seatbelt_sim

#endif  // SIMULATION_JUNIT_REPORT_H
