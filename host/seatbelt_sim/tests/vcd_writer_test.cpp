// The Value Change Dump writer of seatbelt_sim, in process.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "log_test_support.h"
#include "signal_log.h"
#include "vcd_reader.h"
#include "vcd_writer.h"

namespace seatbelt_sim {
namespace {

using seatbelt_sim_test::kVcdUnknown;
using seatbelt_sim_test::ReadFile;
using seatbelt_sim_test::ReadVcd;
using seatbelt_sim_test::Sample;
using seatbelt_sim_test::TempPath;
using seatbelt_sim_test::VcdFile;

TEST(SeatbeltSimVcd, DumpsInitialValuesThenChangesOnly) {
  const std::string path = TempPath("changes.vcd");
  VcdWriter vcd;
  const TickSample initial =
      Sample(0u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kLatchFilteredStatus, 0x84u}});
  ASSERT_TRUE(vcd.Open(path.c_str(), "scenario $end test", initial));
  vcd.Write(Sample(10u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}}));
  vcd.Write(Sample(20u, {{kLatchRaw, 1u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}}));  // no change
  vcd.Write(Sample(30u, {{kLatchRaw, 0u}, {kDoorRaw, 1u}, {kSpeedRaw, 30u}, {kDoorClosed, 2u}}));
  ASSERT_TRUE(vcd.Close(100u));

  const VcdFile file = ReadVcd(ReadFile(path));
  std::remove(path.c_str());
  ASSERT_EQ(file.error, "");
  EXPECT_EQ(file.timescale, "1 ms");
  EXPECT_EQ(file.scopes, std::vector<std::string>{"seatbelt"});
  ASSERT_EQ(file.vars.size(), static_cast<std::size_t>(kSignalCount));
  for (const SignalInfo& info : kSignalInfo) {
    ASSERT_EQ(file.vars.count(info.name), 1u) << info.name;
    EXPECT_EQ(file.vars.at(info.name).width, info.width) << info.name;
    EXPECT_EQ(file.vars.at(info.name).changes.front().first, 0u) << info.name << " not dumped";
  }
  EXPECT_EQ(file.last_time, 100u) << "the dump should reach the end of the run";

  using Changes = std::vector<std::pair<std::uint64_t, std::int64_t>>;
  EXPECT_EQ(file.vars.at("speed_raw").changes, (Changes{{0u, 0}, {10u, 30}}));
  EXPECT_EQ(file.vars.at("latch_raw").changes, (Changes{{0u, 1}, {30u, 0}}));
  EXPECT_EQ(file.vars.at("latch_filtered_status").changes, (Changes{{0u, 0x84}, {10u, 0}}));
  // A boolean holding 2 is shown as unknown, not as a 0 or 1 it does not hold.
  EXPECT_EQ(file.vars.at("door_closed").changes, (Changes{{0u, 0}, {30u, kVcdUnknown}}));
}

}  // namespace
}  // namespace seatbelt_sim
