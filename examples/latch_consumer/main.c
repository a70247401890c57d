/* Drives the installed latch sensor interface through an unlatch and checks the result. */
#include <stdio.h>

#include "Seatbelt_Sensor_IF.h"
#include "my_runtime.h"

/* The package's libraries were built with 8-, 16- and 32-bit integers and a one-byte boolean;
 * the platform's types must agree. */
_Static_assert(sizeof(uint8) == 1u && sizeof(uint16) == 2u && sizeof(uint32) == 4u &&
                   sizeof(boolean) == 1u,
               "platform types of the widths the package was built with");

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
  /* The latch input reads low: unlatched. */
  Seatbelt_Sensor_IF_SetRaw(STD_LOW);
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
