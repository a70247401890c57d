// Writer and checking reader of the run table.
#include "run_table.h"

#include <cstring>
#include <initializer_list>

namespace seatbelt_sim {
namespace {

constexpr unsigned char kMagic[4] = {'S', 'B', 'R', 'T'};
constexpr std::size_t kWordBytes = 4u;

// --- writing ---------------------------------------------------------------------------------

void PutWord(std::FILE* out, uint32 word) {
  const unsigned char bytes[kWordBytes] = {static_cast<unsigned char>(word & 0xFFu),
                                           static_cast<unsigned char>((word >> 8u) & 0xFFu),
                                           static_cast<unsigned char>((word >> 16u) & 0xFFu),
                                           static_cast<unsigned char>((word >> 24u) & 0xFFu)};
  (void)std::fwrite(bytes, 1u, sizeof bytes, out);
}

void PutText(std::FILE* out, const char* text) {
  const std::size_t length = std::strlen(text);
  PutWord(out, static_cast<uint32>(length));
  (void)std::fwrite(text, 1u, length, out);
  // The terminating 0 and the padding.
  const unsigned char zeros[kWordBytes] = {0u, 0u, 0u, 0u};
  (void)std::fwrite(zeros, 1u, kWordBytes - length % kWordBytes, out);
}

// --- reading ---------------------------------------------------------------------------------

class Cursor {
 public:
  Cursor(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool Word(uint32& word) {
    if (size_ - position_ < kWordBytes) {
      return false;
    }
    const unsigned char* const at = bytes_ + position_;
    word = static_cast<uint32>(at[0]) | (static_cast<uint32>(at[1]) << 8u) |
           (static_cast<uint32>(at[2]) << 16u) | (static_cast<uint32>(at[3]) << 24u);
    position_ += kWordBytes;
    return true;
  }

  // A text in place: its bytes followed by a 0 byte, padded to whole words.
  bool Text(const char*& text) {
    uint32 length = 0u;
    if (!Word(length) || length >= size_ - position_) {
      return false;
    }
    const std::size_t padded = (length / kWordBytes + 1u) * kWordBytes;
    if (padded > size_ - position_ || bytes_[position_ + length] != 0u) {
      return false;
    }
    // The table holds chars written as bytes; reading them back as chars is exact.
    text = reinterpret_cast<const char*>(bytes_ + position_);  // NOLINT: bytes back to chars
    position_ += padded;
    return true;
  }

  // A flag word and, when it is 1, a text; text stays null for 0. bad_flag is the problem of
  // a flag other than 0 and 1.
  const char* OptionalText(const char*& text, const char* bad_flag) {
    uint32 flag = 0u;
    if (!Word(flag)) {
      return "cut short";
    }
    if (flag > 1u) {
      return bad_flag;
    }
    return flag == 1u && !Text(text) ? "cut short" : nullptr;
  }

  bool AtEnd() const { return position_ == size_; }

 private:
  const unsigned char* bytes_;
  std::size_t size_;
  std::size_t position_ = 0u;
};

// A path text after its flag: 0 without the file, 1 and the path with it.
void PutOptionalText(std::FILE* out, const char* text) {
  PutWord(out, text != nullptr ? 1u : 0u);
  if (text != nullptr) {
    PutText(out, text);
  }
}

}  // namespace

bool WriteRunTable(const RunSetup& run, const char* csv_path, const char* junit_path,
                   std::FILE* out) {
  (void)std::fwrite(kMagic, 1u, sizeof kMagic, out);
  PutWord(out, kRunTableVersion);
  PutWord(out, run.ticks);
  const SeatbeltCalibration_t& cal = run.calibration;
  for (const uint16 field : {cal.latch_debounce_ms, cal.unlatch_debounce_ms, cal.occ_debounce_ms,
                             cal.speed_threshold, cal.door_grace_ms}) {
    PutWord(out, field);
  }
  PutText(out, run.name);
  PutOptionalText(out, csv_path);
  PutWord(out, static_cast<uint32>(run.stimulus_count));
  for (std::size_t i = 0u; i < run.stimulus_count; ++i) {
    const Stimulus& stimulus = run.stimuli[i];
    PutWord(out, stimulus.time_ms);
    PutWord(out, static_cast<uint32>(stimulus.input));
    PutWord(out, stimulus.value);
    if (stimulus.input == Input::kNote) {
      PutText(out, stimulus.text);
    }
  }
  PutWord(out, static_cast<uint32>(run.expectation_count));
  for (std::size_t i = 0u; i < run.expectation_count; ++i) {
    const Expectation& expectation = run.expectations[i];
    for (const uint32 word :
         {expectation.line, expectation.signal, static_cast<uint32>(expectation.op),
          static_cast<uint32>(expectation.window), expectation.value, expectation.from_ms,
          expectation.to_ms}) {
      PutWord(out, word);
    }
    PutText(out, expectation.text);
    PutOptionalText(out, expectation.id);
  }
  PutOptionalText(out, junit_path);
  return std::ferror(out) == 0;
}

const char* RunTable::Read(const unsigned char* bytes, std::size_t size) {
  Cursor in(bytes, size);
  if (size < sizeof kMagic || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    return "not a run table";
  }
  uint32 word = 0u;
  (void)in.Word(word);  // the magic bytes, checked above
  if (!in.Word(word)) {
    return "cut short";
  }
  if (word != kRunTableVersion) {
    return "written for another version of the scenario player";
  }

  if (!in.Word(setup_.ticks)) {
    return "cut short";
  }
  if (setup_.ticks > kMaxTimeMs / kTickMs) {
    return "more ticks than the clock can count";
  }
  SeatbeltCalibration_t& cal = setup_.calibration;
  for (uint16* field : {&cal.latch_debounce_ms, &cal.unlatch_debounce_ms, &cal.occ_debounce_ms,
                        &cal.speed_threshold, &cal.door_grace_ms}) {
    if (!in.Word(word)) {
      return "cut short";
    }
    if (word > 65535u) {
      return "calibration value out of range";
    }
    *field = static_cast<uint16>(word);
  }
  if (!in.Text(setup_.name)) {
    return "cut short";
  }
  if (const char* const problem = in.OptionalText(csv_path_, "bad CSV flag")) {
    return problem;
  }

  uint32 count = 0u;
  if (!in.Word(count)) {
    return "cut short";
  }
  // Each stimulus takes at least three words: a count beyond that is a damaged table, not a
  // reason to ask for memory.
  if (count > size / (3u * kWordBytes)) {
    return "cut short";
  }
  if (!stimuli_.Reserve(count)) {
    return "too many stimuli for the memory";
  }
  for (uint32 i = 0u; i < count; ++i) {
    Stimulus stimulus;
    uint32 input = 0u;
    if (!in.Word(stimulus.time_ms) || !in.Word(input) || !in.Word(stimulus.value)) {
      return "cut short";
    }
    if (stimulus.time_ms > kMaxTimeMs) {
      return "stimulus time out of range";
    }
    if (!stimuli_.empty() && stimulus.time_ms < stimuli_[stimuli_.size() - 1u].time_ms) {
      return "stimulus times decrease";
    }
    if (input >= kInputCount) {
      return "unknown input";
    }
    stimulus.input = static_cast<Input>(input);
    if (stimulus.value > InputMax(stimulus.input)) {
      return "stimulus value out of range";
    }
    if (stimulus.input == Input::kNote && !in.Text(stimulus.text)) {
      return "cut short";
    }
    (void)stimuli_.Append(stimulus);  // room reserved above
  }

  // Each expectation takes at least nine words.
  if (!in.Word(count)) {
    return "cut short";
  }
  if (count > size / (9u * kWordBytes)) {
    return "cut short";
  }
  if (!expectations_.Reserve(count)) {
    return "too many expectations for the memory";
  }
  for (uint32 i = 0u; i < count; ++i) {
    Expectation expectation;
    uint32 op = 0u;
    uint32 window = 0u;
    if (!in.Word(expectation.line) || !in.Word(expectation.signal) || !in.Word(op) ||
        !in.Word(window) || !in.Word(expectation.value) || !in.Word(expectation.from_ms) ||
        !in.Word(expectation.to_ms) || !in.Text(expectation.text)) {
      return "cut short";
    }
    if (const char* const problem = in.OptionalText(expectation.id, "bad requirement flag")) {
      return problem;
    }
    if (expectation.signal >= kJudgedSignalCount || op >= kCompareOpCount ||
        window >= kWindowCount || expectation.value > JudgedSignalMax(expectation.signal)) {
      return "bad expectation";
    }
    expectation.op = static_cast<CompareOp>(op);
    expectation.window = static_cast<Window>(window);
    TickSpan span;
    if (!ExpectationSpan(expectation, setup_.ticks, span)) {
      return "expectation outside the run";
    }
    (void)expectations_.Append(expectation);  // room reserved above
  }
  if (const char* const problem = in.OptionalText(junit_path_, "bad JUnit flag")) {
    return problem;
  }
  if (!in.AtEnd()) {
    return "bytes after the end";
  }
  setup_.stimuli = stimuli_.data();
  setup_.stimulus_count = stimuli_.size();
  setup_.expectations = expectations_.data();
  setup_.expectation_count = expectations_.size();
  return nullptr;
}

}  // namespace seatbelt_sim
