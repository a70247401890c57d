// The tests' own FMI importer: unpack, read the model description, load the binary of this
// platform (dlopen, or LoadLibrary on Windows), call.
#include "fmu_importer.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "fmi2_types.h"
#include "fmi3_types.h"
#include "printf_format.h"

namespace fmu_test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + path);
  }
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Attribute(const std::string& element, const std::string& name) {
  const std::string key = " " + name + "=\"";
  std::size_t begin = element.find(key);
  if (begin == std::string::npos) {
    begin = element.find("\n" + name + "=\"");  // attributes one per line
  }
  if (begin == std::string::npos) {
    return "";
  }
  begin += key.size();
  return element.substr(begin, element.find('"', begin) - begin);
}

// The elements of the description in order: name and the text from '<' to '>'.
std::vector<std::pair<std::string, std::string>> Elements(const std::string& xml) {
  std::vector<std::pair<std::string, std::string>> elements;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1u)) {
    const std::size_t end = xml.find('>', at);
    const std::string text = xml.substr(at, end - at + 1u);
    elements.emplace_back(text.substr(1u, text.find_first_of(" \n/>") - 1u), text);
  }
  return elements;
}

// Unpacks fmu_path into a fresh folder under work_dir; gives the folder.
std::string Unpack(int version, const std::string& fmu_path, const std::string& work_dir) {
  static int unpacked = 0;
  const std::string dir =
      work_dir + "/fmu" + std::to_string(version) + "_" + std::to_string(++unpacked);
  const std::string command = "rm -rf '" + dir + "' && mkdir -p '" + dir + "' && cd '" + dir +
                              "' && '" CMAKE_COMMAND_PATH "' -E tar xf '" + fmu_path + "'";
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error("cannot unpack " + fmu_path);
  }
  return dir;
}

// The binary of this platform in an unpacked FMU, by the platform folder names of each version.
std::string BinaryPath(int version, const std::string& dir, const std::string& identifier) {
#if defined(_WIN32)
  return dir + "/binaries/" + (version == 3 ? "x86_64-windows/" : "win64/") + identifier + ".dll";
#else
  return dir + "/binaries/" + (version == 3 ? "x86_64-linux/" : "linux64/") + identifier + ".so";
#endif
}

#if defined(_WIN32)
// Loads the DLL by its full path, in Windows' own form, as importers do.
void* LoadBinary(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    c = c == '/' ? '\\' : c;
  }
  char full[MAX_PATH] = {};
  if (GetFullPathNameA(native.c_str(), MAX_PATH, full, nullptr) == 0u) {
    throw std::runtime_error("cannot resolve " + path);
  }
  void* const handle = LoadLibraryA(full);
  if (handle == nullptr) {
    throw std::runtime_error("cannot load " + std::string(full) + ": error " +
                             std::to_string(GetLastError()));
  }
  return handle;
}
#else
void* LoadBinary(const std::string& path) {
  void* const handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    throw std::runtime_error("cannot load " + path + ": " + dlerror());
  }
  return handle;
}
#endif

}  // namespace

Fmu::Fmu(int version, const std::string& fmu_path, const std::string& work_dir)
    : Fmu(version, Unpack(version, fmu_path, work_dir)) {}

Fmu::Fmu(int version, const std::string& dir) : version_(version) {
  const std::string xml = ReadFile(dir + "/modelDescription.xml");
  token_ = Attribute(xml, version == 3 ? "instantiationToken" : "guid");
  const std::string identifier = Attribute(xml, "modelIdentifier");
  // FMI 3.0 names the type in the variable's element, FMI 2.0 in the element inside it.
  const auto elements = Elements(xml);
  for (std::size_t i = 0u; i < elements.size(); ++i) {
    const auto& [name, text] = elements[i];
    const bool fmi3_variable =
        version == 3 && (name == "Float64" || name == "Boolean" || name == "UInt8" ||
                         name == "UInt16" || name == "UInt32");
    if (fmi3_variable) {
      variables_[Attribute(text, "name")] = {
          static_cast<std::uint32_t>(std::stoul(Attribute(text, "valueReference"))), name,
          Attribute(text, "start"), Attribute(text, "causality"), Attribute(text, "max")};
    } else if (version == 2 && name == "ScalarVariable" && i + 1u < elements.size()) {
      const std::string& type_element = elements[i + 1u].second;
      variables_[Attribute(text, "name")] = {
          static_cast<std::uint32_t>(std::stoul(Attribute(text, "valueReference"))),
          elements[i + 1u].first, Attribute(type_element, "start"), Attribute(text, "causality"),
          Attribute(type_element, "max")};
    }
  }
  handle_ = LoadBinary(BinaryPath(version, dir, identifier));
}

