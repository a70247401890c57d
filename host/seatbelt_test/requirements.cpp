// Requirements catalogue, coverage and the traceability table.
#include "requirements.h"

#include <cerrno>
#include <fstream>

#include "cli.h"
#include "junit_report.h"
#include "system_text.h"

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

// Text for a table cell: a '|' would end the cell, a line end the row.
std::string CellText(const std::string& text) {
  std::string cell;
  for (const char c : text) {
    if (c == '|') {
      cell += "\\|";
    } else if (c == '\n' || c == '\r') {
      cell += ' ';
    } else {
      cell += c;
    }
  }
  return cell;
}

const char* VerdictWord(RequirementVerdict verdict) {
  switch (verdict) {
    case RequirementVerdict::kPassed:
      return "passed";
    case RequirementVerdict::kFailed:
      return "failed";
    case RequirementVerdict::kNotCovered:
      break;
  }
  return "not covered";
}

}  // namespace

bool LoadCatalogue(const std::string& path, Catalogue& catalogue, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + host_cli::Quote(path) + ": " + ErrorText(errno);
    return false;
  }
  catalogue.path = path;
  std::string line;
  std::size_t number = 0u;
  bool fenced = false;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.compare(0u, 3u, "```") == 0 || line.compare(0u, 3u, "~~~") == 0) {
      fenced = !fenced;
      continue;
    }
    if (fenced || line.compare(0u, 4u, "### ") != 0) {
      continue;
    }
    const std::size_t id_start = line.find_first_not_of(' ', 4u);
    if (id_start == std::string::npos) {
      continue;
    }
    const std::size_t id_end = line.find(' ', id_start);
    Requirement requirement;
    requirement.id = line.substr(id_start, id_end - id_start);
    if (id_end != std::string::npos) {
      const std::size_t title = line.find_first_not_of(' ', id_end);
      requirement.title = title == std::string::npos ? "" : line.substr(title);
    }
    if (!catalogue.ids.insert(requirement.id).second) {
      error = path + ":" + std::to_string(number) + ": requirement " +
              host_cli::Quote(requirement.id) + " listed twice";
      return false;
    }
    catalogue.requirements.push_back(std::move(requirement));
  }
  if (catalogue.requirements.empty()) {
    error = path + ": no requirement (a heading '### ID title') in the catalogue";
    return false;
  }
  return true;
}

void Traceability::Add(const std::string& id, const std::string& place, bool passed) {
  if (catalogue_.Has(id)) {
    by_id_[id].push_back({place, passed});
  } else {
    unknown_.emplace_back(id, place);
  }
}

std::vector<RequirementResult> Traceability::Judge(const std::set<std::string>* named_anywhere,
                                                   bool include_uncovered) const {
  std::vector<RequirementResult> results;
  for (const Requirement& requirement : catalogue_.requirements) {
    RequirementResult result;
    result.requirement = &requirement;
    const auto found = by_id_.find(requirement.id);
    if (found != by_id_.end()) {
      result.verifications = found->second;
    }
    if (result.verifications.empty()) {
      if (named_anywhere != nullptr &&
          (named_anywhere->count(requirement.id) > 0u || !include_uncovered)) {
        continue;  // another part of the campaign judges it
      }
      result.why = "not covered: no expectation verifies it";
      results.push_back(std::move(result));
      continue;
    }
    std::string failed;
    for (const Verification& verification : result.verifications) {
      if (!verification.passed) {
        failed += (failed.empty() ? "" : ", ") + verification.place;
      }
    }
    if (failed.empty()) {
      result.verdict = RequirementVerdict::kPassed;
    } else {
      result.verdict = RequirementVerdict::kFailed;
      result.why = "failed: " + failed;
    }
    results.push_back(std::move(result));
  }
  return results;
}

std::string Traceability::Markdown(const std::vector<RequirementResult>& results) const {
  std::size_t counts[3] = {};
  std::string table;
  for (const RequirementResult& result : results) {
    ++counts[static_cast<std::size_t>(result.verdict)];
    table += "| " + CellText(result.requirement->id) + " | " + CellText(result.requirement->title) +
             " | ";
    for (std::size_t i = 0u; i < result.verifications.size(); ++i) {
      table += (i == 0u ? "`" : "<br>`") + CellText(result.verifications[i].place) + "`";
      if (!result.verifications[i].passed) {
        table += " (failed)";
      }
    }
    table += std::string(" | ") + VerdictWord(result.verdict) + " |\n";
  }
  std::string text =
      "# Requirements traceability\n\nGenerated by `seatbelt_test --trace` from `" +
      CellText(catalogue_.path) + "` and the scenarios' expectations; do not edit it by hand.\n\n" +
      std::to_string(results.size()) + " requirements: " + std::to_string(counts[0]) + " passed, " +
      std::to_string(counts[1]) + " failed, " + std::to_string(counts[2]) + " not covered.\n\n" +
      "| Requirement | Title | Verified by | Verdict |\n|---|---|---|---|\n" + table;
  if (!unknown_.empty()) {
    text += "\nExpectations naming a requirement the catalogue lacks:\n\n";
    for (const auto& [id, place] : unknown_) {
      text += "- `" + CellText(place) + "`: " + CellText(id) + "\n";
    }
  }
  return text;
}

std::string RequirementsSuite(const std::vector<RequirementResult>& results,
                              std::size_t& failures) {
  failures = 0u;
  std::string cases;
  for (const RequirementResult& result : results) {
    cases += "    <testcase name=\"" + XmlEscaped(result.requirement->id) +
             "\" classname=\"requirements\"";
    if (result.verdict == RequirementVerdict::kPassed) {
      cases += "/>\n";
      continue;
    }
    ++failures;
    const std::string why = XmlEscaped(result.why);
    cases += ">\n      <failure message=\"";
    cases += why;
    cases += "\" type=\"requirement\">";
    cases += why;
    cases += "</failure>\n    </testcase>\n";
  }
  return "  <testsuite name=\"requirements\" tests=\"" + std::to_string(results.size()) +
         "\" failures=\"" + std::to_string(failures) +
         "\" errors=\"0\" skipped=\"0\" time=\"0.000\">\n" + cases + "  </testsuite>\n";
}

}  // namespace seatbelt_test
