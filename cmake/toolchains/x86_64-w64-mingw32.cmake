# Cross build for 64-bit Windows with Debian's MinGW-w64 cross compiler, POSIX thread model
# (g++-mingw-w64-x86-64-posix: std::thread and std::mutex on winpthreads). Used for the Windows
# binaries of the FMUs and their test program, which runs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_AR ${MINGW_TRIPLET}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${MINGW_TRIPLET}-ranlib CACHE FILEPATH "Archive indexer")
set(CMAKE_NM ${MINGW_TRIPLET}-nm CACHE FILEPATH "Symbol lister")
set(CMAKE_OBJDUMP ${MINGW_TRIPLET}-objdump CACHE FILEPATH "Object file dumper")

# MinGW-w64 declares the POSIX thread-safe time functions (localtime_r) on request only.
set(CMAKE_C_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS")
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS")

# Everything the compiler brings is linked in (libgcc, libstdc++, winpthreads), so the binaries
# need no MinGW DLL beside them: only system DLLs (KERNEL32.dll, msvcrt.dll) on a plain Windows.
# The FMU libraries (MODULE) ship without the runtime libraries' debug sections (-s).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -s")

# Libraries and headers from the cross compiler's own tree only, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
