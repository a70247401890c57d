// What the C library says about the process: an error number's text and an environment
// variable. The campaign is single-threaded (its children are processes), so the C library's
// shared buffers behind both are safe to use here.
#ifndef HOST_SEATBELT_TEST_SYSTEM_TEXT_H
#define HOST_SEATBELT_TEST_SYSTEM_TEXT_H

#include <cstdlib>
#include <cstring>
#include <string>

namespace seatbelt_test {

// "No such file or directory" for ENOENT.
inline std::string ErrorText(int error_number) {
  return std::strerror(error_number);  // NOLINT(concurrency-mt-unsafe): single-threaded
}

// The variable's value, or "" when it is not set.
inline std::string EnvironmentValue(const char* name) {
  const char* const value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): as above
  return value != nullptr ? value : "";
}

// The folder for temporary files: $TMPDIR, else /tmp.
inline std::string TempFolder() {
  const std::string chosen = EnvironmentValue("TMPDIR");
  return chosen.empty() ? "/tmp" : chosen;
}

}  // namespace seatbelt_test

#endif  // HOST_SEATBELT_TEST_SYSTEM_TEXT_H
