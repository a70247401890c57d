// The FMU states: the live ones of this binary, and their serialized form.
#include "fmu_state.h"

#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace seatbelt_fmu {
namespace {

constexpr char kTag[8] = {'S', 'B', 'F', 'M', 'U', 'S', 'T', '\0'};
constexpr std::uint16_t kFormatVersion = 1u;
// Tag, format version, FMI version, phase and total size: enough to say what the bytes are.
constexpr std::size_t kHeaderSize = sizeof kTag + 2u + 1u + 1u + 4u;
constexpr std::size_t kChecksumSize = 8u;

struct StoredState {
  const Model* owner = nullptr;  // the instance that made it, which frees it at the latest
  Model::Snapshot snapshot;
};

// The live states of this binary, by the pointer the importer holds. Also held while a state is
// read or written, so that a state is never freed under a call that uses it.
std::mutex g_states_mutex;
std::unordered_map<const void*, std::unique_ptr<StoredState>> g_states;

StoredState* Live(const void* state) {
  const auto found = g_states.find(state);
  return found == g_states.end() ? nullptr : found->second.get();
}

std::uint64_t Fnv1a64(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t hash = 14695981039346656037u;
  for (std::size_t i = 0u; i < size; ++i) {
    hash = (hash ^ bytes[i]) * 1099511628211u;
  }
  return hash;
}

// Writes little-endian numbers and byte strings to out, or only counts them when out is null.
class Writer {
 public:
  explicit Writer(std::uint8_t* out) : out_(out) {}
  void Bytes(const void* data, std::size_t size) {
    if (out_ != nullptr && size > 0u) {
      std::memcpy(out_ + at_, data, size);
    }
    at_ += size;
  }
  void Number(std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0u; i < size; ++i) {
      if (out_ != nullptr) {
        out_[at_] = static_cast<std::uint8_t>(value >> (8u * i));
      }
      ++at_;
    }
  }
  std::size_t size() const { return at_; }

 private:
  std::uint8_t* out_;
  std::size_t at_ = 0u;
};

// Reads what Writer wrote, never past the end: every read after one that ran out fails.
class Reader {
 public:
  Reader(const std::uint8_t* in, std::size_t size) : in_(in), size_(size) {}
  template <typename T>
  bool Number(T& value) {
    if (size_ - at_ < sizeof(T)) {
      return false;
    }
    std::uint64_t number = 0u;
    for (std::size_t i = 0u; i < sizeof(T); ++i) {
      number |= std::uint64_t{in_[at_ + i]} << (8u * i);
    }
    at_ += sizeof(T);
    value = static_cast<T>(number);
    return true;
  }
  const std::uint8_t* Bytes(std::size_t size) {
    if (size_ - at_ < size) {
      return nullptr;
    }
    const std::uint8_t* const bytes = in_ + at_;
    at_ += size;
    return bytes;
  }
  std::size_t at() const { return at_; }

 private:
  const std::uint8_t* in_;
  std::size_t size_;
  std::size_t at_ = 0u;
};

// Writes the state (without its checksum) and gives the size, checksum included.
std::size_t Write(const Model::Snapshot& snapshot, const StateFormat& format, std::uint8_t* out) {
  const std::size_t token_length = std::strlen(format.token);
  Writer writer(out);
  writer.Bytes(kTag, sizeof kTag);
  writer.Number(kFormatVersion, 2u);
  writer.Number(format.fmi_version, 1u);
  writer.Number(static_cast<std::uint8_t>(snapshot.phase), 1u);
  const std::size_t total_at = writer.size();
  writer.Number(0u, 4u);  // the total, filled in below
  writer.Number(token_length, 4u);
  writer.Bytes(format.token, token_length);
  writer.Number(ChainLayoutFingerprint(), 8u);
  writer.Number(snapshot.values.size(), 4u);
  for (const uint32 value : snapshot.values) {
    writer.Number(value, 4u);
  }
  writer.Number(static_cast<std::uint64_t>(snapshot.start_us), 8u);
  writer.Number(static_cast<std::uint64_t>(snapshot.now_us), 8u);
  std::uint64_t now_bits = 0u;
  static_assert(sizeof now_bits == sizeof snapshot.now_s, "the time is a 64-bit double");
  std::memcpy(&now_bits, &snapshot.now_s, sizeof now_bits);
  writer.Number(now_bits, 8u);
  writer.Number(snapshot.ticks_run, 4u);
  writer.Number(snapshot.chain.size(), 4u);
  writer.Bytes(snapshot.chain.data(), snapshot.chain.size());
  const std::size_t total = writer.size() + kChecksumSize;
  if (out != nullptr) {
    Writer(out + total_at).Number(total, 4u);
    Writer(out + writer.size()).Number(Fnv1a64(out, writer.size()), kChecksumSize);
  }
  return total;
}

