/*
 * beltcheck: drives the latch and occupancy sensor interfaces through a fixed timeline of 10 ms
 * ticks, starting from their initial state, and checks their published values at four points.
 * A wrong value ends the program with the standard assertion report on stderr.
 *
 * The reports are known by file "beltcheck" and lines 29, 34, 41 and 43; a #line directive before
 * each check keeps them so whatever the layout of this source. The checks are the purpose of the
 * program, so they stay active in release builds too.
 */
/* cppcheck-suppress misra-c2012-20.5 ; MD-05 */
#undef NDEBUG
#include <assert.h>
#include <stdbool.h>
/* cppcheck-suppress misra-c2012-21.6 ; MD-01 */
#include <stdio.h>

#include "Occupancy_Sensor_IF.h"
#include "Rte_Seatbelt.h"
#include "Seatbelt_Sensor_IF.h"

/* One tick: advance the clock, then the latch interface, then the occupancy interface. */
static void RunTicks(uint32 ticks) {
  for (uint32 tick = 0u; tick < ticks; ++tick) {
    g_time_ms += 10u;
    Seatbelt_Sensor_IF_10ms();
    Occupancy_Sensor_IF_10ms();
  }
}

int main(void) {
  g_time_ms = 0u;
  Seatbelt_Sensor_IF_SetRaw(1u);
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  RunTicks(10u); /* 100 ms */

  /* A 40 ms unlatched glitch, then latched again. */
  Seatbelt_Sensor_IF_SetRaw(0u);
  RunTicks(4u); /* 140 ms */
  Seatbelt_Sensor_IF_SetRaw(1u);
  RunTicks(6u); /* 200 ms */
#line 29 "beltcheck"
  assert(Rte_Read_SeatbeltLatchFiltered().value == true);

  /* 500 ms unlatched must be enough to unlatch. */
  Seatbelt_Sensor_IF_SetRaw(0u);
  RunTicks(50u); /* 700 ms */
#line 34 "beltcheck"
  assert(Rte_Read_SeatbeltLatchFiltered().value == false);

  /* The seat empties: 200 ms are not enough to take it over, 300 ms are. */
  Occupancy_Sensor_IF_SetRaw(OCC_OCCUPIED);
  RunTicks(10u); /* 800 ms */
  Occupancy_Sensor_IF_SetRaw(OCC_EMPTY);
  RunTicks(20u); /* 1000 ms */
#line 41 "beltcheck"
  assert(Rte_Read_OccupancyFiltered().value == OCC_OCCUPIED);

  RunTicks(10u); /* 1100 ms */
#line 43 "beltcheck"
  assert(Rte_Read_OccupancyFiltered().value == OCC_EMPTY);

  (void)puts("All debounce tests passed");
  return 0;
}