Fmu::~Fmu() {
#if defined(_WIN32)
  (void)FreeLibrary(static_cast<HMODULE>(handle_));
#else
  (void)dlclose(handle_);
#endif
}

const VariableInfo& Fmu::Variable(const std::string& name) const {
  const auto found = variables_.find(name);
  if (found == variables_.end()) {
    throw std::runtime_error("no variable " + name + " in the model description");
  }
  return found->second;
}

void* Fmu::Symbol(const char* name) const {
#if defined(_WIN32)
  void* const symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
  void* const symbol = dlsym(handle_, name);
#endif
  if (symbol == nullptr) {
    throw std::runtime_error(std::string("the binary does not export ") + name);
  }
  return symbol;
}

std::uint32_t Slave::Value(const std::string& name) {
  std::uint32_t value = 0u;
  if (Get(name, value) != 0) {
    throw std::runtime_error("cannot get " + name);
  }
  return value;
}

namespace {

template <typename F>
F Function(const Fmu& fmu, const char* name) {
  return reinterpret_cast<F>(fmu.Symbol(name));
}

// The state functions of both versions take the same arguments (fmi2Byte and fmi3Byte are both
// one byte); only their names differ.
const char* StateFunction(const Fmu& fmu, const char* fmi3_name, const char* fmi2_name) {
  return fmu.version() == 3 ? fmi3_name : fmi2_name;
}

}  // namespace

int Slave::GetState(void*& state) {
  const char* const name = StateFunction(fmu_, "fmi3GetFMUState", "fmi2GetFMUstate");
  return Function<int (*)(void*, void**)>(fmu_, name)(handle(), &state);
}

int Slave::SetState(void* state) {
  const char* const name = StateFunction(fmu_, "fmi3SetFMUState", "fmi2SetFMUstate");
  return Function<int (*)(void*, void*)>(fmu_, name)(handle(), state);
}

int Slave::FreeState(void*& state) {
  const char* const name = StateFunction(fmu_, "fmi3FreeFMUState", "fmi2FreeFMUstate");
  return Function<int (*)(void*, void**)>(fmu_, name)(handle(), &state);
}

int Slave::SerializeState(void* state, std::vector<std::uint8_t>& bytes) {
  std::size_t size = 0u;
  const char* const size_name =
      StateFunction(fmu_, "fmi3SerializedFMUStateSize", "fmi2SerializedFMUstateSize");
  const int status =
      Function<int (*)(void*, void*, std::size_t*)>(fmu_, size_name)(handle(), state, &size);
  if (status != 0) {
    return status;
  }
  bytes.assign(size, 0u);
  const char* const name = StateFunction(fmu_, "fmi3SerializeFMUState", "fmi2SerializeFMUstate");
  return Function<int (*)(void*, void*, std::uint8_t*, std::size_t)>(fmu_, name)(
      handle(), state, bytes.data(), bytes.size());
}

int Slave::DeserializeState(const std::uint8_t* bytes, std::size_t size, void*& state) {
  const char* const name =
      StateFunction(fmu_, "fmi3DeserializeFMUState", "fmi2DeSerializeFMUstate");
  return Function<int (*)(void*, const std::uint8_t*, std::size_t, void**)>(fmu_, name)(
      handle(), bytes, size, &state);
}

namespace {

// --- FMI 3.0 ------------------------------------------------------------------------------------

class Slave3 final : public Slave {
 public:
  explicit Slave3(const Fmu& fmu) : Slave(fmu) {}
  ~Slave3() override { Free(); }
  Slave3(const Slave3&) = delete;
  Slave3& operator=(const Slave3&) = delete;
  Slave3(Slave3&&) = delete;
  Slave3& operator=(Slave3&&) = delete;

