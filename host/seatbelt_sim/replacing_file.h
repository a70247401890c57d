// A file that appears under its name only once it is complete: the text goes to a temporary file
// beside it, which is renamed over the name after a successful write. A failed or interrupted
// run thus never leaves a half-written file that looks complete, and an older file of that name
// stays as it was. A name that exists and is no regular file (/dev/null, a pipe, a terminal)
// is written directly, as there is nothing to replace.
#ifndef HOST_SEATBELT_SIM_REPLACING_FILE_H
#define HOST_SEATBELT_SIM_REPLACING_FILE_H

#include <string>
#include <string_view>

namespace seatbelt_sim {

class ReplacingFile {
 public:
  ReplacingFile() = default;
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;
  ReplacingFile(ReplacingFile&&) = delete;
  ReplacingFile& operator=(ReplacingFile&&) = delete;
  // Removes the temporary file unless Commit put it in place.
  ~ReplacingFile();

  // Creates the temporary file, so that a name that cannot be written is refused before the
  // text exists. On failure error is "cannot create 'PATH': why", as for any output file.
  bool Open(const std::string& path, std::string& error);
  // Writes text and puts the file in place. On failure error is "cannot write 'PATH': why" and
  // nothing is left under the name but what was there before.
  bool Commit(std::string_view text, std::string& error);

 private:
  std::string path_;    // as given, for messages
  std::string target_;  // the name the file gets: path_ with a symbolic link followed
  std::string temp_;    // empty when writing directly
  int fd_ = -1;
};

}  // namespace seatbelt_sim

#endif  // HOST_SEATBELT_SIM_REPLACING_FILE_H
