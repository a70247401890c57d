// Scenario files from the command line's paths.
#include "scenario_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "cli.h"
#include "system_text.h"

namespace seatbelt_test {
namespace {

using FileId = std::pair<dev_t, ino_t>;

bool EndsWithTxt(const std::string& name) {
  return name.size() > 4u && name.compare(name.size() - 4u, 4u, ".txt") == 0;
}

std::string CannotRead(const std::string& path, int error) {
  return "cannot read " + host_cli::Quote(path) + ": " + ErrorText(error);
}

// Adds the scenario files below folder; visited holds the folders entered so far, so that a
// link back up the tree ends the descent.
bool ListFolder(const std::string& folder, std::set<FileId>& visited,
                std::vector<std::string>& found, std::string& error) {
  DIR* const dir = opendir(folder.c_str());
  if (dir == nullptr) {
    error = CannotRead(folder, errno);
    return false;
  }
  std::vector<std::string> names;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): one thread, and each stream read by one reader
  while (const dirent* const entry = readdir(dir)) {
    if (entry->d_name[0] != '.') {
      names.emplace_back(entry->d_name);
    }
  }
  (void)closedir(dir);
  const std::string prefix = folder == "/" ? folder : folder + "/";
  for (const std::string& name : names) {
    const std::string path = prefix + name;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
      continue;  // a dangling link is no scenario
    }
    if (S_ISDIR(info.st_mode)) {
      if (visited.insert({info.st_dev, info.st_ino}).second &&
          !ListFolder(path, visited, found, error)) {
        return false;
      }
    } else if (S_ISREG(info.st_mode) && EndsWithTxt(name)) {
      found.push_back(path);
    }
  }
  return true;
}

}  // namespace

ScenarioListResult ListScenarios(const std::vector<std::string>& inputs) {
  ScenarioListResult result;
  std::vector<std::string> found;
  for (const std::string& input : inputs) {
    struct stat info {};
    if (stat(input.c_str(), &info) != 0) {
      result.error = CannotRead(input, errno);
      return result;
    }
    if (!S_ISDIR(info.st_mode)) {
      found.push_back(input);
      continue;
    }
    std::string folder = input;
    while (folder.size() > 1u && folder.back() == '/') {
      folder.pop_back();
    }
    std::set<FileId> visited{{info.st_dev, info.st_ino}};
    if (!ListFolder(folder, visited, found, result.error)) {
      return result;
    }
  }
  std::sort(found.begin(), found.end());
  std::set<FileId> seen;
  for (std::string& path : found) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !seen.insert({info.st_dev, info.st_ino}).second) {
      continue;
    }
    result.paths.push_back(std::move(path));
  }
  return result;
}

ShardRange ShardOf(std::size_t total, unsigned index, unsigned parts) {
  const std::size_t base = total / parts;
  const std::size_t longer = total % parts;
  const std::size_t before = index - 1u;
  ShardRange range;
  range.first = before * base + std::min(before, longer);
  range.count = base + (before < longer ? 1u : 0u);
  return range;
}

}  // namespace seatbelt_test
