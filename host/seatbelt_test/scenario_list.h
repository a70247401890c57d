// The scenarios of a campaign: the files and folders of the command line expanded to scenario
// files, sorted and without repeats, and the part of them a shard runs.
#ifndef HOST_SEATBELT_TEST_SCENARIO_LIST_H
#define HOST_SEATBELT_TEST_SCENARIO_LIST_H

#include <cstddef>
#include <string>
#include <vector>

namespace seatbelt_test {

struct ScenarioListResult {
  std::vector<std::string> paths;  // sorted by their bytes, each file once
  std::string error;               // "cannot read 'PATH': why" when a path failed
};

// Each of inputs as it is if it is a file, or the *.txt files below it (recursively, names
// starting with '.' skipped) joined to it with '/' if it is a folder. A file reached twice (the
// same device and inode) is kept under its first path in sorted order.
ScenarioListResult ListScenarios(const std::vector<std::string>& inputs);

// The range [first, first + count) of a list of total entries that part index (1-based) of
// parts runs: contiguous blocks, the first total % parts of them one longer.
struct ShardRange {
  std::size_t first = 0u;
  std::size_t count = 0u;
};
ShardRange ShardOf(std::size_t total, unsigned index, unsigned parts);

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_SCENARIO_LIST_H
