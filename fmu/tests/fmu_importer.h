// A small FMI importer for the tests and the benchmark: unpacks an FMU with cmake -E tar, reads
// the variables and the instantiation token from its modelDescription.xml, loads the binary of
// this platform (dlopen; LoadLibrary on Windows) and drives one instance through the standard's
// functions, by variable name.
#ifndef FMU_TESTS_FMU_IMPORTER_H
#define FMU_TESTS_FMU_IMPORTER_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fmu_test {

struct VariableInfo {
  std::uint32_t vr = 0u;
  std::string type;       // FMI 3.0: Float64, Boolean, UInt8, ...; FMI 2.0: Integer, Boolean
  std::string start;      // as written, empty if none
  std::string causality;  // input, output, parameter, independent
  std::string max;        // as written, empty if none
};

// An unpacked FMU and its loaded binary.
class Fmu {
 public:
  // Unpacks fmu_path into a fresh folder under work_dir and loads the binary of this
  // platform. version is 2 or 3. Throws std::runtime_error when anything is missing.
  Fmu(int version, const std::string& fmu_path, const std::string& work_dir);
  // Loads the binary of this platform from an FMU unpacked in dir.
  Fmu(int version, const std::string& dir);
  ~Fmu();
  Fmu(const Fmu&) = delete;
  Fmu& operator=(const Fmu&) = delete;
  Fmu(Fmu&&) = delete;
  Fmu& operator=(Fmu&&) = delete;

  int version() const { return version_; }
  const std::string& token() const { return token_; }
  const std::map<std::string, VariableInfo>& variables() const { return variables_; }
  const VariableInfo& Variable(const std::string& name) const;
  // A function of the binary; throws if it is not exported.
  void* Symbol(const char* name) const;

 private:
  int version_;
  std::string token_;
  std::map<std::string, VariableInfo> variables_;
  void* handle_ = nullptr;
};

struct LogEntry {
  int status = 0;
  std::string category;
  std::string message;
};

// One instance, through the functions of its FMI version. Calls return the FMI status (0 = OK).
class Slave {
 public:
  static std::unique_ptr<Slave> Create(const Fmu& fmu);
  virtual ~Slave() = default;
  Slave(const Slave&) = delete;
  Slave& operator=(const Slave&) = delete;
  Slave(Slave&&) = delete;
  Slave& operator=(Slave&&) = delete;

  // false when the binary refused; token empty: the FMU's own.
  virtual bool Instantiate(const std::string& name, bool logging_on,
                           const std::string& token = "") = 0;
  virtual void Free() = 0;
  virtual int EnterInitialization(double start_s = 0.0) = 0;
  virtual int ExitInitialization() = 0;
  virtual int DoStep(double current_s, double step_s) = 0;
  virtual int Terminate() = 0;
  virtual int Reset() = 0;
  virtual int SetDebugLogging(bool on, const std::vector<const char*>& categories) = 0;
  // Set and get by name, with the function of the variable's type; values as unsigned.
  virtual int Set(const std::string& name, std::uint32_t value) = 0;
  virtual int Get(const std::string& name, std::uint32_t& value) = 0;
  // Calls the setter of name's type with value references and values as given (for the bad
  // calls: an unknown reference, null arrays).
  virtual int SetRaw(const std::string& type_of, const std::uint32_t* vrs, std::size_t count,
                     const std::uint32_t* values) = 0;
  // Calls the setter of a type that name does not have.
  virtual int SetWrongType(const std::string& name) = 0;

  // The instance as the FMU gave it, for calling functions directly.
  virtual void* handle() const = 0;

  // The FMU state functions of the instance's version; a state is the FMU's opaque pointer.
  int GetState(void*& state);
  int SetState(void* state);
  int FreeState(void*& state);
  // The serialized size asked for, then the state serialized into bytes of that size.
  int SerializeState(void* state, std::vector<std::uint8_t>& bytes);
  int DeserializeState(const std::uint8_t* bytes, std::size_t size, void*& state);

  // Get that fails the calling test through an exception when the call fails.
  std::uint32_t Value(const std::string& name);

  std::vector<LogEntry> log;

 protected:
  explicit Slave(const Fmu& fmu) : fmu_(fmu) {}
  const Fmu& fmu_;
};

}  // namespace fmu_test

#endif  // FMU_TESTS_FMU_IMPORTER_H
