// Runs a fuzz input against an FMU binary as a sequence of FMI calls on up to three instances,
// and checks every call's status against the co-simulation state machine and the model
// description: what the state and the arguments allow returns OK, everything else fmiError with
// a logged reason, never another status. Used by the libFuzzer targets of both versions and by
// the corpus replay test.
#ifndef FMU_FUZZ_FMI_API_DRIVER_H
#define FMU_FUZZ_FMI_API_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace fmu_fuzz {

class ApiDriver {
 public:
  // Loads the binary of the FMU unpacked in dir; version is 2 or 3. Throws when it cannot.
  ApiDriver(int version, const std::string& dir);
  ~ApiDriver();
  ApiDriver(const ApiDriver&) = delete;
  ApiDriver& operator=(const ApiDriver&) = delete;
  ApiDriver(ApiDriver&&) = delete;
  ApiDriver& operator=(ApiDriver&&) = delete;

  // Decodes data into calls and makes them; every instance is freed at the end. Gives the
  // first check that failed, or an empty string.
  std::string Run(const std::uint8_t* data, std::size_t size);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace fmu_fuzz

#endif  // FMU_FUZZ_FMI_API_DRIVER_H
