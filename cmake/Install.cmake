# Installs the component headers and static libraries, the runtime-services layer as a library
# of its own, and a CMake package, so another CMake project can
#   find_package(vehicle_components REQUIRED)
#   target_link_libraries(app PRIVATE vehicle_components::latch_sensor_if my_runtime_layer)
# The headers go to include/vehicle_components/, the platform types to its platform/ folder
# (see VC_INCLUDE_INSTALL_DIR in cmake/ProjectTargets.cmake).
include(CMakePackageConfigHelpers)

set(VC_PACKAGE ${PROJECT_NAME})
set(VC_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${VC_PACKAGE})

set(VC_INSTALL_TARGETS
  platform_types seatbelt_contract
  latch_sensor_if occupancy_sensor_if vehicle_state_if sbw_logic
  rte_services Hazardscope bootguard)
set(VC_INSTALL_HEADERS
  seatbelt/Rte_Seatbelt.h
  seatbelt/Seatbelt_Sensor_IF.h
  seatbelt/Occupancy_Sensor_IF.h
  seatbelt/VehicleState_IF.h
  seatbelt/SeatbeltWarning_Logic.h
  rte/Rte_Host.h
  instrument_cluster/Diagnostics/IC_RaceAnalysis.h
  engine_ecu/src/StartupMonitor.h)

# The tree links each of them by its installed name, so both must exist.
foreach(target IN LISTS VC_INSTALL_TARGETS)
  if(NOT TARGET ${target} OR NOT TARGET ${VC_PACKAGE}::${target})
    message(FATAL_ERROR "install: target ${target} or its alias ${VC_PACKAGE}::${target} "
      "(project_package_alias) is not defined")
  endif()
endforeach()

install(TARGETS ${VC_INSTALL_TARGETS}
  EXPORT ${VC_PACKAGE}Targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${VC_INSTALL_HEADERS} DESTINATION ${VC_INCLUDE_INSTALL_DIR})
install(FILES platform/Std_Types.h DESTINATION ${VC_PLATFORM_INCLUDE_INSTALL_DIR})
install(EXPORT ${VC_PACKAGE}Targets
  NAMESPACE ${VC_PACKAGE}::
  DESTINATION ${VC_CONFIG_DIR})

configure_package_config_file(cmake/${VC_PACKAGE}Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/${VC_PACKAGE}Config.cmake
  INSTALL_DESTINATION ${VC_CONFIG_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${VC_PACKAGE}ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/${VC_PACKAGE}Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/${VC_PACKAGE}ConfigVersion.cmake
  DESTINATION ${VC_CONFIG_DIR})
