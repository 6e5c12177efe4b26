# Turntable control, the simulated motor controllers and the real serial ports.
if(NOT TARGET vantrel_serial_qt)
  include(${PROJECT_SOURCE_DIR}/platform/qt/serial.cmake)
endif()

vantrel_test(turntable_test
  SOURCES turntable_commands_test.cpp turntable_link_test.cpp turntable_sim_test.cpp
  LIBS vantrel_turntable vantrel_sim vantrel_platform)
vantrel_test(serial_port_test
  SOURCES serial_pty_test.cpp
  LIBS vantrel_turntable vantrel_serial_qt vantrel_platform Qt6::Core util)

# Through the main window and the session harness.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(turntable_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/turntable_session_test.cpp
    LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim vantrel_serial_qt util)
  target_compile_definitions(turntable_session_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
  add_dependencies(turntable_session_test vantrel-cli)
endif()

# Rehearsed faults of the simulated rig through vantrel-cli session.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(sim_fault_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/sim_fault_session_test.cpp
    LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
  target_compile_definitions(sim_fault_session_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
  add_dependencies(sim_fault_session_test vantrel-cli)
endif()
