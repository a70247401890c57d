// The seed corpora of the FMI API fuzzers, replayed through the driver with any compiler: every
// check holds for every input, so the driver's oracle and the FMUs agree outside fuzzing too.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fmi_api_driver.h"

namespace {

std::vector<std::string> Files(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* const listing = opendir(dir.c_str())) {
    while (const dirent* const entry = readdir(listing)) {
      if (entry->d_name[0] != '.') {
        files.push_back(dir + "/" + entry->d_name);
      }
    }
    (void)closedir(listing);
  }
  return files;
}

void Replay(int version, const std::string& fmu_dir, const std::string& corpus) {
  fmu_fuzz::ApiDriver driver(version, fmu_dir);
  const std::vector<std::string> files = Files(corpus);
  EXPECT_GE(files.size(), 4u) << corpus;
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    EXPECT_EQ(driver.Run(bytes.data(), bytes.size()), "") << file;
  }
}

TEST(FmiApiCorpus, Fmi3SeedsPassEveryCheck) {
  Replay(3, FMU3_DIR, CORPUS_DIR "/fmi3");
}

TEST(FmiApiCorpus, Fmi2SeedsPassEveryCheck) {
  Replay(2, FMU2_DIR, CORPUS_DIR "/fmi2");
}

}  // namespace
