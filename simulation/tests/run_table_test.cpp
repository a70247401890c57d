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

Bytes Written(const RunSetup& run, const char* csv_path, const char* junit_path = nullptr) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(WriteRunTable(run, csv_path, junit_path, file));
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

// Every window, with and without a requirement; texts of two paddings.
const std::vector<Expectation> kExpectations = {
    {7u, kWarningRequest, CompareOp::kEqual, Window::kDuring, 2u, 15u, 30u, "e1", "R-1.a_b"},
    {3u, kSpeedStuck, CompareOp::kGreaterEqual, Window::kAlways, 1u, 0u, 0u, "exp", nullptr},
    {9u, kVehicleSpeed, CompareOp::kLess, Window::kAt, 65535u, kMaxTimeMs, kMaxTimeMs, "e", "x"},
    {1u, kDoorClosedStatus, CompareOp::kNotEqual, Window::kWithin, 255u, 0u, 10u, "ab", nullptr},
};

RunSetup Example() {
  RunSetup run;
  run.name = "scenarios/a b.txt";
  run.calibration = {0u, 1u, 300u, 25u, 65535u};
  run.ticks = kMaxTimeMs / kTickMs;
  run.stimuli = kStimuli.data();
  run.stimulus_count = kStimuli.size();
  run.expectations = kExpectations.data();
  run.expectation_count = kExpectations.size();
  return run;
}

TEST(SeatbeltSimRunTable, ReadsBackWhatWasWritten) {
  for (const char* csv_path : {static_cast<const char*>(nullptr), "out dir/run.csv"}) {
    const Bytes bytes = Written(Example(), csv_path, csv_path == nullptr ? "j.xml" : nullptr);
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
      EXPECT_STREQ(table.junit_path(), "j.xml");
    } else {
      EXPECT_STREQ(table.csv_path(), csv_path);
      EXPECT_EQ(table.junit_path(), nullptr);
    }
    ASSERT_EQ(run.expectation_count, kExpectations.size());
    for (std::size_t i = 0u; i < kExpectations.size(); ++i) {
      const Expectation& got = run.expectations[i];
      const Expectation& want = kExpectations[i];
      EXPECT_EQ(got.line, want.line);
      EXPECT_EQ(got.signal, want.signal);
      EXPECT_EQ(got.op, want.op);
      EXPECT_EQ(got.window, want.window);
      EXPECT_EQ(got.value, want.value);
      EXPECT_EQ(got.from_ms, want.from_ms);
      EXPECT_EQ(got.to_ms, want.to_ms);
      EXPECT_STREQ(got.text, want.text);
      EXPECT_STREQ(got.id == nullptr ? "(none)" : got.id, want.id == nullptr ? "(none)" : want.id);
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
  // The expectations follow the stimuli and their count; the table ends with the JUnit flag.
  RunSetup without = Example();
  without.expectation_count = 0u;
  const std::size_t expectation_at = Written(without, nullptr).size() - 4u;
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
      {"version", [](Bytes& b) { PutWord(b, 4u, kRunTableVersion + 1u); },
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
      {"JUnit flag", [](Bytes& b) { PutWord(b, b.size() - 4u, 2u); }, "bad JUnit flag"},
  };
  for (const Damage& damage : damages) {
    Bytes bytes = good;
    damage.apply(bytes);
    EXPECT_EQ(Problem(bytes), damage.problem) << damage.what;
  }
  // Words of the first expectation: line, signal, operator, window, value, from, to.
  const struct {
    std::size_t word;
    unsigned value;
    const char* problem;
  } bad_expectations[] = {
      {1u, kJudgedSignalCount, "bad expectation"},
      {2u, kCompareOpCount, "bad expectation"},
      {3u, kWindowCount, "bad expectation"},
      {4u, 256u, "bad expectation"},             // warning_request is at most 255
      {5u, 31u, "expectation outside the run"},  // 31..30 holds no tick
  };
  for (const auto& bad : bad_expectations) {
    Bytes bytes = good;
    PutWord(bytes, expectation_at + 4u * bad.word, bad.value);
    EXPECT_EQ(Problem(bytes), bad.problem) << "expectation word " << bad.word;
  }
}

}  // namespace
}  // namespace seatbelt_sim
