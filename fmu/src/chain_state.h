// Per-instance state of the seatbelt chain inside the FMU's shared library.
//
// The four components and the runtime layer keep their state in file-scope variables and have
// no init operation, yet an importer may run many instances of the FMU in one process. The
// linker gathers the .data and .bss of exactly those five modules into one contiguous region
// of the shared library (chain_state.ld). Each instance owns an image of that region, starting
// as the power-on image; the instance whose image is in the region is "resident". Running the
// chain for an instance takes one process-wide lock and, if another instance is resident, saves
// that one's region into its image and loads this one's. Instances therefore never see each
// other's state, and calls of different instances from different threads are serialized.
//
// Why this design: it needs nothing of the components but the link, works the same for every
// GNU ld target (ELF shared objects and PE DLLs), and costs nothing while one instance runs
// alone (no swap). Its limits: instances never run the chain in parallel, and any state the
// five modules keep outside their .data/.bss (none today: no heap, no thread-local storage, no
// static locals with guards) would be shared.
#ifndef FMU_CHAIN_STATE_H
#define FMU_CHAIN_STATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Std_Types.h"

namespace seatbelt_fmu {

// What the chain reports while it runs for an instance. Called on the running thread with the
// chain lock held: implementations must not call back into the chain.
class ChainListener {
 public:
  virtual ~ChainListener() = default;

  // Whether trace lines are wanted at all; when not, they are not even formatted.
  virtual bool WantsTrace() const = 0;
  // One trace line of the warning logic, without its newline.
  virtual void OnTrace(const char* line) = 0;
  // A diagnostic report (event id, DEM_EVENT_STATUS_FAILED or _PASSED) at g_time_ms.
  virtual void OnDiagnostic(uint16 event_id, uint8 status, uint32 time_ms) = 0;

 protected:
  ChainListener() = default;
  ChainListener(const ChainListener&) = default;
  ChainListener& operator=(const ChainListener&) = default;
  ChainListener(ChainListener&&) = default;
  ChainListener& operator=(ChainListener&&) = default;
};

// One instance's copy of the chain's state.
class ChainState {
 public:
  // Starts from the power-on state. Call only after ChainRegionUsable returned true.
  ChainState();
  ~ChainState();
  ChainState(const ChainState&) = delete;
  ChainState& operator=(const ChainState&) = delete;
  ChainState(ChainState&&) = delete;
  ChainState& operator=(ChainState&&) = delete;

  // Back to the power-on state, as if just constructed.
  void Reset();

  // Copies this instance's chain state into image (ChainImageSize() bytes), from the region if
  // the instance is resident, else from its own copy. Reuses image's memory.
  void CopyTo(std::vector<unsigned char>& image) const;
  // Makes image, as CopyTo gave it, this instance's chain state. No other instance's state is
  // touched: a resident instance gets the region loaded, any other only its own copy. False,
  // and nothing changed, when image is not ChainImageSize() bytes.
  bool Assign(const std::vector<unsigned char>& image);

 private:
  friend class ChainSession;
  std::vector<unsigned char> image_;  // meaningful only while this instance is not resident
};

// Exclusive use of the chain with one instance's state in place, for the session's lifetime.
// Inside it, the components, the runtime layer and g_time_ms are this instance's own, and the
// warning logic's trace lines and the diagnostic reports go to listener.
class ChainSession {
 public:
  ChainSession(ChainState& state, ChainListener& listener);
  ~ChainSession();
  ChainSession(const ChainSession&) = delete;
  ChainSession& operator=(const ChainSession&) = delete;
  ChainSession(ChainSession&&) = delete;
  ChainSession& operator=(ChainSession&&) = delete;
};

// Checks once per process that the linker gathered the state region (non-empty, holding
// g_time_ms) and records the power-on image. False, with why set, when the FMU cannot keep
// instances apart.
bool ChainRegionUsable(std::string& why);

// Size in bytes of an instance's chain state. Valid after ChainRegionUsable returned true.
std::size_t ChainImageSize();

// Identifies the layout of the state region of this binary: its size, where the clock lies in
// it and the power-on image. A chain image is meaningful only to a binary with the same value.
std::uint64_t ChainLayoutFingerprint();

}  // namespace seatbelt_fmu

#endif  // FMU_CHAIN_STATE_H
