# Installs the component headers and static libraries, the runtime-services layer as a library
# of its own, and a CMake package, so another CMake project can
#   find_package(vehicle_components REQUIRED)
#   target_link_libraries(app PRIVATE vehicle_components::latch_sensor_if my_runtime_layer)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VC_PACKAGE vehicle_components)
set(VC_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${VC_PACKAGE})

set(VC_INSTALL_TARGETS
  platform_types seatbelt_contract
  latch_sensor_if occupancy_sensor_if vehicle_state_if sbw_logic
  rte_services Hazardscope bootguard)
set(VC_INSTALL_HEADERS
  platform/Std_Types.h
  seatbelt/Rte_Seatbelt.h
  seatbelt/Seatbelt_Sensor_IF.h
  seatbelt/Occupancy_Sensor_IF.h
  seatbelt/VehicleState_IF.h
  seatbelt/SeatbeltWarning_Logic.h
  rte/Rte_Host.h
  instrument_cluster/Diagnostics/IC_RaceAnalysis.h
  engine_ecu/src/StartupMonitor.h)

foreach(target IN LISTS VC_INSTALL_TARGETS)
  if(NOT TARGET ${target})
    message(FATAL_ERROR "install: target ${target} is not defined")
  endif()
endforeach()

install(TARGETS ${VC_INSTALL_TARGETS}
  EXPORT ${VC_PACKAGE}Targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${VC_INSTALL_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
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
