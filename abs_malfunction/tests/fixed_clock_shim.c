/*
 * Link-time stand-ins for the program's clock and pacing, so a whole run is reproducible and
 * takes no time. The program is linked with --wrap=time --wrap=usleep, which sends its calls
 * here. The calendar time is fixed, which fixes the generator's seed; every pause returns at
 * once and is counted, and the count is reported on standard error at exit so the output on
 * standard output stays exactly the program's.
 */
#define _DEFAULT_SOURCE /* useconds_t */

#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

/* Seconds since the epoch handed to the program; any fixed value gives a fixed run. */
#define kFixedCalendarTime ((time_t)1700000000)

time_t __wrap_time(time_t* tloc);
int __wrap_usleep(useconds_t usec);

static unsigned long s_PauseCount;
static unsigned long long s_PauseTotalUs;
static int s_ReportRegistered;

static void ReportPauses(void) {
  fprintf(stderr, "pauses: %lu, total %llu us\n", s_PauseCount, s_PauseTotalUs);
}

time_t __wrap_time(time_t* tloc) {
  if (tloc != NULL) {
    *tloc = kFixedCalendarTime;
  }
  return kFixedCalendarTime;
}

int __wrap_usleep(useconds_t usec) {
  if (!s_ReportRegistered) {
    s_ReportRegistered = 1;
    (void)atexit(ReportPauses);
  }
  s_PauseCount++;
  s_PauseTotalUs += usec;
  return 0;
}
