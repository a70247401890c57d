/*
 * Board self-test: checks what the start-up code promises (initialised data copied, zeroed data
 * cleared, static constructors run, FPU usable, both console streams working), then ends in the
 * way its build selects, so a runner can check that each ending reaches the host as the right
 * exit status:
 *   BOARD_SELFTEST_PASS   return 0 from main, with unflushed output: status 0
 *   BOARD_SELFTEST_EXIT3  exit(3): status 3
 *   BOARD_SELFTEST_ABORT  a failed assertion: report on stderr, status 134
 *   BOARD_SELFTEST_FAULT  an undefined instruction: fault report on stderr, status 139
 *   BOARD_SELFTEST_HANG   never ends: only the runner's time limit stops it
 */
#undef NDEBUG
#include <assert.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

static volatile uint32_t initialised = 0x5EA7BE17u;
static volatile uint32_t zeroed[4];
static volatile uint32_t constructed;
/* A float the compiler cannot fold, so the arithmetic runs on the FPU. */
static volatile float divisor = 4.0f;

__attribute__((constructor)) static void SelfTest_Construct(void) {
  constructed = initialised;
}

static int SelfTest_Check(int ok, const char* what) {
  if (!ok) {
    (void)fprintf(stderr, "board self-test: %s FAILED\n", what);
  }
  return ok ? 0 : 1;
}

int main(void) {
  int failures = 0;
  failures += SelfTest_Check(initialised == 0x5EA7BE17u, "initialised data");
  failures += SelfTest_Check((zeroed[0] | zeroed[1] | zeroed[2] | zeroed[3]) == 0u, "zeroed data");
  failures += SelfTest_Check(constructed == 0x5EA7BE17u, "static constructor");
  failures += SelfTest_Check((int)(10.0f / divisor * 2.0f) == 5, "floating point");
  (void)fputs("board self-test: stderr\n", stderr);
  if (failures != 0) {
    return 1;
  }
  (void)puts("board self-test: startup ok");

#if defined(BOARD_SELFTEST_PASS)
  /* No newline: only the C library's flush at exit gets this line out. */
  (void)printf("board self-test: pass");
  return 0;
#elif defined(BOARD_SELFTEST_EXIT3)
  exit(3);
#elif defined(BOARD_SELFTEST_ABORT)
  assert(divisor == 0.0f);
  return 0;
#elif defined(BOARD_SELFTEST_FAULT)
  __asm__ volatile("udf #0");
  return 0;
#elif defined(BOARD_SELFTEST_HANG)
  for (;;) {
    __asm__ volatile("nop");
  }
#else
#error "select an ending: BOARD_SELFTEST_PASS, _EXIT3, _ABORT, _FAULT or _HANG"
#endif
}