// A token as it can be shown in a message: printable characters only, and not too long.
std::string Printable(const std::uint8_t* text, std::size_t length) {
  constexpr std::size_t kShown = 48u;
  std::string shown;
  for (std::size_t i = 0u; i < length && i < kShown; ++i) {
    shown += text[i] >= 0x20u && text[i] < 0x7Fu ? static_cast<char>(text[i]) : '?';
  }
  return length > kShown ? shown + "..." : shown;
}

// Reads a serialized state into snapshot, or logs why it is none of this binary's.
Status Read(Model& model, const char* function, const StateFormat& format,
            const std::uint8_t* bytes, std::size_t size, Model::Snapshot& snapshot) {
  if (bytes == nullptr || size == 0u) {
    return model.Error(function, "no bytes to deserialize");
  }
  if (size < sizeof kTag || std::memcmp(bytes, kTag, sizeof kTag) != 0) {
    return model.Error(function, "the bytes are no serialized state of this FMU (no format tag)");
  }
  if (size < kHeaderSize + kChecksumSize) {
    return model.Error(function, "truncated: %zu bytes", size);
  }
  Reader reader(bytes + sizeof kTag, size - sizeof kTag);
  std::uint16_t format_version = 0u;
  std::uint8_t fmi_version = 0u;
  std::uint8_t phase = 0u;
  std::uint32_t total = 0u;
  (void)(reader.Number(format_version) && reader.Number(fmi_version) && reader.Number(phase) &&
         reader.Number(total));
  if (format_version != kFormatVersion) {
    return model.Error(function, "state format version %u; this binary reads version %u",
                       static_cast<unsigned>(format_version),
                       static_cast<unsigned>(kFormatVersion));
  }
  if (fmi_version != format.fmi_version) {
    return model.Error(function, "a state of the FMI %u.0 binary; this is the FMI %u.0 one",
                       static_cast<unsigned>(fmi_version),
                       static_cast<unsigned>(format.fmi_version));
  }
  if (total != size) {
    return total > size ? model.Error(function, "truncated: %zu of %u bytes", size,
                                      static_cast<unsigned>(total))
                        : model.Error(function, "%zu bytes given for a state of %u bytes", size,
                                      static_cast<unsigned>(total));
  }
  std::uint64_t checksum = 0u;
  Reader(bytes + size - kChecksumSize, kChecksumSize).Number(checksum);
  if (checksum != Fnv1a64(bytes, size - kChecksumSize)) {
    return model.Error(function, "corrupted: the checksum does not match the bytes");
  }

  // From here on the bytes are as a binary wrote them; they must be this binary's.
  reader = Reader(bytes, size - kChecksumSize);
  (void)reader.Bytes(kHeaderSize);
  std::uint32_t token_length = 0u;
  const std::uint8_t* token = nullptr;
  if (reader.Number(token_length)) {
    token = reader.Bytes(token_length);
  }
  if (token == nullptr) {
    return model.Error(function, "corrupted: the instantiation token runs past the end");
  }
  if (token_length != std::strlen(format.token) ||
      std::memcmp(token, format.token, token_length) != 0) {
    return model.Error(function,
                       "made by another build: instantiation token %s, this binary's is %s",
                       Printable(token, token_length).c_str(), format.token);
  }
  std::uint64_t fingerprint = 0u;
  std::uint32_t variable_count = 0u;
  (void)(reader.Number(fingerprint) && reader.Number(variable_count));
  if (fingerprint != ChainLayoutFingerprint() || variable_count != snapshot.values.size()) {
    return model.Error(function, "made by another build: the state is laid out differently");
  }
  bool complete = true;
  for (uint32& value : snapshot.values) {
    complete = complete && reader.Number(value);
  }
  std::uint64_t start_us = 0u;
  std::uint64_t now_us = 0u;
  std::uint64_t now_bits = 0u;
  std::uint32_t chain_size = 0u;
  complete = complete && reader.Number(start_us) && reader.Number(now_us) &&
             reader.Number(now_bits) && reader.Number(snapshot.ticks_run) &&
             reader.Number(chain_size);
  const std::uint8_t* const chain = complete ? reader.Bytes(chain_size) : nullptr;
  if (chain == nullptr || chain_size != ChainImageSize() || reader.at() != size - kChecksumSize) {
    return model.Error(function, "made by another build: the sizes do not match this binary's");
  }
  snapshot.phase = static_cast<Model::Phase>(phase);
  snapshot.start_us = static_cast<int64_t>(start_us);
  snapshot.now_us = static_cast<int64_t>(now_us);
  std::memcpy(&snapshot.now_s, &now_bits, sizeof snapshot.now_s);
  snapshot.chain.assign(chain, chain + chain_size);
  std::string why;
  if (!Model::Consistent(snapshot, why)) {
    return model.Error(function, "inconsistent state: %s", why.c_str());
  }
  return Status::kOk;
}

