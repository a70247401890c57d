// Signal names, the buffered output file and the CSV writer of the seatbelt simulation.
#include "signal_log.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace seatbelt_sim {

const std::array<SignalInfo, kSignalCount> kSignalInfo = {{
    {"latch_raw", 8u},
    {"occupancy_raw", 32u},
    {"speed_raw", 16u},
    {"door_raw", 1u},
    {"ignition_raw", 32u},
    {"latch_filtered", 1u},
    {"latch_filtered_status", 32u},
    {"occupancy_filtered", 32u},
    {"occupancy_filtered_status", 32u},
    {"vehicle_speed", 16u},
    {"vehicle_speed_status", 32u},
    {"ignition_state", 32u},
    {"ignition_state_status", 32u},
    {"door_closed", 1u},
    {"door_closed_status", 32u},
    {"warning_request", 8u},
}};

namespace {

void WriteText(BufferedFile& file, const char* text) {
  file.Write(text, std::strlen(text));
}

}  // namespace

// --- BufferedFile ---------------------------------------------------------------------------

BufferedFile::BufferedFile() = default;

BufferedFile::~BufferedFile() {
  if (file_ != nullptr) {
    (void)std::fclose(file_);
  }
}

bool BufferedFile::Open(const char* path) {
  path_ = path;
  file_ = std::fopen(path, "wb");
  opening_failed_ = file_ == nullptr;
  if (opening_failed_) {
    errno_ = errno != 0 ? errno : EIO;
    return false;
  }
  return true;
}

void BufferedFile::Write(const char* data, std::size_t size) {
  while (size > 0u) {
    if (used_ == buffer_.size()) {
      Flush();
    }
    const std::size_t room = buffer_.size() - used_;
    const std::size_t chunk = size < room ? size : room;
    std::memcpy(buffer_.data() + used_, data, chunk);
    used_ += chunk;
    data += chunk;
    size -= chunk;
  }
}

void BufferedFile::Flush() {
  if (used_ > 0u && errno_ == 0 && std::fwrite(buffer_.data(), 1u, used_, file_) != used_) {
    errno_ = errno != 0 ? errno : EIO;
  }
  used_ = 0u;
}

bool BufferedFile::Close() {
  if (file_ == nullptr) {
    return true;
  }
  Flush();
  if (std::fflush(file_) != 0 && errno_ == 0) {
    errno_ = errno != 0 ? errno : EIO;
  }
  if (std::fclose(file_) != 0 && errno_ == 0) {
    errno_ = errno != 0 ? errno : EIO;
  }
  file_ = nullptr;
  return errno_ == 0;
}

void BufferedFile::PrintError(std::FILE* out, const char* program) const {
  (void)std::fprintf(out, "%s: cannot %s '%s': %s\n", program, opening_failed_ ? "create" : "write",
                     path_,
                     std::strerror(errno_));  // NOLINT(concurrency-mt-unsafe): one thread
}

// --- CSV ----------------------------------------------------------------------------------

bool CsvWriter::Open(const char* path) {
  if (!file_.Open(path)) {
    return false;
  }
  WriteText(file_, "\"time\"");
  for (const SignalInfo& info : kSignalInfo) {
    WriteText(file_, ",\"");
    WriteText(file_, info.name);
    WriteText(file_, "\"");
  }
  WriteText(file_, "\n");
  return true;
}

void CsvWriter::Write(const TickSample& sample) {
  if (!tail_valid_ || sample.values != tail_values_) {
    char* out = tail_.data();
    char* const end = tail_.data() + tail_.size();
    for (uint32 value : sample.values) {
      *out++ = ',';
      out = std::to_chars(out, end, value).ptr;
    }
    *out++ = '\n';
    tail_size_ = static_cast<std::size_t>(out - tail_.data());
    tail_values_ = sample.values;
    tail_valid_ = true;
  }
  // Seconds with three decimals: the tick time is a whole number of ms.
  char time[16];
  char* out = std::to_chars(time, time + sizeof time, sample.time_ms / 1000u).ptr;
  const uint32 millis = sample.time_ms % 1000u;
  *out++ = '.';
  *out++ = static_cast<char>('0' + millis / 100u);
  *out++ = static_cast<char>('0' + millis / 10u % 10u);
  *out++ = static_cast<char>('0' + millis % 10u);
  file_.Write(time, static_cast<std::size_t>(out - time));
  file_.Write(tail_.data(), tail_size_);
}

}  // namespace seatbelt_sim