  bool Instantiate(const std::string& name, bool logging_on, const std::string& token) override {
    using Type =
        fmi3Instance (*)(fmi3String, fmi3String, fmi3String, fmi3Boolean, fmi3Boolean, fmi3Boolean,
                         fmi3Boolean, const fmi3ValueReference[], size_t, fmi3InstanceEnvironment,
                         fmi3LogMessageCallback, fmi3IntermediateUpdateCallback);
    instance_ = Function<Type>(fmu_, "fmi3InstantiateCoSimulation")(
        name.c_str(), token.empty() ? fmu_.token().c_str() : token.c_str(), nullptr, false,
        logging_on, false, false, nullptr, 0u, this, &Slave3::OnLog, nullptr);
    return instance_ != nullptr;
  }
  void Free() override {
    if (instance_ != nullptr) {
      Function<void (*)(fmi3Instance)>(fmu_, "fmi3FreeInstance")(instance_);
      instance_ = nullptr;
    }
  }
  int EnterInitialization(double start_s) override {
    using Type = fmi3Status (*)(fmi3Instance, fmi3Boolean, fmi3Float64, fmi3Float64, fmi3Boolean,
                                fmi3Float64);
    return Function<Type>(fmu_, "fmi3EnterInitializationMode")(instance_, false, 0.0, start_s,
                                                               false, 0.0);
  }
  int ExitInitialization() override { return Call("fmi3ExitInitializationMode"); }
  int DoStep(double current_s, double step_s) override {
    using Type = fmi3Status (*)(fmi3Instance, fmi3Float64, fmi3Float64, fmi3Boolean, fmi3Boolean*,
                                fmi3Boolean*, fmi3Boolean*, fmi3Float64*);
    if (do_step_ == nullptr) {
      do_step_ = Function<Type>(fmu_, "fmi3DoStep");
    }
    fmi3Boolean event = false;
    fmi3Boolean terminate = false;
    fmi3Boolean early = false;
    fmi3Float64 last = 0.0;
    return do_step_(instance_, current_s, step_s, true, &event, &terminate, &early, &last);
  }
  int Terminate() override { return Call("fmi3Terminate"); }
  int Reset() override { return Call("fmi3Reset"); }
  int SetDebugLogging(bool on, const std::vector<const char*>& categories) override {
    using Type = fmi3Status (*)(fmi3Instance, fmi3Boolean, size_t, const fmi3String[]);
    return Function<Type>(fmu_, "fmi3SetDebugLogging")(
        instance_, on, categories.size(), categories.empty() ? nullptr : categories.data());
  }
  int Set(const std::string& name, std::uint32_t value) override {
    const VariableInfo& variable = fmu_.Variable(name);
    return SetRaw(variable.type, &variable.vr, 1u, &value);
  }
  int Get(const std::string& name, std::uint32_t& value) override {
    const VariableInfo& variable = fmu_.Variable(name);
    const std::string& type = variable.type;
    if (type == "Boolean") {
      bool out = false;
      const int status = GetAs<fmi3Boolean>("fmi3GetBoolean", variable.vr, out);
      value = out ? 1u : 0u;
      return status;
    }
    if (type == "UInt8") {
      std::uint8_t out = 0u;
      const int status = GetAs<fmi3UInt8>("fmi3GetUInt8", variable.vr, out);
      value = out;
      return status;
    }
    if (type == "UInt16") {
      std::uint16_t out = 0u;
      const int status = GetAs<fmi3UInt16>("fmi3GetUInt16", variable.vr, out);
      value = out;
      return status;
    }
    return GetAs<fmi3UInt32>("fmi3GetUInt32", variable.vr, value);
  }
  int SetRaw(const std::string& type_of, const std::uint32_t* vrs, std::size_t count,
             const std::uint32_t* values) override {
    const std::string& type = type_of;
    if (type == "Boolean") {
      return SetAs<fmi3Boolean>("fmi3SetBoolean", vrs, count, values);
    }
    if (type == "UInt8") {
      return SetAs<fmi3UInt8>("fmi3SetUInt8", vrs, count, values);
    }
    if (type == "UInt16") {
      return SetAs<fmi3UInt16>("fmi3SetUInt16", vrs, count, values);
    }
    return SetAs<fmi3UInt32>("fmi3SetUInt32", vrs, count, values);
  }
  void* handle() const override { return instance_; }
  int SetWrongType(const std::string& name) override {
    const fmi3ValueReference vr = fmu_.Variable(name).vr;
    const fmi3Int32 value = 1;
    using Type =
        fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const fmi3Int32[], size_t);
    return Function<Type>(fmu_, "fmi3SetInt32")(instance_, &vr, 1u, &value, 1u);
  }

