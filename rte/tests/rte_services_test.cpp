// The runtime-services layer rte_services: what components and hosts rely on.
#include <gtest/gtest.h>

#include <vector>

#include "Rte_Host.h"

namespace {

struct Report {
  uint16 eventId;
  uint8 status;
};

void RecordReport(uint16 eventId, uint8 eventStatus, void* context) {
  static_cast<std::vector<Report>*>(context)->push_back({eventId, eventStatus});
}

void RecordRequest(uint8 request, void* context) {
  static_cast<std::vector<uint8>*>(context)->push_back(request);
}

TEST(RteServices, SignalsReadAsNeverReceivedUntilTheirFirstUpdate) {
  EXPECT_EQ(Rte_Read_SeatbeltLatchFiltered().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(Rte_Read_OccupancyFiltered().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(Rte_Read_VehicleSpeed().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(Rte_Read_IgnitionState().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(Rte_Read_DoorClosed().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(Rte_Read_VehicleSpeed().value, 0u);

  EXPECT_EQ(Rte_Update_SeatbeltLatchFiltered(1u, 0u, 10u), E_OK);
  EXPECT_EQ(Rte_Update_OccupancyFiltered(OCC_OCCUPIED, 0u, 10u), E_OK);
  EXPECT_EQ(Rte_Update_VehicleSpeed(65535u, 0u, 10u), E_OK);
  EXPECT_EQ(Rte_Update_IgnitionState(7u, 3u, 10u), E_OK);  // stored as it comes
  EXPECT_EQ(Rte_Update_DoorClosed(0u, 0u, 10u), E_OK);

  EXPECT_EQ(Rte_Read_SeatbeltLatchFiltered().value, 1u);
  EXPECT_EQ(Rte_Read_OccupancyFiltered().value, OCC_OCCUPIED);
  EXPECT_EQ(Rte_Read_VehicleSpeed().value, 65535u);
  EXPECT_EQ(Rte_Read_IgnitionState().value, 7u);
  EXPECT_EQ(Rte_Read_IgnitionState().status, 3u);
  EXPECT_EQ(Rte_Read_DoorClosed().value, 0u);
  EXPECT_EQ(Rte_Read_DoorClosed().status, 0u);
}

TEST(RteServices, CalibrationStartsAtTheDefaultsAndTakesACopyOfANewRecord) {
  const SeatbeltCalibration_t* cal = NvM_GetCal();
  ASSERT_NE(cal, nullptr);
  EXPECT_EQ(cal->latch_debounce_ms, 50u);
  EXPECT_EQ(cal->unlatch_debounce_ms, 100u);
  EXPECT_EQ(cal->occ_debounce_ms, 300u);
  EXPECT_EQ(cal->speed_threshold, 25u);
  EXPECT_EQ(cal->door_grace_ms, RTEHOST_DEFAULT_DOOR_GRACE_MS);

  SeatbeltCalibration_t mine = {1u, 2u, 3u, 4u, 5u};
  RteHost_SetCalibration(&mine);
  mine.latch_debounce_ms = 99u;  // the layer keeps its own copy
  EXPECT_EQ(NvM_GetCal(), cal);  // same record, so pointers kept by components stay valid
  EXPECT_EQ(cal->latch_debounce_ms, 1u);
  EXPECT_EQ(cal->door_grace_ms, 5u);

  RteHost_SetCalibration(nullptr);  // ignored
  EXPECT_EQ(cal->occ_debounce_ms, 3u);
  EXPECT_EQ(RteHost_DefaultCalibration().occ_debounce_ms, 300u);
}

TEST(RteServices, WarningWritesAndDiagnosticReportsReachCountersAndListeners) {
  std::vector<uint8> requests;
  std::vector<Report> reports;
  RteHost_SetWarningListener(RecordRequest, &requests);
  RteHost_SetDemListener(RecordReport, &reports);

  EXPECT_EQ(RteHost_GetWarningRequest(), SBW_WARN_NONE);
  EXPECT_EQ(Rte_Write_SBW_WarningRequest(SBW_WARN_ACTIVE), E_OK);
  EXPECT_EQ(Rte_Write_SBW_WarningRequest(SBW_WARN_ACTIVE), E_OK);
  EXPECT_EQ(Dem_ReportErrorStatus(DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_FAILED), E_OK);

  EXPECT_EQ(RteHost_GetWarningRequest(), SBW_WARN_ACTIVE);
  EXPECT_EQ(RteHost_GetWarningWriteCount(), 2u);
  EXPECT_EQ(RteHost_GetDemReportCount(), 1u);
  EXPECT_EQ(requests, (std::vector<uint8>{SBW_WARN_ACTIVE, SBW_WARN_ACTIVE}));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].eventId, DEM_EVENT_LATCH_STUCK);
  EXPECT_EQ(reports[0].status, DEM_EVENT_STATUS_FAILED);

  RteHost_SetWarningListener(nullptr, nullptr);  // removed: counted, not called
  (void)Rte_Write_SBW_WarningRequest(SBW_WARN_NONE);
  EXPECT_EQ(requests.size(), 2u);
  EXPECT_EQ(RteHost_GetWarningWriteCount(), 3u);
}

TEST(RteServices, ResetReturnsToThePowerOnState) {
  std::vector<Report> reports;
  RteHost_SetDemListener(RecordReport, &reports);
  const SeatbeltCalibration_t other = {1u, 2u, 3u, 4u, 5u};
  RteHost_SetCalibration(&other);
  (void)Rte_Update_VehicleSpeed(30u, 0u, 10u);
  (void)Rte_Write_SBW_WarningRequest(SBW_WARN_ACTIVE);
  (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
  g_time_ms = 1230u;

  RteHost_Reset();

  EXPECT_EQ(g_time_ms, 0u);
  EXPECT_EQ(Rte_Read_VehicleSpeed().status, RTE_E_NEVER_RECEIVED);
  EXPECT_EQ(NvM_GetCal()->occ_debounce_ms, 300u);
  EXPECT_EQ(RteHost_GetWarningRequest(), SBW_WARN_NONE);
  EXPECT_EQ(RteHost_GetWarningWriteCount(), 0u);
  EXPECT_EQ(RteHost_GetDemReportCount(), 0u);
  (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_PASSED);
  EXPECT_EQ(reports.size(), 1u);  // the listener went with the reset
}

}  // namespace
