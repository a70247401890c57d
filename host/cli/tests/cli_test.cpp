// The command-line rules shared by the host programs.
#include "cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using host_cli::Quote;

TEST(HostCliQuote, EscapesEveryByteOutsidePrintableAsciiAndCutsLongTokens) {
  EXPECT_EQ(Quote("--seed=7 a~"), "'--seed=7 a~'");
  EXPECT_EQ(Quote(std::string("\x1b[2J\n\t\x7f\x00", 8)), "'\\x1b[2J\\x0a\\x09\\x7f\\x00'");
  EXPECT_EQ(Quote("\xc3\xa9"), "'\\xc3\\xa9'") << "UTF-8 too: one escape per byte";
  const std::string forty(40u, 'a');
  EXPECT_EQ(Quote(forty), "'" + forty + "'");
  EXPECT_EQ(Quote(forty + "b"), "'" + forty + "...'");
  EXPECT_EQ(Quote(""), "''");
}

// Runs TakeValue on the option at argv[1] of {"prog", args...}; the value ("<none>" if there is
// none) and the index it leaves.
std::pair<std::string, int> Take(std::vector<const char*> args, bool single_dash_value = false) {
  args.insert(args.begin(), "prog");
  int index = 1;
  const host_cli::Option option = host_cli::SplitOption(args[1]);
  const auto value = host_cli::TakeValue(option, static_cast<int>(args.size()), args.data(), index,
                                         single_dash_value);
  return {value ? std::string(*value) : "<none>", index};
}

TEST(HostCliValues, JoinedOrNextArgumentButNeverAnOption) {
  using Result = std::pair<std::string, int>;
  EXPECT_EQ(Take({"--seed=7", "8"}), (Result{"7", 1}));
  EXPECT_EQ(Take({"--seed=", "8"}), (Result{"", 1})) << "an empty joined value is a value";
  EXPECT_EQ(Take({"--name=a=b"}), (Result{"a=b", 1})) << "split at the first '='";
  EXPECT_EQ(Take({"--seed", "8"}), (Result{"8", 2}));
  EXPECT_EQ(Take({"--seed"}), (Result{"<none>", 1}));
  EXPECT_EQ(Take({"--csv", "--vcd", "x"}), (Result{"<none>", 1}));
  EXPECT_EQ(Take({"--csv", "-x"}), (Result{"<none>", 1}));
  EXPECT_EQ(Take({"--csv", "-"}), (Result{"-", 2})) << "a lone '-' is no option";
  EXPECT_EQ(Take({"--seed", "-1"}, true), (Result{"-1", 2})) << "left to the number check";
  EXPECT_EQ(Take({"--seed", "--help"}, true), (Result{"<none>", 1}));
}

TEST(HostCliRepeats, EachOptionOnceWhateverItsForm) {
  host_cli::OnceEach given;
  EXPECT_TRUE(given.First("--seed"));
  EXPECT_TRUE(given.First("--error"));
  EXPECT_FALSE(given.First("--seed"));
  EXPECT_FALSE(given.First(host_cli::SplitOption("--error=x").name));
  EXPECT_EQ(host_cli::GivenTwice("--seed"), "option '--seed' given twice");
}

}  // namespace
