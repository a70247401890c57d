/* Drives the installed latch sensor interface through an unlatch and checks the result. */
#include <stdio.h>

#include "Seatbelt_Sensor_IF.h"
#include "my_runtime.h"

static void Tick(void) {
  g_time_ms += 10u;
  Seatbelt_Sensor_IF_10ms();
}

int main(void) {
  Tick();
  if (Rte_Read_SeatbeltLatchFiltered().value != 1u) {
    puts("latch_consumer: expected latched at start");
    return 1;
  }
  Seatbelt_Sensor_IF_SetRaw(0u);
  for (int i = 0; i < 6; ++i) { /* 60 ms: the calibrated unlatch time */
    Tick();
  }
  if (Rte_Read_SeatbeltLatchFiltered().value != 0u) {
    puts("latch_consumer: expected unlatched after 60 ms");
    return 1;
  }
  printf("latch_consumer: unlatched at %u ms, %u diagnostic reports\n", (unsigned)g_time_ms,
         (unsigned)MyRuntime_ReportCount());
  return 0;
}
