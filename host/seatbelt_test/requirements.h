// The requirements catalogue and what a campaign says about it: which expectations verify each
// requirement, whether they all passed, and the traceability table as Markdown.
#ifndef HOST_SEATBELT_TEST_REQUIREMENTS_H
#define HOST_SEATBELT_TEST_REQUIREMENTS_H

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace seatbelt_test {

struct Requirement {
  std::string id;
  std::string title;
};

// A Markdown file in which each requirement is a level-3 heading "### ID title"; headings in
// fenced code blocks do not count.
struct Catalogue {
  std::string path;
  std::vector<Requirement> requirements;  // in file order
  std::set<std::string> ids;

  bool Has(const std::string& id) const { return ids.count(id) > 0u; }
};

// Reads the catalogue at path; false with error ("cannot read 'PATH': why", "PATH:LINE:
// requirement 'ID' listed twice", "PATH: no requirement ...") when it cannot be used.
bool LoadCatalogue(const std::string& path, Catalogue& catalogue, std::string& error);

// One expectation that names a requirement: its place "FILE:LINE" and whether it passed.
struct Verification {
  std::string place;
  bool passed = false;
};

enum class RequirementVerdict : unsigned char { kPassed, kFailed, kNotCovered };

struct RequirementResult {
  const Requirement* requirement = nullptr;
  std::vector<Verification> verifications;  // in campaign order
  RequirementVerdict verdict = RequirementVerdict::kNotCovered;
  std::string why;  // for a failed or uncovered one
};

// Collects the verifications of a campaign and judges the catalogue's requirements.
class Traceability {
 public:
  explicit Traceability(const Catalogue& catalogue) : catalogue_(catalogue) {}

  // An expectation as the campaign reaches it; an ID the catalogue lacks is kept apart.
  void Add(const std::string& id, const std::string& place, bool passed);

  // The requirements in catalogue order. With a shard, a requirement that no expectation of
  // this part names is left out, unless none of the whole campaign does (named_anywhere) and
  // include_uncovered is set (part 1 reports those).
  std::vector<RequirementResult> Judge(const std::set<std::string>* named_anywhere,
                                       bool include_uncovered) const;

  // The traceability table of results, with the unknown IDs below it.
  std::string Markdown(const std::vector<RequirementResult>& results) const;

 private:
  const Catalogue& catalogue_;
  std::map<std::string, std::vector<Verification>> by_id_;
  std::vector<std::pair<std::string, std::string>> unknown_;  // ID, place
};

// The testsuite "requirements" of the JUnit report, and its counts.
std::string RequirementsSuite(const std::vector<RequirementResult>& results, std::size_t& failures);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_REQUIREMENTS_H