constexpr const char* kNotLive = "not a live state of this FMU (freed, or never made by it)";

// Runs call with the states' lock held. call gives an empty string when it succeeded, else why
// it refused, which is logged once the lock is released: a logger that calls back into the FMU
// finds it unlocked. What call throws (memory running out) is refused the same way.
template <typename Call>
Status Locked(Model& model, const char* function, Call call) {
  std::string why;
  try {
    const std::lock_guard<std::mutex> lock(g_states_mutex);
    why = call();
  } catch (const std::exception& error) {
    why = error.what();
  }
  return why.empty() ? Status::kOk : model.Error(function, "%s", why.c_str());
}

std::string NotLive(const void* state) {
  return std::string("FMUState is ") + (state == nullptr ? "null" : kNotLive);
}

}  // namespace

Status GetFmuState(Model& model, const char* function, void** state) {
  if (state == nullptr) {
    return model.Error(function, "the pointer to the FMU state is null");
  }
  return Locked(model, function, [&]() -> std::string {
    if (*state != nullptr) {
      StoredState* const stored = Live(*state);
      if (stored == nullptr) {
        return std::string("*FMUState is ") + kNotLive;
      }
      model.Save(stored->snapshot);
      return "";
    }
    auto stored = std::make_unique<StoredState>();
    stored->owner = &model;
    model.Save(stored->snapshot);
    void* const handle = stored.get();
    g_states.emplace(handle, std::move(stored));
    *state = handle;
    return "";
  });
}

Status SetFmuState(Model& model, const char* function, void* state) {
  return Locked(model, function, [&]() -> std::string {
    const StoredState* const stored = Live(state);
    if (stored == nullptr) {
      return NotLive(state);
    }
    return model.Restore(stored->snapshot) ? "" : "the state does not fit this binary";
  });
}

Status FreeFmuState(Model& model, const char* function, void** state) {
  if (state == nullptr || *state == nullptr) {
    return Status::kOk;
  }
  return Locked(model, function, [&]() -> std::string {
    if (g_states.erase(*state) == 0u) {
      return NotLive(*state);
    }
    *state = nullptr;
    return "";
  });
}

Status SerializedFmuStateSize(Model& model, const char* function, const StateFormat& format,
                              void* state, std::size_t* size) {
  if (size == nullptr) {
    return model.Error(function, "size is null");
  }
  return Locked(model, function, [&]() -> std::string {
    const StoredState* const stored = Live(state);
    if (stored == nullptr) {
      return NotLive(state);
    }
    *size = Write(stored->snapshot, format, nullptr);
    return "";
  });
}

Status SerializeFmuState(Model& model, const char* function, const StateFormat& format, void* state,
                         std::uint8_t* bytes, std::size_t size) {
  return Locked(model, function, [&]() -> std::string {
    const StoredState* const stored = Live(state);
    if (stored == nullptr) {
      return NotLive(state);
    }
    const std::size_t needed = Write(stored->snapshot, format, nullptr);
    if (bytes == nullptr || size < needed) {
      return "the state needs " + std::to_string(needed) + " bytes, " +
             (bytes == nullptr ? std::string("none") : std::to_string(size)) + " given";
    }
    (void)Write(stored->snapshot, format, bytes);
    return "";
  });
}

Status DeserializeFmuState(Model& model, const char* function, const StateFormat& format,
                           const std::uint8_t* bytes, std::size_t size, void** state) {
  if (state == nullptr) {
    return model.Error(function, "the pointer to the FMU state is null");
  }
  // Read outside the lock: it logs why it refuses.
  std::unique_ptr<StoredState> stored;
  try {
    stored = std::make_unique<StoredState>();
    stored->owner = &model;
    const Status status = Read(model, function, format, bytes, size, stored->snapshot);
    if (status != Status::kOk) {
      return status;
    }
  } catch (const std::exception& error) {
    return model.Error(function, "%s", error.what());
  }
  return Locked(model, function, [&]() -> std::string {
    void* const handle = stored.get();
    g_states.emplace(handle, std::move(stored));
    *state = handle;
    return "";
  });
}

void FreeFmuStatesOf(const Model& model) {
  const std::lock_guard<std::mutex> lock(g_states_mutex);
  for (auto state = g_states.begin(); state != g_states.end();) {
    state = state->second->owner == &model ? g_states.erase(state) : std::next(state);
  }
}

}  // namespace seatbelt_fmu
