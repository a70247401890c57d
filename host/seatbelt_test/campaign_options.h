// Command line of seatbelt_test.
#ifndef HOST_SEATBELT_TEST_CAMPAIGN_OPTIONS_H
#define HOST_SEATBELT_TEST_CAMPAIGN_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

namespace seatbelt_test {

// The part of the sorted scenario list to run: the index-th (1-based) of count.
struct Shard {
  unsigned index = 1u;
  unsigned count = 1u;
};

struct CampaignOptions {
  bool help = false;
  unsigned jobs = 0u;  // 0: one per processor
  std::optional<Shard> shard;
  unsigned timeout_s = 60u;  // per scenario
  std::string output_dir = "seatbelt_test-output";
  std::optional<std::string> junit_path;
  std::optional<std::string> requirements_path;
  std::optional<std::string> trace_path;
  bool board = false;
  std::vector<std::string> paths;  // as given
};

struct CampaignOptionsResult {
  std::optional<CampaignOptions> options;  // set when the command line is valid
  std::string error;                       // what is wrong, without program name or hint
};

// Parses argv[1..argc-1]. "--help" anywhere before "--" wins over everything after it.
CampaignOptionsResult ParseCampaignOptions(int argc, const char* const* argv);

// The --help text.
const char* CampaignHelpText();

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_CAMPAIGN_OPTIONS_H
