// A strict reader of the Value Change Dump subset seatbelt_sim writes, for tests: it checks the
// structure a waveform viewer relies on and returns every signal's changes.
#ifndef HOST_SEATBELT_SIM_TESTS_VCD_READER_H
#define HOST_SEATBELT_SIM_TESTS_VCD_READER_H

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace seatbelt_sim_test {

// An unknown bit ('x') reads as this value.
inline constexpr std::int64_t kVcdUnknown = -1;

struct VcdVar {
  std::string name;
  unsigned width = 0u;
  std::vector<std::pair<std::uint64_t, std::int64_t>> changes;  // (time, value), time order

  // Value in force at time (after the changes at that time).
  std::int64_t At(std::uint64_t time) const {
    std::int64_t value = kVcdUnknown;
    for (const auto& [when, what] : changes) {
      if (when > time) {
        break;
      }
      value = what;
    }
    return value;
  }
};

struct VcdFile {
  std::string error;  // empty when the file is well formed
  std::string timescale;
  std::vector<std::string> scopes;
  std::map<std::string, VcdVar> vars;  // by name
  std::uint64_t last_time = 0u;
};

inline VcdFile ReadVcd(const std::string& text) {
  VcdFile vcd;
  std::map<std::string, std::string> name_of;  // identifier code -> name
  std::istringstream in(text);
  std::string word;
  const auto fail = [&](const std::string& what) {
    vcd.error = what;
    return vcd;
  };
  // Collects the words of a section up to its $end.
  const auto section = [&](std::vector<std::string>& words) {
    std::string w;
    while (in >> w) {
      if (w == "$end") {
        return true;
      }
      words.push_back(w);
    }
    return false;
  };

  bool definitions_done = false;
  while (!definitions_done && in >> word) {
    std::vector<std::string> words;
    if (word == "$enddefinitions") {
      if (!section(words) || !words.empty()) {
        return fail("bad $enddefinitions");
      }
      definitions_done = true;
    } else if (word == "$date" || word == "$version" || word == "$comment" || word == "$upscope") {
      if (!section(words)) {
        return fail("unterminated " + word);
      }
    } else if (word == "$timescale") {
      if (!section(words)) {
        return fail("unterminated $timescale");
      }
      for (const std::string& w : words) {
        vcd.timescale += (vcd.timescale.empty() ? "" : " ") + w;
      }
    } else if (word == "$scope") {
      if (!section(words) || words.size() != 2u) {
        return fail("bad $scope");
      }
      vcd.scopes.push_back(words[1]);
    } else if (word == "$var") {
      if (!section(words) || words.size() != 4u) {
        return fail("bad $var");
      }
      VcdVar var;
      var.name = words[3];
      var.width = static_cast<unsigned>(std::stoul(words[1]));
      if (var.width == 0u || name_of.count(words[2]) != 0u || vcd.vars.count(var.name) != 0u) {
        return fail("bad or duplicate $var " + var.name);
      }
      name_of[words[2]] = var.name;
      vcd.vars[var.name] = var;
    } else {
      return fail("unexpected '" + word + "' in the header");
    }
  }
  if (!definitions_done) {
    return fail("no $enddefinitions");
  }

  bool have_time = false;
  std::uint64_t time = 0u;
  const auto record = [&](const std::string& id, std::int64_t value, unsigned bits,
                          bool scalar) -> bool {
    const auto found = name_of.find(id);
    if (found == name_of.end()) {
      vcd.error = "change of undeclared id '" + id + "'";
      return false;
    }
    VcdVar& var = vcd.vars[found->second];
    if ((var.width == 1u) != scalar || bits > var.width) {
      vcd.error = "value of " + var.name + " does not fit its width";
      return false;
    }
    var.changes.emplace_back(time, value);
    return true;
  };
  while (in >> word) {
    if (word == "$dumpvars" || word == "$end") {
      continue;
    }
    if (word[0] == '#') {
      const std::uint64_t next = std::stoull(word.substr(1));
      if (have_time && next <= time) {
        return fail("time " + word + " does not rise");
      }
      time = next;
      have_time = true;
      continue;
    }
    if (!have_time) {
      return fail("value change before the first time");
    }
    if (word[0] == 'b') {
      std::string id;
      if (!(in >> id)) {
        return fail("vector value without id");
      }
      std::int64_t value = 0;
      for (std::size_t i = 1u; i < word.size(); ++i) {
        if (word[i] != '0' && word[i] != '1') {
          return fail("bad vector value " + word);
        }
        value = value * 2 + (word[i] - '0');
      }
      if (!record(id, value, static_cast<unsigned>(word.size() - 1u), false)) {
        return vcd;
      }
    } else if (word[0] == '0' || word[0] == '1' || word[0] == 'x') {
      const std::int64_t value = word[0] == 'x' ? kVcdUnknown : word[0] - '0';
      if (!record(word.substr(1), value, 1u, true)) {
        return vcd;
      }
    } else {
      return fail("unexpected '" + word + "' in the value changes");
    }
  }
  vcd.last_time = time;
  return vcd;
}

}  // namespace seatbelt_sim_test

#endif  // HOST_SEATBELT_SIM_TESTS_VCD_READER_H
