// One scenario's part of the campaign report.
#include "campaign_report.h"

#include <cmath>

#include "junit_report.h"

namespace seatbelt_test {
namespace {

void AppendTo(const char* text, std::size_t size, void* context) {
  static_cast<std::string*>(context)->append(text, size);
}

std::string XmlEscaped(const std::string& text) {
  std::string escaped;
  seatbelt_sim::PutXmlEscaped(text.data(), text.size(), &AppendTo, &escaped);
  return escaped;
}

// Why a scenario that did not complete failed, as its line and its testcase say it.
std::string Problem(const ScenarioResult& result, unsigned timeout_s) {
  switch (result.kind) {
    case RunKind::kBadScenario:
      return "bad scenario: " + result.problem;
    case RunKind::kCrashed:
      return "crashed (signal " + std::to_string(result.signal) + ")";
    case RunKind::kTimedOut:
      return "timed out after " + std::to_string(timeout_s) + " s";
    case RunKind::kNoResult:
    case RunKind::kCompleted:
      break;
  }
  return result.problem;
}

}  // namespace

std::string LogFileName(const std::string& path) {
  std::string name;
  for (const char c : path) {
    name += c == '/' ? std::string("__") : std::string(1u, c);
  }
  return name + ".log";
}

void ApplyCatalogue(const std::string& path, const Catalogue& catalogue, ScenarioResult& result) {
  if (result.kind != RunKind::kCompleted) {
    return;
  }
  const std::string suite = XmlEscaped(path);
  for (ExpectationResult& expectation : result.expectations) {
    if (expectation.id.empty() || catalogue.Has(expectation.id)) {
      continue;
    }
    const std::string why = path + ":" + std::to_string(expectation.line) + ": " +
                            expectation.text + ": requirement " + expectation.id + " is not in " +
                            catalogue.path;
    if (result.first_failure.empty()) {
      result.first_failure = why;
    }
    if (expectation.outcome != ExpectationOutcome::kPassed) {
      continue;  // failed already, with what was seen
    }
    expectation.outcome = ExpectationOutcome::kFailed;
    ++result.failures;
    // The passed testcase as WriteJUnitSuite writes it, turned into a failed one.
    std::string opening = "    <testcase name=\"";
    opening += XmlEscaped(expectation.id + " " + path + ":" + std::to_string(expectation.line));
    opening += "\" classname=\"";
    opening += suite;
    opening += '"';
    const std::size_t at = result.suite_xml.find(opening + "/>\n");
    if (at != std::string::npos) {
      const std::string message = XmlEscaped(why);
      std::string failed = opening;
      failed += ">\n      <failure message=\"";
      failed += message;
      failed += "\" type=\"requirement\">";
      failed += message;
      failed += "</failure>\n    </testcase>\n";
      result.suite_xml.replace(at, opening.size() + 3u, failed);
    }
  }
  // The suite's own count, in its first line.
  const std::string key = "\" failures=\"";
  const std::size_t at = result.suite_xml.find(key);
  if (at != std::string::npos) {
    const std::size_t end = result.suite_xml.find('"', at + key.size());
    result.suite_xml.replace(at + key.size(), end - at - key.size(),
                             std::to_string(result.failures));
  }
}

TestcaseCounts CountTestcases(const ScenarioResult& result) {
  TestcaseCounts counts;
  counts.failed = result.failures + result.errors;
  counts.passed = result.tests > counts.failed ? result.tests - counts.failed : 0u;
  return counts;
}

void WriteFailureSuite(const std::string& path, unsigned timeout_s, ScenarioResult& result) {
  const bool failure = result.kind == RunKind::kBadScenario;
  const char* const type = failure                             ? "scenario"
                           : result.kind == RunKind::kCrashed  ? "crash"
                           : result.kind == RunKind::kTimedOut ? "timeout"
                                                               : "run";
  const std::string name = XmlEscaped(path);
  const std::string message = XmlEscaped(Problem(result, timeout_s));
  const auto millis = static_cast<unsigned long>(std::lround(result.seconds * 1000.0));
  std::string millis_text = std::to_string(millis % 1000u);
  millis_text.insert(0u, 3u - millis_text.size(), '0');
  result.tests = 1u;
  result.failures = failure ? 1u : 0u;
  result.errors = failure ? 0u : 1u;
  result.suite_xml = "  <testsuite name=\"" + name + "\" tests=\"1\" failures=\"" +
                     std::to_string(result.failures) + "\" errors=\"" +
                     std::to_string(result.errors) + "\" skipped=\"0\" time=\"" +
                     std::to_string(millis / 1000u) + "." + millis_text + "\">\n" +
                     "    <testcase name=\"run\" classname=\"" + name + "\">\n      <" +
                     (failure ? "failure" : "error") + " message=\"" + message + "\" type=\"" +
                     type + "\"/>\n    </testcase>\n  </testsuite>\n";
}

std::string ScenarioLine(const std::string& path, const ScenarioResult& result, unsigned timeout_s,
                         const std::string& log_note) {
  if (result.kind == RunKind::kCompleted && result.failures == 0u && result.errors == 0u) {
    const std::size_t count = result.expectations.size();
    return "PASS " + path +
           (count == 0u   ? std::string(" (no expectations)")
            : count == 1u ? std::string(" (1 expectation)")
                          : " (" + std::to_string(count) + " expectations)");
  }
  std::string why = Problem(result, timeout_s);
  if (result.kind == RunKind::kCompleted && !result.first_failure.empty()) {
    why = result.first_failure;
  }
  return "FAIL " + path + ": " + why + (result.kind == RunKind::kBadScenario ? "" : log_note);
}

}  // namespace seatbelt_test
