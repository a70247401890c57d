// The CSV writer and the run record of the seatbelt simulation, in process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Rte_Seatbelt.h"
#include "growing_list.h"
#include "log_test_support.h"
#include "run_record.h"
#include "run_setup.h"
#include "signal_log.h"

namespace seatbelt_sim {
namespace {

using seatbelt_sim_test::ReadFile;
using seatbelt_sim_test::Sample;
using seatbelt_sim_test::TempPath;

TEST(SeatbeltSimCsv, WritesTheHeaderAndOneRowPerTick) {
  const std::string path = TempPath("rows.csv");
  CsvWriter csv;
  ASSERT_TRUE(csv.Open(path.c_str()));
  csv.Write(Sample(10u, {{kLatchRaw, 1u}, {kSpeedRaw, 65535u}, {kLatchFilteredStatus, 0x84u}}));
  // Same values, new time: the cached columns must come out unchanged.
  csv.Write(Sample(1000u, {{kLatchRaw, 1u}, {kSpeedRaw, 65535u}, {kLatchFilteredStatus, 0x84u}}));
  // A change in the last column only.
  csv.Write(Sample(12345670u, {{kLatchRaw, 1u},
                               {kSpeedRaw, 65535u},
                               {kLatchFilteredStatus, 0x84u},
                               {kWarningRequest, 2u}}));
  csv.Write(Sample(kMaxTimeMs, {{kOccupancyRaw, 4294967295u}}));
  ASSERT_TRUE(csv.Close());

  const std::string expected =
      "\"time\",\"latch_raw\",\"occupancy_raw\",\"speed_raw\",\"door_raw\",\"ignition_raw\","
      "\"latch_filtered\",\"latch_filtered_status\",\"occupancy_filtered\","
      "\"occupancy_filtered_status\",\"vehicle_speed\",\"vehicle_speed_status\","
      "\"ignition_state\",\"ignition_state_status\",\"door_closed\",\"door_closed_status\","
      "\"warning_request\"\n"
      "0.010,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,0\n"
      "1.000,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,0\n"
      "12345.670,1,0,65535,0,0,0,132,0,0,0,0,0,0,0,0,2\n"
      "4294967.290,0,4294967295,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n";
  EXPECT_EQ(ReadFile(path), expected);
  std::remove(path.c_str());
}

std::string Printed(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char chunk[256];
  std::size_t got = 0u;
  while ((got = std::fread(chunk, 1u, sizeof chunk, file)) > 0u) {
    text.append(chunk, got);
  }
  return text;
}

TEST(SeatbeltSimOutputFile, ReportsFilesThatCannotBeCreatedOrWritten) {
  std::FILE* messages = std::tmpfile();
  ASSERT_NE(messages, nullptr);
  CsvWriter csv;
  EXPECT_FALSE(csv.Open("/nonexistent/dir/out.csv"));
  csv.PrintError(messages, "prog");

  // More than the buffer holds, so the failure shows during the run as well as at the close.
  BufferedFile full;
  ASSERT_TRUE(full.Open("/dev/full"));
  const std::string block(100000u, 'x');
  full.Write(block.data(), block.size());
  EXPECT_FALSE(full.Close());
  full.PrintError(messages, "prog");

  EXPECT_EQ(Printed(messages),
            "prog: cannot create '/nonexistent/dir/out.csv': No such file or directory\n"
            "prog: cannot write '/dev/full': No space left on device\n");
  std::fclose(messages);
}

// --- run record ------------------------------------------------------------------------------

TEST(SeatbeltSimRunRecord, TurnsRequestChangesIntoIntervals) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  RunRecord record(out);
  record.OnWarningWrite(10u, SBW_WARN_NONE);  // written every tick; only changes count
  record.OnWarningWrite(20u, SBW_WARN_ACTIVE);
  record.OnWarningWrite(30u, SBW_WARN_ACTIVE);
  record.OnWarningWrite(40u, SBW_WARN_NONE);
  record.OnWarningWrite(50u, 1u);  // never written by the logic, but still a request
  record.OnWarningWrite(60u, SBW_WARN_ACTIVE);
  record.OnDemReport(70u, DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
  record.OnDemReport(80u, 0x2222u, 7u);
  record.PrintSummary(9u, 90u);

  EXPECT_TRUE(record.complete());
  ASSERT_EQ(record.warning_intervals().size(), 2u);
  EXPECT_EQ(record.warning_intervals()[0].start_ms, 20u);
  EXPECT_EQ(record.warning_intervals()[0].end_ms, std::optional<uint32>(40u));
  EXPECT_EQ(record.warning_intervals()[1].start_ms, 50u);
  EXPECT_FALSE(record.warning_intervals()[1].end_ms.has_value());

  EXPECT_EQ(Printed(out),
            "[SIM] t=20 ms: warning request 0 -> 2 (ACTIVE)\n"
            "[SIM] t=40 ms: warning request 2 -> 0 (NONE)\n"
            "[SIM] t=50 ms: warning request 0 -> 1 (UNEXPECTED)\n"
            "[SIM] t=60 ms: warning request 1 -> 2 (ACTIVE)\n"
            "[SIM] t=70 ms: diagnostic event 0x1004 SPEED_STUCK FAILED\n"
            "[SIM] t=80 ms: diagnostic event 0x2222 UNKNOWN status 7\n"
            "[SIM] --- summary ---\n"
            "[SIM] ticks run: 9 (last tick at 90 ms)\n"
            "[SIM] warning intervals: 2\n"
            "[SIM]   warning from 20 ms to 40 ms (20 ms)\n"
            "[SIM]   warning from 50 ms to the end (still active at 90 ms)\n"
            "[SIM] diagnostic reports: 2\n"
            "[SIM]   t=70 ms: diagnostic event 0x1004 SPEED_STUCK FAILED\n"
            "[SIM]   t=80 ms: diagnostic event 0x2222 UNKNOWN status 7\n");
  std::fclose(out);
}

TEST(SeatbeltSimGrowingList, KeepsItemsAcrossGrowthAndRefusesSizesBeyondMemory) {
  GrowingList<DemReport> list;
  for (uint32 i = 0u; i < 100u; ++i) {
    ASSERT_TRUE(list.Append({i, static_cast<uint16>(i), 1u}));
  }
  // A count whose bytes do not fit in a size_t must be refused, not wrapped to a small block.
  EXPECT_FALSE(list.Reserve(static_cast<std::size_t>(-1) / sizeof(DemReport) + 1u));
  ASSERT_EQ(list.size(), 100u);
  for (uint32 i = 0u; i < 100u; ++i) {
    EXPECT_EQ(list[i].time_ms, i);
  }
}

}  // namespace
}  // namespace seatbelt_sim
