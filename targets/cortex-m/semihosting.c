/*
 * Console and program exit through Arm semihosting, and the system calls of the C library
 * (newlib) on top of them. A semihosting call is a BKPT 0xAB with the operation in r0 and its
 * argument (usually the address of a parameter block) in r1; the debugger or emulator performs
 * it on the host and puts the result in r0.
 */
#include <errno.h>
#include <stdint.h>
#include <sys/stat.h>
#include <unistd.h>

#include "board.h"

/* The C library's system-call layer; newlib declares these only for its own build. */
int _close(int fd);
int _fstat(int fd, struct stat* st);
int _getpid(void);
int _isatty(int fd);
int _kill(int pid, int sig);
int _lseek(int fd, int offset, int whence);
int _read(int fd, void* buf, size_t len);
void* _sbrk(ptrdiff_t increment);
int _write(int fd, const void* buf, size_t len);

/* Operation numbers. */
#define SEMIHOST_SYS_OPEN 0x01u
#define SEMIHOST_SYS_WRITE 0x05u
#define SEMIHOST_SYS_EXIT 0x18u
#define SEMIHOST_SYS_EXIT_EXTENDED 0x20u

/* Exit reasons. The plain exit call of 32-bit Arm carries only the reason, so a host can tell
 * success (ApplicationExit, status 0) from failure but not which status: QEMU turns every other
 * reason into 1. The extended exit call carries the status itself. */
#define SEMIHOST_ADP_STOPPED_APPLICATION_EXIT 0x20026u
#define SEMIHOST_ADP_STOPPED_RUN_TIME_ERROR 0x20023u

/* SYS_OPEN modes of the special file ":tt", the host console: "w" is standard output, "a"
 * standard error. */
#define SEMIHOST_MODE_W 4u
#define SEMIHOST_MODE_A 8u

/* Handle not yet opened; real handles are small non-negative numbers. */
#define SEMIHOST_NO_HANDLE 0xFFFFFFFFu

/* Linker script symbols: the heap runs from the end of .bss to the bottom of the stack. */
extern char __heap_start__[];
extern char __stack_limit__[];

static uint32_t Semihost_Call(uint32_t operation, const void* argument) {
  register uint32_t r0 __asm__("r0") = operation;
  register const void* r1 __asm__("r1") = argument;
  __asm__ volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
  return r0;
}

/* The console handle behind fd 1 or 2, opened on first use. */
static uint32_t Semihost_ConsoleHandle(int fd) {
  static uint32_t console_handles[3] = {SEMIHOST_NO_HANDLE, SEMIHOST_NO_HANDLE, SEMIHOST_NO_HANDLE};
  const uint32_t index = (uint32_t)fd;
  if (console_handles[index] == SEMIHOST_NO_HANDLE) {
    static const char kConsole[] = ":tt";
    const uint32_t block[3] = {(uint32_t)(uintptr_t)kConsole,
                               (fd == 1) ? SEMIHOST_MODE_W : SEMIHOST_MODE_A,
                               (uint32_t)(sizeof(kConsole) - 1u)};
    console_handles[index] = Semihost_Call(SEMIHOST_SYS_OPEN, block);
  }
  return console_handles[index];
}

int Board_ConsoleWrite(int fd, const void* data, size_t len) {
  if ((fd != 1) && (fd != 2)) {
    return -1;
  }
  const uint32_t handle = Semihost_ConsoleHandle(fd);
  if (handle == SEMIHOST_NO_HANDLE) {
    return -1;
  }
  const uint32_t block[3] = {handle, (uint32_t)(uintptr_t)data, (uint32_t)len};
  /* The call returns how many bytes it did not write. */
  const uint32_t notWritten = Semihost_Call(SEMIHOST_SYS_WRITE, block);
  const size_t written = len - notWritten;
  return (int)written;
}

_Noreturn void Board_Exit(int status) {
  const uint32_t block[2] = {SEMIHOST_ADP_STOPPED_APPLICATION_EXIT, (uint32_t)status};
  (void)Semihost_Call(SEMIHOST_SYS_EXIT_EXTENDED, block);
  /* Only a host without the extended call gets here: it can still tell failure from success. */
  (void)Semihost_Call(
      SEMIHOST_SYS_EXIT,
      (const void*)(uintptr_t)((status == 0) ? SEMIHOST_ADP_STOPPED_APPLICATION_EXIT
                                             : SEMIHOST_ADP_STOPPED_RUN_TIME_ERROR));
  for (;;) {
    __asm__ volatile("bkpt 0");
  }
}

void _exit(int status) {
  Board_Exit(status);
}

/* abort() and a failed assert() end here through raise(): end the program with the status a
 * shell reports for a program killed by that signal (134 for SIGABRT), never with 0. */
int _kill(int pid, int sig) {
  (void)pid;
  Board_Exit(128 + sig);
}

int _getpid(void) {
  return 1;
}

int _write(int fd, const void* buf, size_t len) {
  const int written = Board_ConsoleWrite(fd, buf, len);
  if (written < 0) {
    errno = EBADF;
  }
  return written;
}

/* The programs read no input: standard input is always at its end. */
int _read(int fd, void* buf, size_t len) {
  (void)buf;
  (void)len;
  if (fd != 0) {
    errno = EBADF;
    return -1;
  }
  return 0;
}

int _close(int fd) {
  (void)fd;
  return 0;
}

int _isatty(int fd) {
  return ((fd >= 0) && (fd <= 2)) ? 1 : 0;
}

int _fstat(int fd, struct stat* st) {
  if (!_isatty(fd)) {
    errno = EBADF;
    return -1;
  }
  st->st_mode = S_IFCHR;
  return 0;
}

int _lseek(int fd, int offset, int whence) {
  (void)fd;
  (void)offset;
  (void)whence;
  errno = ESPIPE;
  return -1;
}

void* _sbrk(ptrdiff_t increment) {
  static char* heap_end = __heap_start__;
  if ((increment > (__stack_limit__ - heap_end)) || (increment < (__heap_start__ - heap_end))) {
    errno = ENOMEM;
    return (void*)-1;
  }
  char* const previous = heap_end;
  heap_end += increment;
  return previous;
}
