/*
 * Start-up code: the vector table, the reset handler and one handler for every exception the
 * programs do not expect (faults included), which reports it and ends the program.
 */
#include <stdint.h>
#include <stdlib.h>

#include "board.h"

/* Defined by the linker script. */
extern uint32_t __data_load__[];
extern uint32_t __data_start__[];
extern uint32_t __data_end__[];
extern uint32_t __bss_start__[];
extern uint32_t __bss_end__[];
extern uint32_t __stack_top__[];
extern uint32_t __stack_limit__[];

typedef void (*Board_Handler_t)(void);
extern const Board_Handler_t __preinit_array_start[];
extern const Board_Handler_t __preinit_array_end[];
extern const Board_Handler_t __init_array_start[];
extern const Board_Handler_t __init_array_end[];

int main(void);

/* The C++ run time registers the destructors of static objects against this handle, which the
 * toolchain's start files (left out: the board has its own) would otherwise define. */
extern void* __dso_handle;
void* __dso_handle = NULL;

/* Painted over the unused stack before main; Board_StackUsed looks for the deepest word that
 * no longer holds it. */
#define BOARD_STACK_PAINT 0xDEADBEEFu

/* Coprocessor access control register: bits 20-23 grant access to CP10/CP11, the FPU. */
#define BOARD_CPACR (*(volatile uint32_t*)0xE000ED88u)
#define BOARD_CPACR_FPU_FULL_ACCESS (0xFu << 20)

static void Board_UnexpectedException(void);

/* The core reads the initial stack pointer and the handler addresses from here at reset. */
typedef struct {
  uint32_t* initialStack;
  Board_Handler_t handlers[15]; /* exceptions 1 (reset) to 15 (SysTick) */
} Board_VectorTable_t;

__attribute__((used, section(".isr_vector"))) static const Board_VectorTable_t board_vectors = {
    __stack_top__,
    {
        Reset_Handler, Board_UnexpectedException, /* NMI */
        Board_UnexpectedException,                /* HardFault */
        Board_UnexpectedException,                /* MemManage */
        Board_UnexpectedException,                /* BusFault */
        Board_UnexpectedException,                /* UsageFault */
        NULL, NULL, NULL, NULL,                   /* reserved */
        Board_UnexpectedException,                /* SVCall */
        Board_UnexpectedException,                /* DebugMonitor */
        NULL,                                     /* reserved */
        Board_UnexpectedException,                /* PendSV */
        Board_UnexpectedException,                /* SysTick */
    }};

static void Board_RunAll(const Board_Handler_t* first, const Board_Handler_t* last) {
  for (const Board_Handler_t* fn = first; fn < last; ++fn) {
    (*fn)();
  }
}

/* Paints the stack below the current stack pointer, the part no function has used yet. */
static void Board_PaintStack(void) {
  uint32_t* stackPointer;
  __asm__ volatile("mov %0, sp" : "=r"(stackPointer));
  for (uint32_t* word = __stack_limit__; word < stackPointer; ++word) {
    *word = BOARD_STACK_PAINT;
  }
}

size_t Board_StackSize(void) {
  const ptrdiff_t words = __stack_top__ - __stack_limit__;
  return (size_t)words * sizeof(uint32_t);
}

size_t Board_StackUsed(void) {
  const uint32_t* word = __stack_limit__;
  while ((word < __stack_top__) && (*word == BOARD_STACK_PAINT)) {
    ++word;
  }
  const ptrdiff_t words = __stack_top__ - word;
  return (size_t)words * sizeof(uint32_t);
}

void Reset_Handler(void) {
#if defined(__ARM_FP)
  /* Compiled for the FPU: enable it before any code can use a floating-point register. */
  BOARD_CPACR |= BOARD_CPACR_FPU_FULL_ACCESS;
  __asm__ volatile("dsb\n\tisb" ::: "memory");
#endif
  const uint32_t* src = __data_load__;
  for (uint32_t* dst = __data_start__; dst < __data_end__; ++dst) {
    *dst = *src;
    ++src;
  }
  for (uint32_t* dst = __bss_start__; dst < __bss_end__; ++dst) {
    *dst = 0u;
  }
  Board_PaintStack();
  Board_RunAll(__preinit_array_start, __preinit_array_end);
  Board_RunAll(__init_array_start, __init_array_end);
  /* exit, not Board_Exit: the C library flushes standard output first. */
  exit(main());
}

static void Board_UnexpectedException(void) {
  uint32_t exception;
  __asm__ volatile("mrs %0, ipsr" : "=r"(exception));
  char message[] = "board: unexpected exception 00\n";
  const size_t digits = sizeof(message) - 4u; /* index of the tens digit */
  message[digits] = (char)('0' + ((exception / 10u) % 10u));
  message[digits + 1u] = (char)('0' + (exception % 10u));
  (void)Board_ConsoleWrite(2, message, sizeof(message) - 1u);
  Board_Exit(BOARD_FAULT_STATUS);
}
