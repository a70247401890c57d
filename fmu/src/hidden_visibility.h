/* Forced first into every source of the FMU's copies of the component libraries (-include).
 * Every declaration after it is hidden, those of the other modules' functions and of g_time_ms
 * included: position-independent code then reaches them directly, as a program does, instead of
 * through the global offset table, since all of them end up in the same shared library. Only
 * for sources that call nothing outside the copies but printf, which the library wraps. */
#pragma GCC visibility push(hidden)
