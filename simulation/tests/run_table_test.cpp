// The run table: what the desktop writes, the board must read back unchanged, and a damaged
// table must be refused with a reason rather than read out of bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_setup.h"
#include "run_table.h"

namespace seatbelt_sim {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Written(const RunSetup& run, const char* csv_path) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(WriteRunTable(run, csv_path, file));
  std::rewind(file);
  Bytes bytes;
  int c = 0;
  while ((c = std::fgetc(file)) != EOF) {
    bytes.push_back(static_cast<unsigned char>(c));
  }
  std::fclose(file);
  return bytes;
}

// Texts of every length modulo 4, so that each amount of padding is read back; a note may hold
// a 0 byte, which ends it when printed.
const char kNoteWithZero[] = "a\0b";
const std::vector<Stimulus> kStimuli = {
    {0u, Input::kIgnition, 4294967295u, nullptr},
    {0u, Input::kNote, 0u, "x"},
    {10u, Input::kLatch, 255u, nullptr},
    {15u, Input::kNote, 0u, "ab"},
    {15u, Input::kSpeed, 65535u, nullptr},
    {20u, Input::kNote, 0u, kNoteWithZero},
    {30u, Input::kDoor, 1u, nullptr},
    {30u, Input::kNote, 0u, "abcd"},
    {kMaxTimeMs, Input::kOccupancy, 7u, nullptr},
};

RunSetup Example() {
  RunSetup run;
  run.name = "scenarios/a b.txt";
  run.calibration = {0u, 1u, 300u, 25u, 65535u};
  run.ticks = kMaxTimeMs / kTickMs;
  run.stimuli = kStimuli.data();
  run.stimulus_count = kStimuli.size();
  return run;
}

TEST(SeatbeltSimRunTable, ReadsBackWhatWasWritten) {
  for (const char* csv_path : {static_cast<const char*>(nullptr), "out dir/run.csv"}) {
    const Bytes bytes = Written(Example(), csv_path);
    RunTable table;
    ASSERT_EQ(table.Read(bytes.data(), bytes.size()), nullptr);
    const RunSetup& run = table.setup();
    EXPECT_STREQ(run.name, "scenarios/a b.txt");
    EXPECT_EQ(run.ticks, kMaxTimeMs / kTickMs);
    EXPECT_EQ(run.calibration.latch_debounce_ms, 0u);
    EXPECT_EQ(run.calibration.unlatch_debounce_ms, 1u);
    EXPECT_EQ(run.calibration.occ_debounce_ms, 300u);
    EXPECT_EQ(run.calibration.speed_threshold, 25u);
    EXPECT_EQ(run.calibration.door_grace_ms, 65535u);
    if (csv_path == nullptr) {
      EXPECT_EQ(table.csv_path(), nullptr);
    } else {
      EXPECT_STREQ(table.csv_path(), csv_path);
    }
    ASSERT_EQ(run.stimulus_count, kStimuli.size());
    for (std::size_t i = 0u; i < kStimuli.size(); ++i) {
      const Stimulus& got = run.stimuli[i];
      EXPECT_EQ(got.time_ms, kStimuli[i].time_ms) << "stimulus " << i;
      EXPECT_EQ(got.input, kStimuli[i].input) << "stimulus " << i;
      EXPECT_EQ(got.value, kStimuli[i].value) << "stimulus " << i;
      if (kStimuli[i].text == nullptr) {
        EXPECT_EQ(got.text, nullptr) << "stimulus " << i;
      } else {
        EXPECT_STREQ(got.text, kStimuli[i].text) << "stimulus " << i;
      }
    }
  }
}

// Offsets in the example table without a CSV file: 12 bytes of header and ticks, 20 of
// calibration, the name (4 + 20), the CSV flag, the count, then the stimuli.
constexpr std::size_t kTicksAt = 8u;
constexpr std::size_t kCalibrationAt = 12u;
constexpr std::size_t kNameAt = 32u;
constexpr std::size_t kCsvFlagAt = kNameAt + 24u;
constexpr std::size_t kCountAt = kCsvFlagAt + 4u;
constexpr std::size_t kFirstStimulusAt = kCountAt + 4u;

void PutWord(Bytes& bytes, std::size_t at, unsigned word) {
  for (std::size_t i = 0u; i < 4u; ++i) {
    bytes[at + i] = static_cast<unsigned char>(word >> (8u * i));
  }
}

std::string Problem(const Bytes& bytes) {
  RunTable table;
  const char* problem = table.Read(bytes.data(), bytes.size());
  return problem == nullptr ? "accepted" : problem;
}

TEST(SeatbeltSimRunTable, RefusesDamagedTables) {
  const Bytes good = Written(Example(), nullptr);
  ASSERT_EQ(Problem(good), "accepted");

  // Cut anywhere: refused, never read beyond the end (ASan would see it).
  for (std::size_t size = 0u; size < good.size(); ++size) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_NE(Problem(cut), "accepted") << "cut to " << size << " bytes";
  }

  struct Damage {
    const char* what;
    void (*apply)(Bytes&);
    const char* problem;
  };
  const Damage damages[] = {
      {"magic", [](Bytes& b) { b[0] = 'X'; }, "not a run table"},
      {"version", [](Bytes& b) { PutWord(b, 4u, 2u); },
       "written for another version of the scenario player"},
      {"ticks", [](Bytes& b) { PutWord(b, kTicksAt, kMaxTimeMs / kTickMs + 1u); },
       "more ticks than the clock can count"},
      {"calibration", [](Bytes& b) { PutWord(b, kCalibrationAt + 16u, 65536u); },
       "calibration value out of range"},
      {"name without its 0 byte", [](Bytes& b) { b[kNameAt + 4u + 17u] = '!'; }, "cut short"},
      {"name longer than the table", [](Bytes& b) { PutWord(b, kNameAt, 0xFFFFFFFFu); },
       "cut short"},
      {"CSV flag", [](Bytes& b) { PutWord(b, kCsvFlagAt, 2u); }, "bad CSV flag"},
      {"count beyond the table", [](Bytes& b) { PutWord(b, kCountAt, 0xFFFFFFFFu); }, "cut short"},
      {"time", [](Bytes& b) { PutWord(b, kFirstStimulusAt, kMaxTimeMs + 1u); },
       "stimulus time out of range"},
      {"input", [](Bytes& b) { PutWord(b, kFirstStimulusAt + 4u, 6u); }, "unknown input"},
      {"value of a door",
       [](Bytes& b) {
         PutWord(b, kFirstStimulusAt + 4u, 3u);
         PutWord(b, kFirstStimulusAt + 8u, 2u);
       },
       "stimulus value out of range"},
      {"decreasing time", [](Bytes& b) { PutWord(b, kFirstStimulusAt, 11u); },
       "stimulus times decrease"},
      {"extra bytes", [](Bytes& b) { b.insert(b.end(), 4u, 0u); }, "bytes after the end"},
  };
  for (const Damage& damage : damages) {
    Bytes bytes = good;
    damage.apply(bytes);
    EXPECT_EQ(Problem(bytes), damage.problem) << damage.what;
  }
}

}  // namespace
}  // namespace seatbelt_sim
