# Real RS232 ports on Qt SerialPort, kept apart from the widget host so that the session
# harness and the tests can drive real ports without a window.
if(NOT TARGET vantrel_serial_qt)
  add_library(vantrel_serial_qt STATIC ${CMAKE_CURRENT_LIST_DIR}/serial_port_qt.cpp)
  target_include_directories(vantrel_serial_qt PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vantrel_serial_qt PUBLIC vantrel_platform PRIVATE Qt6::SerialPort)
endif()
