// Sends the process's standard output and standard error to a file for a while, to show what
// reached them: an FMU must write nothing there.
#ifndef FMU_TESTS_CONSOLE_CAPTURE_H
#define FMU_TESTS_CONSOLE_CAPTURE_H

#include <string>

namespace fmu_test {

// Redirects both while alive; Captured() ends the redirection and gives what came.
class CaptureConsole {
 public:
  explicit CaptureConsole(const std::string& path);
  ~CaptureConsole() { Restore(); }
  CaptureConsole(const CaptureConsole&) = delete;
  CaptureConsole& operator=(const CaptureConsole&) = delete;
  CaptureConsole(CaptureConsole&&) = delete;
  CaptureConsole& operator=(CaptureConsole&&) = delete;

  std::string Captured();

 private:
  void Restore();

  std::string path_;
  int saved_out_ = -1;
  int saved_err_ = -1;
};

}  // namespace fmu_test

#endif  // FMU_TESTS_CONSOLE_CAPTURE_H
