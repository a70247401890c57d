// Splits the semihosting command line into words, in place.
#include "command_line.h"

#include "board.h"

namespace board {

bool CommandLine::Read() {
  count_ = 0u;
  if (Board_CommandLine(line_, sizeof line_) != 0) {
    return false;
  }
  char* at = line_;
  while (*at != '\0') {
    if (*at == ' ') {
      *at++ = '\0';
      continue;
    }
    if (count_ == kMaxWords) {
      return false;
    }
    words_[count_++] = at;
    while (*at != '\0' && *at != ' ') {
      ++at;
    }
  }
  return true;
}

}  // namespace board
