/*
 * Console, files on the host, the command line and program exit through Arm semihosting, and
 * the system calls of the C library (newlib) on top of them. A semihosting call is a BKPT 0xAB
 * with the operation in r0 and its argument (usually the address of a parameter block) in r1;
 * the debugger or emulator performs it on the host and puts the result in r0.
 */
#include <errno.h>
#include <fcntl.h>
#include <stdbool.h>
#include <stdint.h>
#include <string.h>
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
int _open(const char* path, int flags, ...);
int _read(int fd, void* buf, size_t len);
void* _sbrk(ptrdiff_t increment);
int _write(int fd, const void* buf, size_t len);

/* Operation numbers. */
#define SEMIHOST_SYS_OPEN 0x01u
#define SEMIHOST_SYS_CLOSE 0x02u
#define SEMIHOST_SYS_WRITE 0x05u
#define SEMIHOST_SYS_READ 0x06u
#define SEMIHOST_SYS_ERRNO 0x13u
#define SEMIHOST_SYS_GET_CMDLINE 0x15u
#define SEMIHOST_SYS_EXIT 0x18u
#define SEMIHOST_SYS_EXIT_EXTENDED 0x20u

/* Exit reasons. The plain exit call of 32-bit Arm carries only the reason, so a host can tell
 * success (ApplicationExit, status 0) from failure but not which status: QEMU turns every other
 * reason into 1. The extended exit call carries the status itself. */
#define SEMIHOST_ADP_STOPPED_APPLICATION_EXIT 0x20026u
#define SEMIHOST_ADP_STOPPED_RUN_TIME_ERROR 0x20023u

/* SYS_OPEN modes of the special file ":tt", the host console: "w" is standard output, "a"
 * standard error. Files on the host are opened in binary modes: "rb", "r+b", "wb", "w+b", "ab",
 * "a+b". */
#define SEMIHOST_MODE_W 4u
#define SEMIHOST_MODE_A 8u
#define SEMIHOST_MODE_RB 1u
#define SEMIHOST_MODE_RPLUSB 3u
#define SEMIHOST_MODE_WB 5u
#define SEMIHOST_MODE_WPLUSB 7u
#define SEMIHOST_MODE_AB 9u
#define SEMIHOST_MODE_APLUSB 11u

/* Handle not yet opened, or a failed call; real handles are small non-negative numbers. */
#define SEMIHOST_NO_HANDLE 0xFFFFFFFFu

/* Files on the host that a program may hold open at once. They are the C library's file
 * descriptors 3 and up; 0 to 2 are the console. */
#define BOARD_MAX_FILES 4
#define BOARD_FIRST_FILE_FD 3

/* Linker script symbols: the heap runs from the end of .bss to the bottom of the stack. */
extern char __heap_start__[];
extern char __stack_limit__[];

static uint32_t file_handles[BOARD_MAX_FILES] = {SEMIHOST_NO_HANDLE, SEMIHOST_NO_HANDLE,
                                                 SEMIHOST_NO_HANDLE, SEMIHOST_NO_HANDLE};

static uint32_t Semihost_Call(uint32_t operation, const void* argument) {
  register uint32_t r0 __asm__("r0") = operation;
  register const void* r1 __asm__("r1") = argument;
  __asm__ volatile("bkpt 0xab" : "+r"(r0) : "r"(r1) : "memory");
  return r0;
}

/* The host's errno of the last failed call, as the C library's errno. Host and board number the
 * common errors alike (ENOENT 2, EACCES 13, ENOSPC 28, ...). QEMU keeps none for a failed read
 * or write; EIO stands for it then. */
static void Semihost_SetErrno(void) {
  const uint32_t hostErrno = Semihost_Call(SEMIHOST_SYS_ERRNO, NULL);
  errno = (hostErrno != 0u) ? (int)hostErrno : EIO;
}

/* The slot of a file descriptor in file_handles, or -1 when fd is no open file. */
static int Semihost_FileSlot(int fd) {
  int slot = -1;
  if ((fd >= BOARD_FIRST_FILE_FD) && (fd < (BOARD_FIRST_FILE_FD + BOARD_MAX_FILES))) {
    if (file_handles[fd - BOARD_FIRST_FILE_FD] != SEMIHOST_NO_HANDLE) {
      slot = fd - BOARD_FIRST_FILE_FD;
    }
  }
  return slot;
}

