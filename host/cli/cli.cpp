// The command-line rules of the host programs (see cli.h).
#include "cli.h"

#include <algorithm>
#include <cstddef>

namespace host_cli {
namespace {

// Longest piece of an argument quoted back in a message, so that a line of binary garbage does
// not flood the terminal.
constexpr std::size_t kMaxQuotedChars = 40u;

}  // namespace

std::string Quote(std::string_view token) {
  std::string out = "'";
  for (std::size_t i = 0u; i < token.size() && i < kMaxQuotedChars; ++i) {
    const auto byte = static_cast<unsigned char>(token[i]);
    if (byte >= 0x20u && byte < 0x7Fu) {
      out += static_cast<char>(byte);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4u];
      out += kHex[byte & 0x0Fu];
    }
  }
  if (token.size() > kMaxQuotedChars) {
    out += "...";
  }
  out += "'";
  return out;
}

Option SplitOption(std::string_view arg) {
  const std::size_t equals = arg.find('=');
  if (equals == std::string_view::npos) {
    return {arg, std::nullopt};
  }
  return {arg.substr(0u, equals), arg.substr(equals + 1u)};
}

bool LooksLikeOption(std::string_view text, bool single_dash_value) {
  return text.size() > 1u && text.front() == '-' && (!single_dash_value || text[1] == '-');
}

std::optional<std::string_view> TakeValue(const Option& option, int argc, const char* const* argv,
                                          int& index, bool single_dash_value) {
  if (option.value) {
    return option.value;
  }
  if (index + 1 >= argc || LooksLikeOption(argv[index + 1], single_dash_value)) {
    return std::nullopt;
  }
  ++index;
  return std::string_view(argv[index]);
}

bool OnceEach::First(std::string_view name) {
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) {
    return false;
  }
  names_.emplace_back(name);
  return true;
}

std::string GivenTwice(std::string_view name) {
  return "option " + Quote(name) + " given twice";
}

}  // namespace host_cli