 private:
  static void OnLog(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category,
                    fmi3String message) {
    static_cast<Slave3*>(environment)
        ->log.push_back({static_cast<int>(status), category != nullptr ? category : "",
                         message != nullptr ? message : ""});
  }
  int Call(const char* function) {
    return Function<fmi3Status (*)(fmi3Instance)>(fmu_, function)(instance_);
  }
  template <typename T>
  int GetAs(const char* function, fmi3ValueReference vr, T& value) {
    using Type = fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, T[], size_t);
    return Function<Type>(fmu_, function)(instance_, &vr, 1u, &value, 1u);
  }
  template <typename T>
  int SetAs(const char* function, const std::uint32_t* vrs, std::size_t count,
            const std::uint32_t* values) {
    // Not a vector: std::vector<bool> has no data().
    const std::unique_ptr<T[]> converted = std::make_unique<T[]>(count + 1u);
    for (std::size_t i = 0u; values != nullptr && i < count; ++i) {
      converted[i] = static_cast<T>(values[i]);
    }
    using Type =
        fmi3Status (*)(fmi3Instance, const fmi3ValueReference[], size_t, const T[], size_t);
    return Function<Type>(fmu_, function)(instance_, vrs, count,
                                          values == nullptr ? nullptr : converted.get(), count);
  }

  fmi3Instance instance_ = nullptr;
  fmi3Status (*do_step_)(fmi3Instance, fmi3Float64, fmi3Float64, fmi3Boolean, fmi3Boolean*,
                         fmi3Boolean*, fmi3Boolean*, fmi3Float64*) = nullptr;
};

// --- FMI 2.0 ------------------------------------------------------------------------------------

class Slave2 final : public Slave {
 public:
  explicit Slave2(const Fmu& fmu) : Slave(fmu) {}
  ~Slave2() override { Free(); }
  Slave2(const Slave2&) = delete;
  Slave2& operator=(const Slave2&) = delete;
  Slave2(Slave2&&) = delete;
  Slave2& operator=(Slave2&&) = delete;

