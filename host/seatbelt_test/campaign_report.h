// The campaign's report pieces for one scenario: its line on standard output, its log's file
// name, its JUnit testsuite when the run gave none, and the verdicts amended by the catalogue.
#ifndef HOST_SEATBELT_TEST_CAMPAIGN_REPORT_H
#define HOST_SEATBELT_TEST_CAMPAIGN_REPORT_H

#include <cstddef>
#include <string>

#include "requirements.h"
#include "scenario_result.h"

namespace seatbelt_test {

// "a/b/c.txt" -> "a__b__c.txt.log".
std::string LogFileName(const std::string& path);

// Fails each expectation of a completed run whose ID catalogue lacks, even one that held: its
// testcase in the suite gets a <failure>, the counts and the first failure follow.
void ApplyCatalogue(const std::string& path, const Catalogue& catalogue, ScenarioResult& result);

// Testcases of the scenario: passed and failed (failures and errors alike).
struct TestcaseCounts {
  std::size_t passed = 0u;
  std::size_t failed = 0u;
};
TestcaseCounts CountTestcases(const ScenarioResult& result);

// For a scenario that did not complete: a testsuite of one testcase "run" with a <failure>
// (bad scenario) or an <error> (crash, timeout, no result); tests, failures and errors set.
void WriteFailureSuite(const std::string& path, unsigned timeout_s, ScenarioResult& result);

// "PASS PATH (N expectations)" or "FAIL PATH: why" with log_note (" (output: FILE)") after
// it, without a line end.
std::string ScenarioLine(const std::string& path, const ScenarioResult& result, unsigned timeout_s,
                         const std::string& log_note);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_CAMPAIGN_REPORT_H
