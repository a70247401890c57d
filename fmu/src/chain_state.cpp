// Per-instance state of the seatbelt chain: the state region, the power-on image, the swap
// under the process-wide lock, and where the chain's console output and diagnostic reports go.
#include "chain_state.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "Rte_Host.h"
#include "printf_format.h"

// Bounds of the state region, defined by chain_state.ld: the .data and .bss of the four
// components and the runtime layer, aligned to 16 bytes at both ends.
extern "C" {
extern unsigned char seatbelt_chain_state_start[];
extern unsigned char seatbelt_chain_state_end[];
}

namespace seatbelt_fmu {
namespace {

// Guards the region, the resident instance, the running listener and the power-on image.
std::mutex g_chain_mutex;
ChainState* g_resident = nullptr;
ChainListener* g_listener = nullptr;
std::vector<unsigned char> g_power_on;
bool g_region_checked = false;
bool g_region_ok = false;
std::uint64_t g_fingerprint = 0u;

std::size_t RegionSize() {
  return static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(seatbelt_chain_state_end) -
                                  reinterpret_cast<std::uintptr_t>(seatbelt_chain_state_start));
}

std::vector<unsigned char> PowerOnImage() {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  return g_power_on;
}

// The region holds other modules' variables and, in sanitizer builds, the redzones between
// them, which the sanitizer's own memcpy would refuse to touch: copy word by word, out of its
// view. The volatile access keeps the compiler from turning the loop back into memcpy.
__attribute__((no_sanitize_address)) void CopyWords(unsigned char* to, const unsigned char* from,
                                                    std::size_t bytes) {
  auto* const out = reinterpret_cast<volatile std::uint64_t*>(to);
  const auto* const in = reinterpret_cast<const volatile std::uint64_t*>(from);
  for (std::size_t word = 0u; word < bytes / sizeof(std::uint64_t); ++word) {
    out[word] = in[word];
  }
}

void SaveRegion(std::vector<unsigned char>& image) {
  image.resize(RegionSize());
  CopyWords(image.data(), seatbelt_chain_state_start, image.size());
}

void LoadRegion(const std::vector<unsigned char>& image) {
  CopyWords(seatbelt_chain_state_start, image.data(), image.size());
}

constexpr std::uint64_t kFnvOffsetBasis = 14695981039346656037u;

std::uint64_t Fnv1a64(const void* data, std::size_t size, std::uint64_t hash) {
  const auto* const bytes = static_cast<const unsigned char*>(data);
  for (std::size_t i = 0u; i < size; ++i) {
    hash = (hash ^ bytes[i]) * 1099511628211u;
  }
  return hash;
}

void OnDemReport(uint16 event_id, uint8 status, void* /*context*/) {
  if (g_listener != nullptr) {
    g_listener->OnDiagnostic(event_id, status, g_time_ms);
  }
}

}  // namespace

bool ChainRegionUsable(std::string& why) {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  if (!g_region_checked) {
    g_region_checked = true;
    const auto begin = reinterpret_cast<std::uintptr_t>(seatbelt_chain_state_start);
    const auto end = reinterpret_cast<std::uintptr_t>(seatbelt_chain_state_end);
    const auto clock = reinterpret_cast<std::uintptr_t>(&g_time_ms);
    // Captured before any instance exists, so before the chain has ever run: the power-on
    // state, with whatever the loader and the sanitizers' constructors set up.
    g_region_ok =
        begin < end && begin <= clock && clock < end && (end - begin) % sizeof(std::uint64_t) == 0u;
    if (g_region_ok) {
      SaveRegion(g_power_on);
      const std::uint64_t layout[] = {end - begin, clock - begin};
      g_fingerprint = Fnv1a64(g_power_on.data(), g_power_on.size(),
                              Fnv1a64(layout, sizeof layout, kFnvOffsetBasis));
    }
  }
  if (!g_region_ok) {
    why =
        "the components' state region is missing from the library (linked without chain_state.ld?)";
  }
  return g_region_ok;
}

