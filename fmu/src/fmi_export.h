// Marks the FMI functions, and only those, for export from the shared library. Everything else
// is compiled hidden, and the version script localizes whatever the linked libraries bring.
#ifndef FMU_FMI_EXPORT_H
#define FMU_FMI_EXPORT_H

#if defined(_WIN32)
#define FMU_EXPORT extern "C" __declspec(dllexport)
#else
#define FMU_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif  // FMU_FMI_EXPORT_H
