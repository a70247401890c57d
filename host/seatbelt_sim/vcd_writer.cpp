// Value Change Dump writer of seatbelt_sim.
#include "vcd_writer.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace seatbelt_sim {
namespace {

void WriteText(BufferedFile& file, const std::string& text) {
  file.Write(text.data(), text.size());
}

// Identifier codes '!', '"', '#', ...: one printable character per signal.
char VcdId(std::size_t signal) {
  return static_cast<char>('!' + signal);
}

}  // namespace

bool VcdWriter::Open(const char* path, const std::string& comment, const TickSample& initial) {
  if (!file_.Open(path)) {
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

bool VcdWriter::Close(uint32 end_ms) {
  if (end_ms > last_time_ms_) {
    WriteTime(end_ms);
  }
  return file_.Close();
}

}  // namespace seatbelt_sim
