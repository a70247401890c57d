// The FMU states an importer gets, sets, frees, serializes and deserializes, for both FMI
// versions. A state is a copy of an instance's Model::Snapshot, allocated by the FMU and handed
// out as an opaque pointer; it stays valid until it is freed or the instance that made it is
// freed. Every pointer an importer passes back is looked up among the live states of this
// binary first, so a null, freed or foreign pointer is refused with an error and never used.
//
// Serialized form, all numbers little-endian:
//   "SBFMUST\0"  format tag (8 bytes)
//   u16 format version, u8 FMI version (2 or 3), u8 phase
//   u32 total size of the serialized state in bytes
//   u32 length of the instantiation token, then the token's characters
//   u64 layout fingerprint of the chain's state region (ChainLayoutFingerprint)
//   u32 number of variables, then each variable's value as u32
//   i64 start time in us, i64 current time in us, the current time in s as IEEE 754 bits (u64)
//   u32 ticks run
//   u32 size of the chain image, then the image
//   u64 FNV-1a checksum of every byte before it
// Bytes are accepted only by a binary with the same format version, FMI version, token and
// layout: a serialized state belongs to the binary that wrote it. The checksum finds damage in
// storage or transfer; it is no protection against bytes forged on purpose.
#ifndef FMU_FMU_STATE_H
#define FMU_FMU_STATE_H

#include <cstddef>
#include <cstdint>

#include "model.h"

namespace seatbelt_fmu {

// What the FMI layer tells the state functions about its binary.
struct StateFormat {
  std::uint8_t fmi_version;  // 2 or 3
  const char* token;         // the instantiation token (FMI 2.0: guid)
};

// Each function checks its pointers and the state it is given, logs the reason through model
// when it refuses, and returns the FMI status. They may be called from any thread; calls on
// different instances and on the same state are serialized by one lock.

// *state null: a new state; else *state must be a live state, which is overwritten.
Status GetFmuState(Model& model, const char* function, void** state);
Status SetFmuState(Model& model, const char* function, void* state);
// state null or *state null: nothing to free, kOk. Sets *state to null.
Status FreeFmuState(Model& model, const char* function, void** state);
Status SerializedFmuStateSize(Model& model, const char* function, const StateFormat& format,
                              void* state, std::size_t* size);
// bytes must hold at least the serialized size.
Status SerializeFmuState(Model& model, const char* function, const StateFormat& format, void* state,
                         std::uint8_t* bytes, std::size_t size);
// Always makes a new state; *state is only written on success.
Status DeserializeFmuState(Model& model, const char* function, const StateFormat& format,
                           const std::uint8_t* bytes, std::size_t size, void** state);

// Frees every state the instance made; called when the instance is freed.
void FreeFmuStatesOf(const Model& model);

}  // namespace seatbelt_fmu

#endif  // FMU_FMU_STATE_H
