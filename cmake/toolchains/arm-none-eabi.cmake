# Cross build for Arm Cortex-M4 (hard-float, single precision FPU) with the GNU Arm embedded
# toolchain and newlib-nano. Bare metal: the board support under targets/cortex-m provides the
# start-up code, the linker script and the console (semihosting).
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_ASM_COMPILER arm-none-eabi-gcc)

# Compiler checks cannot link a program without a board's start-up code and memory map.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CORTEX_M_CPU_FLAGS "-mcpu=cortex-m4 -mthumb -mfloat-abi=hard -mfpu=fpv4-sp-d16")
# One section per function and object so the linker drops what nothing calls; one stack-usage
# record (.su) and one call graph (.ci) per object for the footprint report.
set(CORTEX_M_COMMON_FLAGS
    "${CORTEX_M_CPU_FLAGS} -ffunction-sections -fdata-sections -fstack-usage -fcallgraph-info=su")
set(CMAKE_C_FLAGS_INIT "${CORTEX_M_COMMON_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${CORTEX_M_COMMON_FLAGS} -fno-exceptions -fno-rtti -fno-threadsafe-statics")
set(CMAKE_ASM_FLAGS_INIT "${CORTEX_M_CPU_FLAGS}")
# The board's own start-up code replaces crt0; newlib-nano keeps printf small.
set(CMAKE_EXE_LINKER_FLAGS_INIT "${CORTEX_M_CPU_FLAGS} --specs=nano.specs -nostartfiles -Wl,--gc-sections")

set(CMAKE_EXECUTABLE_SUFFIX_C .elf)
set(CMAKE_EXECUTABLE_SUFFIX_CXX .elf)

# Libraries and headers come from the toolchain's sysroot only, programs from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
