/*
 * Plain C yardstick of one seatbelt tick; see baseline_chain.h.
 */
#include "baseline_chain.h"

#include <stdio.h>

#define TICK_MS 10u
#define TRACE_PERIOD_MS 100u
#define LATCH_STUCK_FAIL_MS 5000u
#define LATCH_STUCK_PASS_MS 5100u
#define SPEED_STUCK_FAIL_MS 10000u
#define SPEED_STUCK_PASS_MS 10100u

static uint8 raw_latch = 1u;
static boolean filtered_latch = TRUE;
static uint16 latch_timer_ms = 0u;
static uint16 unlatch_timer_ms = 0u;
static uint8 last_raw_latch = 1u;
static uint32 latch_same_ms = 0u;

static uint32 raw_occ = OCC_EMPTY;
static uint32 filtered_occ = OCC_EMPTY;
static uint16 occ_timer_ms = 0u;

static uint16 sim_speed = 0u;
static uint32 sim_ign = IGN_OFF;
static boolean sim_door_closed = TRUE;
static uint16 last_speed = 0u;
static uint32 speed_static_ms = 0u;

static uint32 door_grace_remaining = 0u;

void BaselineChain_SetInputs(uint8 latch_raw, uint32 occupancy_raw, uint16 speed,
                             boolean door_closed, uint32 ignition) {
  raw_latch = latch_raw;
  raw_occ = occupancy_raw;
  sim_speed = speed;
  sim_door_closed = door_closed;
  sim_ign = ignition;
}

void BaselineChain_Init(void) {
  door_grace_remaining = NvM_GetCal()->door_grace_ms;
}

static void VehicleState(void) {
  if (sim_speed == last_speed) {
    speed_static_ms += TICK_MS;
    if (speed_static_ms == SPEED_STUCK_FAIL_MS) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (speed_static_ms == SPEED_STUCK_PASS_MS) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_SPEED_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    speed_static_ms = 0u;
    last_speed = sim_speed;
  }
  (void)Rte_Update_VehicleSpeed(sim_speed, 0u, g_time_ms);
  (void)Rte_Update_IgnitionState(sim_ign, 0u, g_time_ms);
  (void)Rte_Update_DoorClosed(sim_door_closed, 0u, g_time_ms);
}

static void LatchSensor(void) {
  const SeatbeltCalibration_t* cal = NvM_GetCal();
  const uint8 raw = raw_latch;
  if (raw != 0u) {
    latch_timer_ms = (uint16)(latch_timer_ms + TICK_MS);
    unlatch_timer_ms = 0u;
    if (latch_timer_ms >= cal->latch_debounce_ms) {
      filtered_latch = TRUE;
    }
  } else {
    unlatch_timer_ms = (uint16)(unlatch_timer_ms + TICK_MS);
    latch_timer_ms = 0u;
    if (unlatch_timer_ms >= cal->unlatch_debounce_ms) {
      filtered_latch = FALSE;
    }
  }
  if (raw == last_raw_latch) {
    latch_same_ms += TICK_MS;
    if (latch_same_ms == LATCH_STUCK_FAIL_MS) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_FAILED);
    }
    if (latch_same_ms == LATCH_STUCK_PASS_MS) {
      (void)Dem_ReportErrorStatus(DEM_EVENT_LATCH_STUCK, DEM_EVENT_STATUS_PASSED);
    }
  } else {
    latch_same_ms = 0u;
    last_raw_latch = raw;
  }
  (void)Rte_Update_SeatbeltLatchFiltered(filtered_latch, 0u, g_time_ms);
}

static void OccupancySensor(void) {
  const SeatbeltCalibration_t* cal = NvM_GetCal();
  if (raw_occ == filtered_occ) {
    occ_timer_ms = 0u;
  } else {
    occ_timer_ms = (uint16)(occ_timer_ms + TICK_MS);
    if (occ_timer_ms >= cal->occ_debounce_ms) {
      filtered_occ = raw_occ;
      occ_timer_ms = 0u;
    }
  }
  (void)Rte_Update_OccupancyFiltered(filtered_occ, 0u, g_time_ms);
}

static void WarningLogic(void) {
  const SeatbeltCalibration_t* cal = NvM_GetCal();
  const Rte_SeatbeltLatchFiltered_t latch = Rte_Read_SeatbeltLatchFiltered();
  const Rte_OccupancyFiltered_t occ = Rte_Read_OccupancyFiltered();
  const Rte_VehicleSpeed_t speed = Rte_Read_VehicleSpeed();
  const Rte_IgnitionState_t ign = Rte_Read_IgnitionState();
  const Rte_DoorClosed_t door = Rte_Read_DoorClosed();
  if (door_grace_remaining != 0u) {
    if (door.value != FALSE && door.status == 0u) {
      door_grace_remaining = door_grace_remaining < TICK_MS ? 0u : door_grace_remaining - TICK_MS;
    } else {
      door_grace_remaining = cal->door_grace_ms;
    }
  }
  const uint8 request =
      (ign.value == IGN_ON && speed.value >= cal->speed_threshold && door_grace_remaining == 0u &&
       occ.status == 0u && occ.value == OCC_OCCUPIED && latch.status == 0u && latch.value == FALSE)
          ? (uint8)SBW_WARN_ACTIVE
          : (uint8)SBW_WARN_NONE;
  (void)Rte_Write_SBW_WarningRequest(request);
  const uint32 now_ms = g_time_ms;
  if (now_ms % TRACE_PERIOD_MS == 0u) {
    (void)printf("[TIME %5u] IGN=%d SPD=%u OCC=%d LATCH=%d DOOR=%d GRACE=%u WARN=%u\n",
                 (unsigned)now_ms, (int)ign.value, (unsigned)speed.value, (int)occ.value,
                 (int)latch.value, (int)door.value, (unsigned)door_grace_remaining,
                 (unsigned)request);
  }
}

void BaselineChain_10ms(void) {
  VehicleState();
  LatchSensor();
  OccupancySensor();
  WarningLogic();
}
