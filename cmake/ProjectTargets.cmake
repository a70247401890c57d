# Strict warnings for the project's own targets only; third-party code keeps its own flags.
function(project_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic $<$<BOOL:${VC_WARNINGS_AS_ERRORS}>:-Werror>
    -Wshadow -Wconversion -Wsign-conversion -Wcast-qual -Wformat=2 -Wundef
    $<$<COMPILE_LANGUAGE:CXX>:-Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual>
    $<$<COMPILE_LANGUAGE:C>:-Wstrict-prototypes -Wmissing-prototypes>)
endfunction()

# Declares a GoogleTest executable for the project's own tests. Each test case runs in its own
# process (gtest_discover_tests), so module state without a reset operation starts fresh.
function(project_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
  project_warnings(${target})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 30)
endfunction()

# Runs a program and compares its whole standard output with a file, its exit status with RC
# and, when STDERR is given, checks that standard error contains that text.
#   project_output_test(<test name> <program target> ARGS "<arguments>" EXPECTED <file>
#                       [RC <status>] [STDERR "<text>"])
function(project_output_test name program)
  cmake_parse_arguments(ARG "" "ARGS;EXPECTED;RC;STDERR" "" ${ARGN})
  if(NOT DEFINED ARG_RC)
    set(ARG_RC 0)
  endif()
  set(stderr_arg)
  if(DEFINED ARG_STDERR)
    set(stderr_arg "-DEXPECTED_STDERR=${ARG_STDERR}")
  endif()
  string(MAKE_C_IDENTIFIER "${name}" actual)
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> "-DARGS=${ARG_ARGS}"
      -DEXPECTED=${ARG_EXPECTED} -DEXPECTED_RC=${ARG_RC} ${stderr_arg}
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/${actual}.actual
      -P ${PROJECT_SOURCE_DIR}/cmake/ExpectOutput.cmake)
endfunction()

# A libFuzzer target, built only with clang and VC_BUILD_FUZZERS (the fuzz preset).
#   project_fuzzer(<target> SOURCES <files> LIBRARIES <libraries>)
function(project_fuzzer target)
  if(NOT (VC_BUILD_FUZZERS AND CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  project_warnings(${target})
endfunction()

# Each library of the installed package is known in the tree by the name an outside project
# links it by, vehicle_components::<target>, and the project's own programs and tests use that
# name too.
function(project_package_alias target)
  add_library(${PROJECT_NAME}::${target} ALIAS ${target})
endfunction()

# Where the package's headers install: a folder of the package's own below include/, so that
# they cannot clash with a platform's headers of the same name. The platform types go one folder
# further down, apart from the module headers (as platform/ is apart in the tree): a platform
# that brings its own Std_Types.h puts it on the include path, and the package's headers use it.
include(GNUInstallDirs)
set(VC_INCLUDE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/${PROJECT_NAME})
set(VC_PLATFORM_INCLUDE_INSTALL_DIR ${VC_INCLUDE_INSTALL_DIR}/platform)
