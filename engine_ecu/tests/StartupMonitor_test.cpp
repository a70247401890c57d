// Startup monitor record through its six operations. Each test case runs in its own process, so
// every case starts from the all-zero record of program start.
#include <gtest/gtest.h>

#include "StartupMonitor.h"

namespace {

// Field-by-field view of the record, so a failure names the field that differs.
void ExpectRecord(uint32 phase, uint32 error, uint32 boots, uint32 errors) {
  const StartupMonitor_t* r = StartupMonitor_GetStatus();
  EXPECT_EQ(phase, r->current_phase) << "current_phase";
  EXPECT_EQ(error, r->last_error) << "last_error";
  EXPECT_EQ(boots, r->boot_count) << "boot_count";
  EXPECT_EQ(errors, r->error_count) << "error_count";
  EXPECT_EQ(0u, r->last_reset_reason) << "last_reset_reason";
  EXPECT_EQ(0u, r->startup_timestamp) << "startup_timestamp";
}

TEST(StartupMonitor, RecordIsZeroAtProgramStartAndInitCountsBoots) {
  ExpectRecord(STARTUP_PHASE_INIT, STARTUP_ERROR_NONE, 0u, 0u);
  StartupMonitor_Init();
  StartupMonitor_Init();
  ExpectRecord(STARTUP_PHASE_INIT, STARTUP_ERROR_NONE, 2u, 0u);
}

TEST(StartupMonitor, NormalSequenceOnlyMovesThePhase) {
  StartupMonitor_Init();
  for (uint32 phase = STARTUP_PHASE_BSW_INIT; phase <= STARTUP_PHASE_RUNNING; phase++) {
    StartupMonitor_SetPhase(phase);
    ExpectRecord(phase, STARTUP_ERROR_NONE, 1u, 0u);
  }
  StartupMonitor_SetPhase(77u);  // stored unchecked
  ExpectRecord(77u, STARTUP_ERROR_NONE, 1u, 0u);
}

TEST(StartupMonitor, ErrorCountSurvivesReinitialisation) {
  StartupMonitor_Init();
  StartupMonitor_ReportError(STARTUP_ERROR_WATCHDOG_RESET);
  ExpectRecord(STARTUP_PHASE_ERROR, STARTUP_ERROR_WATCHDOG_RESET, 1u, 1u);
  StartupMonitor_Init();
  ExpectRecord(STARTUP_PHASE_INIT, STARTUP_ERROR_NONE, 2u, 1u);
}

TEST(StartupMonitor, ReportingNoneStillCountsAndEntersErrorPhase) {
  StartupMonitor_SetPhase(STARTUP_PHASE_APP_INIT);
  StartupMonitor_ReportError(STARTUP_ERROR_NONE);
  ExpectRecord(STARTUP_PHASE_ERROR, STARTUP_ERROR_NONE, 0u, 1u);
  StartupMonitor_ReportError(99u);  // out of range: stored and counted all the same
  ExpectRecord(STARTUP_PHASE_ERROR, 99u, 0u, 2u);
}

TEST(StartupMonitor, EmergencyRecoveryClearsTheErrorButKeepsCounters) {
  StartupMonitor_Init();
  StartupMonitor_ReportError(STARTUP_ERROR_FLASH_CRC_FAIL);
  StartupMonitor_EmergencyRecovery();
  ExpectRecord(STARTUP_PHASE_ERROR, STARTUP_ERROR_NONE, 1u, 1u);

  // Leaving ERROR through SetPhase keeps what the error left behind.
  StartupMonitor_ReportError(STARTUP_ERROR_STACK_OVERFLOW);
  StartupMonitor_SetPhase(STARTUP_PHASE_RUNNING);
  ExpectRecord(STARTUP_PHASE_RUNNING, STARTUP_ERROR_STACK_OVERFLOW, 1u, 2u);
}

TEST(StartupMonitor, StatusPointerIsTheLiveRecordBothWays) {
  StartupMonitor_t* status = StartupMonitor_GetStatus();
  EXPECT_EQ(status, StartupMonitor_GetStatus());

  status->last_reset_reason = 5u;
  status->startup_timestamp = 1234u;
  StartupMonitor_EmergencyRecovery();  // keeps both
  EXPECT_EQ(5u, status->last_reset_reason);
  EXPECT_EQ(1234u, status->startup_timestamp);

  status->boot_count = 0xFFFFFFFFu;
  status->error_count = 0xFFFFFFFFu;
  StartupMonitor_ReportError(STARTUP_ERROR_CLOCK_FAIL);
  StartupMonitor_Init();  // both counters wrap; reason and time stamp are cleared
  ExpectRecord(STARTUP_PHASE_INIT, STARTUP_ERROR_NONE, 0u, 0u);
}

TEST(StartupMonitor, CriticalChecksPassAndLeaveTheRecordAlone) {
  StartupMonitor_Init();
  StartupMonitor_SetPhase(STARTUP_PHASE_RTE_START);
  EXPECT_EQ(TRUE, StartupMonitor_CheckCriticalSystems());
  ExpectRecord(STARTUP_PHASE_RTE_START, STARTUP_ERROR_NONE, 1u, 0u);
}

}  // namespace