  bool Instantiate(const std::string& name, bool logging_on, const std::string& token) override {
    using Type = fmi2Component (*)(fmi2String, fmi2Type, fmi2String, fmi2String,
                                   const fmi2CallbackFunctions*, fmi2Boolean, fmi2Boolean);
    callbacks_ = {&Slave2::OnLog, &std::calloc, &std::free, nullptr, this};
    component_ = Function<Type>(fmu_, "fmi2Instantiate")(
        name.c_str(), fmi2CoSimulation, token.empty() ? fmu_.token().c_str() : token.c_str(),
        nullptr, &callbacks_, fmi2False, logging_on ? fmi2True : fmi2False);
    return component_ != nullptr;
  }
  void Free() override {
    if (component_ != nullptr) {
      Function<void (*)(fmi2Component)>(fmu_, "fmi2FreeInstance")(component_);
      component_ = nullptr;
    }
  }
  int EnterInitialization(double start_s) override {
    using Type =
        fmi2Status (*)(fmi2Component, fmi2Boolean, fmi2Real, fmi2Real, fmi2Boolean, fmi2Real);
    const int status = Function<Type>(fmu_, "fmi2SetupExperiment")(component_, fmi2False, 0.0,
                                                                   start_s, fmi2False, 0.0);
    return status != 0 ? status : Call("fmi2EnterInitializationMode");
  }
  int ExitInitialization() override { return Call("fmi2ExitInitializationMode"); }
  int DoStep(double current_s, double step_s) override {
    using Type = fmi2Status (*)(fmi2Component, fmi2Real, fmi2Real, fmi2Boolean);
    if (do_step_ == nullptr) {
      do_step_ = Function<Type>(fmu_, "fmi2DoStep");
    }
    return do_step_(component_, current_s, step_s, fmi2True);
  }
  int Terminate() override { return Call("fmi2Terminate"); }
  int Reset() override { return Call("fmi2Reset"); }
  int SetDebugLogging(bool on, const std::vector<const char*>& categories) override {
    using Type = fmi2Status (*)(fmi2Component, fmi2Boolean, size_t, const fmi2String[]);
    return Function<Type>(fmu_, "fmi2SetDebugLogging")(
        component_, on ? fmi2True : fmi2False, categories.size(),
        categories.empty() ? nullptr : categories.data());
  }
  int Set(const std::string& name, std::uint32_t value) override {
    const VariableInfo& variable = fmu_.Variable(name);
    return SetRaw(variable.type, &variable.vr, 1u, &value);
  }
  int Get(const std::string& name, std::uint32_t& value) override {
    const VariableInfo& variable = fmu_.Variable(name);
    using Type = fmi2Status (*)(fmi2Component, const fmi2ValueReference[], size_t, int[]);
    const fmi2ValueReference vr = variable.vr;
    int out = 0;
    const int status =
        Function<Type>(fmu_, variable.type == "Boolean" ? "fmi2GetBoolean" : "fmi2GetInteger")(
            component_, &vr, 1u, &out);
    value = static_cast<std::uint32_t>(out);
    return status;
  }
  int SetRaw(const std::string& type_of, const std::uint32_t* vrs, std::size_t count,
             const std::uint32_t* values) override {
    std::vector<int> converted;
    std::vector<fmi2ValueReference> references;
    for (std::size_t i = 0u; vrs != nullptr && i < count; ++i) {
      references.push_back(vrs[i]);
      converted.push_back(values == nullptr ? 0 : static_cast<int>(values[i]));
    }
    using Type = fmi2Status (*)(fmi2Component, const fmi2ValueReference[], size_t, const int[]);
    return Function<Type>(fmu_, type_of == "Boolean" ? "fmi2SetBoolean" : "fmi2SetInteger")(
        component_, vrs == nullptr ? nullptr : references.data(), count,
        values == nullptr ? nullptr : converted.data());
  }
  void* handle() const override { return component_; }
  int SetWrongType(const std::string& name) override {
    const fmi2ValueReference vr = fmu_.Variable(name).vr;
    const fmi2Real value = 1.0;
    using Type =
        fmi2Status (*)(fmi2Component, const fmi2ValueReference[], size_t, const fmi2Real[]);
    return Function<Type>(fmu_, "fmi2SetReal")(component_, &vr, 1u, &value);
  }

 private:
  FMU_PRINTF_FORMAT(5, 6)
  static void OnLog(fmi2ComponentEnvironment environment, fmi2String /*instance*/,
                    fmi2Status status, fmi2String category, fmi2String message, ...) {
    char text[1024];
    std::va_list args;
    va_start(args, message);
    (void)std::vsnprintf(text, sizeof text, message, args);
    va_end(args);
    static_cast<Slave2*>(environment)
        ->log.push_back({static_cast<int>(status), category != nullptr ? category : "", text});
  }
  int Call(const char* function) {
    return Function<fmi2Status (*)(fmi2Component)>(fmu_, function)(component_);
  }

  fmi2CallbackFunctions callbacks_{};
  fmi2Component component_ = nullptr;
  fmi2Status (*do_step_)(fmi2Component, fmi2Real, fmi2Real, fmi2Boolean) = nullptr;
};

}  // namespace

std::unique_ptr<Slave> Slave::Create(const Fmu& fmu) {
  if (fmu.version() == 3) {
    return std::make_unique<Slave3>(fmu);
  }
  return std::make_unique<Slave2>(fmu);
}

}  // namespace fmu_test
