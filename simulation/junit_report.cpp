// JUnit XML report of a run's verdicts.
#include "junit_report.h"

#include <cstring>

namespace seatbelt_sim {
namespace {

struct Sink {
  DescriptionSink put;
  void* context;

  void Text(const char* text) const { put(text, std::strlen(text), context); }
  void Escaped(const char* text) const { PutXmlEscaped(text, std::strlen(text), put, context); }
  void Number(std::size_t number) const {
    char digits[20];
    put(digits, DecimalDigits(number, digits), context);
  }
  // ' tests="N" failures="F" errors="E"', the counts of a suite or of all of them.
  void Counts(const SuiteCounts& counts) const {
    Text(" tests=\"");
    Number(counts.tests);
    Text("\" failures=\"");
    Number(counts.failures);
    Text("\" errors=\"");
    Number(counts.errors);
    Text("\"");
  }
  // Seconds with three decimals, from whole milliseconds: no floating point, which the
  // board's C library does not print and its core computes only in software.
  void Seconds(uint32 millis) const {
    Number(millis / 1000u);
    const char fraction[4] = {'.', static_cast<char>('0' + millis / 100u % 10u),
                              static_cast<char>('0' + millis / 10u % 10u),
                              static_cast<char>('0' + millis % 10u)};
    put(fraction, sizeof fraction, context);
  }
};

// A sink that escapes what it is handed before passing it on.
void PutEscapedPiece(const char* text, std::size_t size, void* context) {
  const Sink& sink = *static_cast<Sink*>(context);
  PutXmlEscaped(text, size, sink.put, sink.context);
}

// Length of the valid UTF-8 sequence at text (size bytes left), or 0.
std::size_t Utf8Length(const unsigned char* text, std::size_t size) {
  const unsigned char lead = text[0];
  std::size_t length = 0u;
  unsigned long code = 0u;
  if (lead >= 0xC2u && lead <= 0xDFu) {
    length = 2u;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0u && lead <= 0xEFu) {
    length = 3u;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0u && lead <= 0xF4u) {
    length = 4u;
    code = lead & 0x07u;
  } else {
    return 0u;
  }
  if (length > size) {
    return 0u;
  }
  for (std::size_t i = 1u; i < length; ++i) {
    if ((text[i] & 0xC0u) != 0x80u) {
      return 0u;
    }
    code = (code << 6u) | (text[i] & 0x3Fu);
  }
  // Overlong forms, surrogates and code points beyond Unicode are not valid.
  const unsigned long least[5] = {0u, 0u, 0x80u, 0x800u, 0x10000u};
  if (code < least[length] || (code >= 0xD800u && code <= 0xDFFFu) || code > 0x10FFFFu) {
    return 0u;
  }
  return length;
}

void WriteTestcaseName(const Sink& sink, const char* suite_name, const Expectation& expectation) {
  if (expectation.id != nullptr) {
    sink.Escaped(expectation.id);
    sink.Text(" ");
  }
  sink.Escaped(suite_name);
  sink.Text(":");
  sink.Number(expectation.line);
}

}  // namespace

void PutXmlEscaped(const char* text, std::size_t size, DescriptionSink put, void* context) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text);  // NOLINT: bytes
  std::size_t plain = 0u;  // start of the run of bytes passed on as they are
  std::size_t i = 0u;
  while (i < size) {
    const unsigned char byte = bytes[i];
    const char* entity = nullptr;
    char escaped[8] = {};
    std::size_t step = 1u;
    switch (byte) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      case '\'':
        entity = "&apos;";
        break;
      default:
        if (byte >= 0x80u) {
          step = Utf8Length(bytes + i, size - i);
        }
        if ((byte < 0x20u && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7Fu ||
            step == 0u) {
          constexpr char kHex[] = "0123456789abcdef";
          escaped[0] = '\\';
          escaped[1] = 'x';
          escaped[2] = kHex[byte >> 4u];
          escaped[3] = kHex[byte & 0x0Fu];
          entity = escaped;
          step = 1u;
        }
        break;
    }
    if (entity != nullptr) {
      put(text + plain, i - plain, context);
      put(entity, std::strlen(entity), context);
      plain = i + 1u;
    }
    i += step;
  }
  put(text + plain, size - plain, context);
}

SuiteCounts CountSuite(const ExpectationJudge& judge, const RunEnd& end) {
  SuiteCounts counts;
  if (judge.count() == 0u) {
    counts.tests = 1u;
    counts.errors = end.error != nullptr ? 1u : 0u;
    return counts;
  }
  counts.tests = judge.count();
  counts.failures = judge.count() - judge.passed();
  if (end.error != nullptr) {
    ++counts.tests;
    counts.errors = 1u;
  }
  return counts;
}

void WriteJUnitSuite(const char* suite_name, const ExpectationJudge& judge, const RunEnd& end,
                     DescriptionSink put, void* context) {
  Sink sink{put, context};
  const SuiteCounts counts = CountSuite(judge, end);
  sink.Text("  <testsuite name=\"");
  sink.Escaped(suite_name);
  sink.Text("\"");
  sink.Counts(counts);
  sink.Text(" skipped=\"0\" time=\"");
  sink.Seconds(end.millis);
  sink.Text("\">\n");
  const auto open_case = [&sink, suite_name](const char* name) {
    sink.Text("    <testcase name=\"");
    sink.Escaped(name);
    sink.Text("\" classname=\"");
    sink.Escaped(suite_name);
    sink.Text("\"");
  };
  const auto error_case = [&sink, &open_case, &end](const char* name) {
    open_case(name);
    sink.Text(">\n      <error message=\"");
    sink.Escaped(end.error);
    sink.Text("\" type=\"output\"/>\n    </testcase>\n");
  };
  if (judge.count() == 0u) {
    if (end.error != nullptr) {
      error_case("run");
    } else {
      open_case("run");
      sink.Text("/>\n");
    }
  }
  for (std::size_t i = 0u; i < judge.count(); ++i) {
    const Expectation& expectation = judge.expectation(i);
    sink.Text("    <testcase name=\"");
    WriteTestcaseName(sink, suite_name, expectation);
    sink.Text("\" classname=\"");
    sink.Escaped(suite_name);
    if (judge.verdict(i).outcome == Outcome::kPassed) {
      sink.Text("\"/>\n");
      continue;
    }
    // The failure line's text, as the run printed it, as message and as content.
    sink.Text("\">\n      <failure message=\"");
    judge.Describe(i, &PutEscapedPiece, &sink);
    sink.Text("\" type=\"expectation\">");
    judge.Describe(i, &PutEscapedPiece, &sink);
    sink.Text("</failure>\n    </testcase>\n");
  }
  if (judge.count() > 0u && end.error != nullptr) {
    error_case("outputs");
  }
  sink.Text("  </testsuite>\n");
}

void WriteJUnitHeader(const char* name, const SuiteCounts& totals, uint32 millis,
                      DescriptionSink put, void* context) {
  const Sink sink{put, context};
  sink.Text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"");
  sink.Escaped(name);
  sink.Text("\"");
  sink.Counts(totals);
  sink.Text(" time=\"");
  sink.Seconds(millis);
  sink.Text("\">\n");
}

void WriteJUnitReport(const char* suite_name, const ExpectationJudge& judge, const RunEnd& end,
                      DescriptionSink put, void* context) {
  WriteJUnitHeader(suite_name, CountSuite(judge, end), end.millis, put, context);
  WriteJUnitSuite(suite_name, judge, end, put, context);
  put("</testsuites>\n", 14u, context);
}

}  // namespace seatbelt_sim