/* The SYS_OPEN mode for open()'s flags. */
static uint32_t Semihost_OpenMode(int flags) {
  const int access = flags & O_ACCMODE;
  const bool readWrite = (access == O_RDWR);
  uint32_t mode;
  if (((unsigned int)flags & (unsigned int)O_APPEND) != 0u) {
    mode = SEMIHOST_MODE_AB;
    if (readWrite) {
      mode = SEMIHOST_MODE_APLUSB;
    }
  } else if (((unsigned int)flags & (unsigned int)O_TRUNC) != 0u) {
    mode = SEMIHOST_MODE_WB;
    if (readWrite) {
      mode = SEMIHOST_MODE_WPLUSB;
    }
  } else if (access == O_RDONLY) {
    mode = SEMIHOST_MODE_RB;
  } else {
    mode = SEMIHOST_MODE_RPLUSB;
  }
  return mode;
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

int Board_CommandLine(char* buffer, size_t size) {
  int result = -1;
  uint32_t block[2] = {(uint32_t)(uintptr_t)buffer, (uint32_t)size};
  if ((buffer != NULL) && (size > 0u)) {
    /* On success the host has written the line and its terminating 0 byte. */
    if (Semihost_Call(SEMIHOST_SYS_GET_CMDLINE, block) == 0u) {
      result = 0;
    } else {
      buffer[0] = '\0';
    }
  }
  return result;
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

/* A file on the host, through the emulator or debugger; the path is the host's (relative paths
 * start at its working directory). Files are created with the host's default permissions, so
 * the mode argument is not read. */
int _open(const char* path, int flags, ...) {
  int fd = -1;
  int slot = 0;
  while ((slot < BOARD_MAX_FILES) && (file_handles[slot] != SEMIHOST_NO_HANDLE)) {
    ++slot;
  }
  if (slot == BOARD_MAX_FILES) {
    errno = EMFILE;
  } else {
    const uint32_t block[3] = {(uint32_t)(uintptr_t)path, Semihost_OpenMode(flags),
                               (uint32_t)strlen(path)};
    const uint32_t handle = Semihost_Call(SEMIHOST_SYS_OPEN, block);
    if (handle == SEMIHOST_NO_HANDLE) {
      Semihost_SetErrno();
    } else {
      file_handles[slot] = handle;
      fd = BOARD_FIRST_FILE_FD + slot;
    }
  }
  return fd;
}

int _write(int fd, const void* buf, size_t len) {
  int written = -1;
  const int slot = Semihost_FileSlot(fd);
  if (slot >= 0) {
    const uint32_t block[3] = {file_handles[slot], (uint32_t)(uintptr_t)buf, (uint32_t)len};
    /* The call returns how many bytes it did not write. */
    const uint32_t notWritten = Semihost_Call(SEMIHOST_SYS_WRITE, block);
    if ((len > 0u) && (notWritten == (uint32_t)len)) {
      Semihost_SetErrno();
    } else {
      const size_t count = len - (size_t)notWritten;
      written = (int)count;
    }
  } else {
    written = Board_ConsoleWrite(fd, buf, len);
    if (written < 0) {
      errno = EBADF;
    }
  }
  return written;
}

/* Standard input is always at its end: the programs read only files. */
int _read(int fd, void* buf, size_t len) {
  int got = -1;
  const int slot = Semihost_FileSlot(fd);
  if (slot >= 0) {
    const uint32_t block[3] = {file_handles[slot], (uint32_t)(uintptr_t)buf, (uint32_t)len};
    /* The call returns how many bytes it did not read: len at the end of the file. */
    const uint32_t notRead = Semihost_Call(SEMIHOST_SYS_READ, block);
    if (notRead > (uint32_t)len) {
      Semihost_SetErrno();
    } else {
      const size_t count = len - (size_t)notRead;
      got = (int)count;
    }
  } else if (fd == 0) {
    got = 0;
  } else {
    errno = EBADF;
  }
  return got;
}

int _close(int fd) {
  int result = 0;
  const int slot = Semihost_FileSlot(fd);
  if (slot >= 0) {
    const uint32_t block[1] = {file_handles[slot]};
    file_handles[slot] = SEMIHOST_NO_HANDLE;
    if (Semihost_Call(SEMIHOST_SYS_CLOSE, block) != 0u) {
      Semihost_SetErrno();
      result = -1;
    }
  }
  return result;
}

int _isatty(int fd) {
  return ((fd >= 0) && (fd <= 2)) ? 1 : 0;
}

int _fstat(int fd, struct stat* st) {
  int result = 0;
  if (_isatty(fd) != 0) {
    st->st_mode = S_IFCHR;
  } else if (Semihost_FileSlot(fd) >= 0) {
    st->st_mode = S_IFREG;
  } else {
    errno = EBADF;
    result = -1;
  }
  return result;
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
