/*
 * This host's platform types, as an ECU project's platform brings them. The package's headers
 * include "Std_Types.h" by name and find this one, because the folder of this file comes before
 * the package's folders on the include path (see CMakeLists.txt); the package's own copy is then
 * never read. The widths must be those the package's libraries were built with (checked in
 * main.c).
 */
#ifndef STD_TYPES_H
#define STD_TYPES_H

typedef unsigned char uint8;
typedef unsigned short uint16;
typedef unsigned int uint32;
typedef float float32;
typedef uint8 boolean;

#define TRUE ((boolean)1)
#define FALSE ((boolean)0)

typedef uint8 Std_ReturnType;
#define E_OK ((Std_ReturnType)0x00u)
#define E_NOT_OK ((Std_ReturnType)0x01u)

/* Levels of a digital input. */
#define STD_HIGH 0x01u
#define STD_LOW 0x00u

#endif /* STD_TYPES_H */
