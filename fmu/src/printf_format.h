// Lets the compiler check the arguments of the FMU's printf-style functions. Their formats are
// those of C99 (%zu included), which the C++ library's printf family follows on every platform
// the FMU is built for; MinGW's compiler calls that form gnu_printf, its plain printf being the
// older one of the Microsoft runtime.
#ifndef FMU_PRINTF_FORMAT_H
#define FMU_PRINTF_FORMAT_H

#if defined(__MINGW32__)
#define FMU_PRINTF_FORMAT(format_index, first_argument) \
  __attribute__((format(gnu_printf, format_index, first_argument)))
#else
#define FMU_PRINTF_FORMAT(format_index, first_argument) \
  __attribute__((format(printf, format_index, first_argument)))
#endif

#endif  // FMU_PRINTF_FORMAT_H
