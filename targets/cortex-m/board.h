/*
 * Board support for Cortex-M programs on the MPS2 AN386 board as QEMU emulates it: start-up
 * code, and a console and exit through Arm semihosting (QEMU run with -semihosting-config).
 */
#ifndef TARGETS_CORTEX_M_BOARD_H
#define TARGETS_CORTEX_M_BOARD_H

#include <stddef.h>

#ifdef __cplusplus
#define BOARD_NORETURN [[noreturn]]
extern "C" {
#else
#define BOARD_NORETURN _Noreturn
#endif

/* Exit status when the core takes a fault or an exception nobody handles: the status a shell
 * reports for a program killed by SIGSEGV, so a runner sees an abnormal end. */
#define BOARD_FAULT_STATUS 139

/* Entered from the vector table at reset: prepares memory, runs the static constructors, calls
 * main and ends the program with main's result. */
void Reset_Handler(void);

/* Writes len bytes to the debugger's console: fd 1 is standard output, fd 2 standard error.
 * Returns the number of bytes written, or -1 for another fd. */
int Board_ConsoleWrite(int fd, const void* data, size_t len);

/* Ends the program: the emulator (or debugger) ends with this status, 0 to 255. */
BOARD_NORETURN void Board_Exit(int status);

/* Copies the command line the emulator (or debugger) passes to the program, program name first
 * and words separated by blanks, into buffer with a terminating 0 byte. Returns 0, or -1 (and
 * an empty buffer) when there is none or it does not fit in size bytes. */
int Board_CommandLine(char* buffer, size_t size);

/* The main stack: its size, and how many bytes of it the program has used so far, counted from
 * its top down to the deepest word that no longer holds the pattern painted over the whole
 * stack before main. */
size_t Board_StackSize(void);
size_t Board_StackUsed(void);

#ifdef __cplusplus
}
#endif

#endif /* TARGETS_CORTEX_M_BOARD_H */
