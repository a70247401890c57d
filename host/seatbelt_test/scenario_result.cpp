// The result record between a scenario's child process and the campaign.
#include "scenario_result.h"

#include <cstdlib>

namespace seatbelt_test {
namespace {

// Part markers; each part is its marker and its fields. A field is "LENGTH:" and that many
// bytes, so any text passes unchanged.
constexpr char kExpectationPart = 'E';
constexpr char kVerdictPart = 'V';

void PutField(const std::string& text, std::string& out) {
  out += std::to_string(text.size());
  out += ':';
  out += text;
}

void PutNumber(unsigned long long number, std::string& out) {
  PutField(std::to_string(number), out);
}

class Reader {
 public:
  explicit Reader(const std::string& record) : record_(record) {}

  bool AtEnd() const { return at_ >= record_.size(); }
  bool Marker(char marker) {
    if (at_ < record_.size() && record_[at_] == marker) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Field(std::string& text) {
    const std::size_t colon = record_.find(':', at_);
    if (colon == std::string::npos || colon == at_ || colon - at_ > 19u) {
      return false;
    }
    const unsigned long long length =
        std::strtoull(record_.substr(at_, colon - at_).c_str(), nullptr, 10);
    if (length > record_.size() - colon - 1u) {
      return false;
    }
    text = record_.substr(colon + 1u, length);
    at_ = colon + 1u + length;
    return true;
  }
  bool Number(unsigned long long& number) {
    std::string text;
    if (!Field(text) || text.empty()) {
      return false;
    }
    number = std::strtoull(text.c_str(), nullptr, 10);
    return true;
  }

 private:
  const std::string& record_;
  std::size_t at_ = 0u;
};

}  // namespace

void EncodeExpectations(const ScenarioResult& result, std::string& out) {
  out += kExpectationPart;
  PutNumber(result.expectations.size(), out);
  for (const ExpectationResult& expectation : result.expectations) {
    PutNumber(expectation.line, out);
    PutField(expectation.id, out);
    PutField(expectation.text, out);
  }
}

void EncodeVerdicts(const ScenarioResult& result, std::string& out) {
  out += kVerdictPart;
  PutNumber(static_cast<unsigned>(result.kind), out);
  PutNumber(result.expectations.size(), out);
  for (const ExpectationResult& expectation : result.expectations) {
    PutNumber(static_cast<unsigned>(expectation.outcome), out);
  }
  PutField(result.problem, out);
  PutField(result.first_failure, out);
  PutNumber(result.tests, out);
  PutNumber(result.failures, out);
  PutNumber(result.errors, out);
  PutField(result.suite_xml, out);
  // Whole microseconds: the time needs no more, and a number field stays an integer.
  PutNumber(static_cast<unsigned long long>(result.seconds * 1.0e6), out);
  PutNumber(static_cast<unsigned>(result.signal), out);
}

bool DecodeResult(const std::string& record, ScenarioResult& result) {
  Reader reader(record);
  unsigned long long count = 0u;
  if (reader.Marker(kExpectationPart)) {
    if (!reader.Number(count)) {
      return false;
    }
    std::vector<ExpectationResult> expectations;
    for (unsigned long long i = 0u; i < count; ++i) {
      ExpectationResult expectation;
      unsigned long long line = 0u;
      if (!reader.Number(line) || !reader.Field(expectation.id) ||
          !reader.Field(expectation.text)) {
        return false;
      }
      expectation.line = static_cast<unsigned>(line);
      expectations.push_back(std::move(expectation));
    }
    result.expectations = std::move(expectations);
  }
  if (!reader.Marker(kVerdictPart)) {
    return false;
  }
  // Decoded apart, so that a cut verdict part leaves result as the expectations made it.
  ScenarioResult decoded;
  decoded.expectations = result.expectations;
  unsigned long long kind = 0u;
  if (!reader.Number(kind) || kind > static_cast<unsigned>(RunKind::kTimedOut) ||
      !reader.Number(count) || count != decoded.expectations.size()) {
    return false;
  }
  for (ExpectationResult& expectation : decoded.expectations) {
    unsigned long long outcome = 0u;
    if (!reader.Number(outcome) || outcome > static_cast<unsigned>(ExpectationOutcome::kFailed)) {
      return false;
    }
    expectation.outcome = static_cast<ExpectationOutcome>(outcome);
  }
  unsigned long long tests = 0u;
  unsigned long long failures = 0u;
  unsigned long long errors = 0u;
  unsigned long long micros = 0u;
  unsigned long long signal = 0u;
  if (!reader.Field(decoded.problem) || !reader.Field(decoded.first_failure) ||
      !reader.Number(tests) || !reader.Number(failures) || !reader.Number(errors) ||
      !reader.Field(decoded.suite_xml) || !reader.Number(micros) || !reader.Number(signal) ||
      !reader.AtEnd()) {
    return false;
  }
  decoded.kind = static_cast<RunKind>(kind);
  decoded.tests = static_cast<std::size_t>(tests);
  decoded.failures = static_cast<std::size_t>(failures);
  decoded.errors = static_cast<std::size_t>(errors);
  decoded.seconds = static_cast<double>(micros) / 1.0e6;
  decoded.signal = static_cast<int>(signal);
  result = std::move(decoded);
  return true;
}

}  // namespace seatbelt_test
