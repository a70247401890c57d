// The arguments of a board program, from the command line the emulator passes through
// semihosting (run-qemu.sh PROGRAM.elf ARG...). Words are separated by blanks, so an argument
// cannot hold one; the first word is the program's name.
#ifndef TARGETS_CORTEX_M_COMMAND_LINE_H
#define TARGETS_CORTEX_M_COMMAND_LINE_H

#include <cstddef>

namespace board {

class CommandLine {
 public:
  // Reads and splits the command line; false when there is none, it is longer than the buffer
  // or it has more words than kMaxWords.
  bool Read();

  // The words after the program's name.
  std::size_t argument_count() const { return count_ == 0u ? 0u : count_ - 1u; }
  const char* argument(std::size_t index) const { return words_[index + 1u]; }

 private:
  static constexpr std::size_t kMaxWords = 16u;

  char line_[512] = {};
  const char* words_[kMaxWords] = {};
  std::size_t count_ = 0u;
};

}  // namespace board

#endif  // TARGETS_CORTEX_M_COMMAND_LINE_H
