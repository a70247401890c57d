// Console redirection through the file descriptors, which the C runtime shares with every
// library of the process (on Windows: the msvcrt.dll that the test program and the DLL import).
#include "console_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace fmu_test {

CaptureConsole::CaptureConsole(const std::string& path) : path_(path) {
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  saved_out_ = dup(STDOUT_FILENO);
  saved_err_ = dup(STDERR_FILENO);
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  (void)dup2(file, STDOUT_FILENO);
  (void)dup2(file, STDERR_FILENO);
  (void)close(file);
}

std::string CaptureConsole::Captured() {
  Restore();
  std::ifstream in(path_);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CaptureConsole::Restore() {
  if (saved_out_ >= 0) {
    (void)std::fflush(stdout);
    (void)std::fflush(stderr);
    (void)dup2(saved_out_, STDOUT_FILENO);
    (void)dup2(saved_err_, STDERR_FILENO);
    (void)close(saved_out_);
    (void)close(saved_err_);
    saved_out_ = -1;
  }
}

}  // namespace fmu_test
