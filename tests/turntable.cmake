# Turntable control, the simulated motor controllers and the real serial ports.
if(NOT TARGET vantrel_qt_serial)
  include(${PROJECT_SOURCE_DIR}/platform/qt/serial.cmake)
endif()

vantrel_test(turntable_test
  SOURCES turntable_commands_test.cpp turntable_link_test.cpp turntable_sim_test.cpp
  LIBS vantrel_turntable vantrel_sim vantrel_platform)
vantrel_test(serial_port_test
  SOURCES serial_pty_test.cpp
  LIBS vantrel_turntable vantrel_qt_serial vantrel_platform Qt6::Core util)
