// libFuzzer target of one FMI version's API (FMU_FUZZ_VERSION) on the FMU unpacked in
// FMU_FUZZ_DIR: each input is a sequence of FMI calls (ApiDriver) whose checks must hold. While
// an input runs, standard output and standard error go to a file, which must stay empty: the FMU
// writes nothing to the console. A sanitizer report of an input lands in that file too; its path
// is printed at start (FMU_FUZZ_CONSOLE sets it).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "fmi_api_driver.h"

namespace {

struct Fuzzing {
  std::unique_ptr<fmu_fuzz::ApiDriver> driver;
  int console = -1;
};

Fuzzing& Fuzz() {
  static Fuzzing fuzzing;
  return fuzzing;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  Fuzzing& fuzzing = Fuzz();
  fuzzing.driver = std::make_unique<fmu_fuzz::ApiDriver>(FMU_FUZZ_VERSION, FMU_FUZZ_DIR);
  const char* const set = std::getenv("FMU_FUZZ_CONSOLE");
  const std::string path = set != nullptr ? set
                                          : "/tmp/fmi" + std::to_string(FMU_FUZZ_VERSION) +
                                                "_api_fuzz.console." + std::to_string(getpid());
  fuzzing.console = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fuzzing.console < 0) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    std::abort();
  }
  std::fprintf(stderr, "fmi%d_api_fuzz: the console of each input goes to %s\n", FMU_FUZZ_VERSION,
               path.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Fuzzing& fuzzing = Fuzz();
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  if (ftruncate(fuzzing.console, 0) != 0 || lseek(fuzzing.console, 0, SEEK_SET) != 0) {
    std::abort();
  }
  const int out = dup(STDOUT_FILENO);
  const int err = dup(STDERR_FILENO);
  (void)dup2(fuzzing.console, STDOUT_FILENO);
  (void)dup2(fuzzing.console, STDERR_FILENO);
  const std::string failure = fuzzing.driver->Run(data, size);
  (void)std::fflush(stdout);
  (void)std::fflush(stderr);
  (void)dup2(out, STDOUT_FILENO);
  (void)dup2(err, STDERR_FILENO);
  (void)close(out);
  (void)close(err);
  struct stat written {};
  if (fstat(fuzzing.console, &written) != 0 || written.st_size > 0) {
    std::fprintf(stderr, "the FMU wrote %lld bytes to the console\n",
                 static_cast<long long>(written.st_size));
    std::abort();
  }
  if (!failure.empty()) {
    std::fprintf(stderr, "FMI check failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
