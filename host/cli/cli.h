// The command-line rules of the host programs, shared so that all of them read arguments and
// report problems alike:
//   - an option is "--name VALUE" or "--name=VALUE"; an argument that looks like an option is
//     not taken as a value ("--csv --vcd x" is a forgotten file name, not a file "--vcd");
//   - each option may be given once; a repeat is refused rather than overriding the first;
//   - arguments are quoted back in messages with their non-printable bytes escaped, so that no
//     argument can drive the terminal.
#ifndef HOST_CLI_CLI_H
#define HOST_CLI_CLI_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host_cli {

// The token in single quotes for a message: bytes outside printable ASCII escaped as \xNN, cut
// after 40 characters with "...".
std::string Quote(std::string_view token);

// An option argument split at its first '=': "--seed=7" is "--seed" with value "7", "--seed"
// has no value, and "--seed=" has an empty one.
struct Option {
  std::string_view name;
  std::optional<std::string_view> value;
};
Option SplitOption(std::string_view arg);

// Whether text would be read as an option: '-' and at least one more character. With
// single_dash_value, only "--..." counts, so that "-5" can reach a number's own check.
bool LooksLikeOption(std::string_view text, bool single_dash_value);

// The value of option, which stands at argv[index]: its "=value", or else the next argument,
// which is then consumed (index advances), unless it looks like an option. Empty when there is
// none.
std::optional<std::string_view> TakeValue(const Option& option, int argc, const char* const* argv,
                                          int& index, bool single_dash_value = false);

// The options a command line has given so far.
class OnceEach {
 public:
  // Records name; false when it has been given before.
  bool First(std::string_view name);

 private:
  std::vector<std::string> names_;
};

// The message for an option given a second time: "option '--name' given twice".
std::string GivenTwice(std::string_view name);

}  // namespace host_cli

#endif  // HOST_CLI_CLI_H
