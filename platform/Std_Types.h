/* Platform types of the AUTOSAR manner, usable from C and C++. */
#ifndef PLATFORM_STD_TYPES_H
#define PLATFORM_STD_TYPES_H

#include <stdint.h>

typedef uint8_t uint8;
typedef uint16_t uint16;
typedef uint32_t uint32;
typedef int8_t sint8;
typedef int16_t sint16;
typedef int32_t sint32;
typedef float float32;
typedef double float64;

/* A truth value in one byte: 0 is false, 1 is true. */
typedef uint8 boolean;

#ifndef TRUE
#define TRUE 1u
#endif
#ifndef FALSE
#define FALSE 0u
#endif

typedef uint8 Std_ReturnType;
#define E_OK 0u
#define E_NOT_OK 1u

#endif /* PLATFORM_STD_TYPES_H */
