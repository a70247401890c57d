// CSV and Value Change Dump writers of seatbelt_sim.
#include "signal_log.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

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

void WriteText(BufferedFile& file, const std::string& text) {
  file.Write(text.data(), text.size());
}

}  // namespace

// --- BufferedFile ---------------------------------------------------------------------------

BufferedFile::~BufferedFile() {
  if (file_ != nullptr) {
    (void)std::fclose(file_);
  }
}

bool BufferedFile::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) {
    error = "cannot create '" + path +
            "': " + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): single-threaded host
    return false;
  }
  path_ = path;
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

bool BufferedFile::Close(std::string& error) {
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
  if (errno_ != 0) {
    error = "cannot write '" + path_ +
            "': " + std::strerror(errno_);  // NOLINT(concurrency-mt-unsafe): single-threaded host
    return false;
  }
  return true;
}

// --- CSV ----------------------------------------------------------------------------------

bool CsvWriter::Open(const std::string& path, std::string& error) {
  if (!file_.Open(path, error)) {
    return false;
  }
  std::string header = "\"time\"";
  for (const SignalInfo& info : kSignalInfo) {
    header += ",\"";
    header += info.name;
    header += '"';
  }
  header += '\n';
  WriteText(file_, header);
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

// --- VCD ----------------------------------------------------------------------------------

namespace {

// Identifier codes '!', '"', '#', ...: one printable character per signal.
char VcdId(std::size_t signal) {
  return static_cast<char>('!' + signal);
}

}  // namespace

bool VcdWriter::Open(const std::string& path, const std::string& comment, const TickSample& initial,
                     std::string& error) {
  if (!file_.Open(path, error)) {
    return false;
  }
  char date[64] = "unknown";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) != nullptr) {
    (void)std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  }
  std::string header;
  header += "$date\n  " + std::string(date) + "\n$end\n";
  header += "$version\n  seatbelt_sim\n$end\n";
  if (!comment.empty()) {
    // A '$' in the text (a file name, say) could close the section early.
    std::string safe = comment;
    std::replace(safe.begin(), safe.end(), '$', '_');
    header += "$comment\n  " + safe + "\n$end\n";
  }
  header += "$timescale 1 ms $end\n";
  header += "$scope module seatbelt $end\n";
  for (std::size_t signal = 0u; signal < kSignalCount; ++signal) {
    header += "$var wire " + std::to_string(kSignalInfo[signal].width) + " " + VcdId(signal) + " " +
              kSignalInfo[signal].name + " $end\n";
  }
  header += "$upscope $end\n$enddefinitions $end\n";
  WriteText(file_, header);

  WriteTime(initial.time_ms);
  file_.Write("$dumpvars\n", 10u);
  for (std::size_t signal = 0u; signal < kSignalCount; ++signal) {
    WriteValue(signal, initial.values[signal]);
  }
  file_.Write("$end\n", 5u);
  last_ = initial.values;
  return true;
}

void VcdWriter::WriteTime(uint32 time_ms) {
  char text[16];
  text[0] = '#';
  char* out = std::to_chars(text + 1, text + sizeof text, time_ms).ptr;
  *out++ = '\n';
  file_.Write(text, static_cast<std::size_t>(out - text));
  last_time_ms_ = time_ms;
}

void VcdWriter::WriteValue(std::size_t signal, uint32 value) {
  char text[48];
  char* out = text;
  if (kSignalInfo[signal].width == 1u) {
    // A boolean holding anything but 0 or 1 shows as unknown rather than as a wrong bit.
    *out++ = value == 0u ? '0' : value == 1u ? '1' : 'x';
  } else {
    *out++ = 'b';
    out = std::to_chars(out, text + sizeof text, value, 2).ptr;  // no leading zeros
    *out++ = ' ';
  }
  *out++ = VcdId(signal);
  *out++ = '\n';
  file_.Write(text, static_cast<std::size_t>(out - text));
}

void VcdWriter::Write(const TickSample& sample) {
  if (sample.values == last_) {
    return;
  }
  WriteTime(sample.time_ms);
  for (std::size_t signal = 0u; signal < kSignalCount; ++signal) {
    if (sample.values[signal] != last_[signal]) {
      WriteValue(signal, sample.values[signal]);
    }
  }
  last_ = sample.values;
}

bool VcdWriter::Close(uint32 end_ms, std::string& error) {
  if (end_ms > last_time_ms_) {
    WriteTime(end_ms);
  }
  return file_.Close(error);
}

}  // namespace seatbelt_sim