std::size_t ChainImageSize() {
  return RegionSize();
}

std::uint64_t ChainLayoutFingerprint() {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  return g_fingerprint;
}

ChainState::ChainState() : image_(PowerOnImage()) {}

ChainState::~ChainState() {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  if (g_resident == this) {
    g_resident = nullptr;
  }
}

void ChainState::Reset() {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  if (g_resident == this) {
    g_resident = nullptr;
  }
  image_ = g_power_on;
}

void ChainState::CopyTo(std::vector<unsigned char>& image) const {
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  if (g_resident == this) {
    SaveRegion(image);
  } else {
    image = image_;
  }
}

bool ChainState::Assign(const std::vector<unsigned char>& image) {
  if (image.size() != RegionSize()) {
    return false;
  }
  const std::lock_guard<std::mutex> lock(g_chain_mutex);
  if (g_resident == this) {
    LoadRegion(image);
  } else {
    image_ = image;
  }
  return true;
}

ChainSession::ChainSession(ChainState& state, ChainListener& listener) {
  g_chain_mutex.lock();
  if (g_resident != &state) {
    if (g_resident != nullptr) {
      SaveRegion(g_resident->image_);
    }
    LoadRegion(state.image_);
    g_resident = &state;
  }
  g_listener = &listener;
  // An image may come from another process, where the listeners' addresses differ: both are
  // set anew before the chain runs, so no pointer an image carries is ever called.
  RteHost_SetDemListener(&OnDemReport, nullptr);
  RteHost_SetWarningListener(nullptr, nullptr);
}

ChainSession::~ChainSession() {
  g_listener = nullptr;
  g_chain_mutex.unlock();
}

}  // namespace seatbelt_fmu

namespace seatbelt_fmu {
namespace {

// The warning logic prints its trace line with printf, and the library's link redirects that
// call here: the line goes to the running instance's listener, and nothing reaches the
// process's standard output. Without a listener that wants it, the line is not even formatted.
int CaptureTrace(const char* format, std::va_list args) FMU_PRINTF_FORMAT(1, 0);
int CaptureTrace(const char* format, std::va_list args) {
  if (g_listener == nullptr || !g_listener->WantsTrace()) {
    return 0;
  }
  char line[256];
  const int length = std::vsnprintf(line, sizeof line, format, args);
  if (length < 0) {
    return length;
  }
  // A longer line is cut to the buffer; the trace line is under 100 characters.
  std::size_t end = static_cast<std::size_t>(length) < sizeof line
                        ? static_cast<std::size_t>(length)
                        : sizeof line - 1u;
  while (end > 0u && (line[end - 1u] == '\n' || line[end - 1u] == '\r')) {
    --end;
  }
  line[end] = '\0';
  g_listener->OnTrace(line);
  return length;
}

}  // namespace
}  // namespace seatbelt_fmu

#if defined(_WIN32)
// MinGW's printf is an inline function of its <stdio.h> that prints through __mingw_vfprintf;
// the DLL is linked with --wrap=__mingw_vfprintf. What goes to another stream than standard
// output is no trace line and goes where it was meant to.
extern "C" int
__real___mingw_vfprintf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                          // the name --wrap gives
    std::FILE* stream, const char* format, std::va_list args);

extern "C" int
__wrap___mingw_vfprintf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                          // the name --wrap gives
    std::FILE* stream, const char* format, std::va_list args) {
  if (stream != stdout) {
    return __real___mingw_vfprintf(stream, format, args);
  }
  return seatbelt_fmu::CaptureTrace(format, args);
}
#else
// The shared object is linked with --wrap=printf.
extern "C" __attribute__((format(printf, 1, 2))) int
__wrap_printf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                // the name --wrap gives
    const char* format, ...);

extern "C" int __wrap_printf(  // NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp):
                               // the name --wrap gives
    const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int length = seatbelt_fmu::CaptureTrace(format, args);
  va_end(args);
  return length;
}
#endif
