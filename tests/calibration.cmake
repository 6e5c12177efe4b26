# Calibration-curve builder: filter sections, the curve computation, target files, the window.
vantrel_test(calibration_sections_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calibration_sections_test.cpp
  LIBS vantrel_calibration)
vantrel_test(calibration_target_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calibration_target_file_test.cpp
  LIBS vantrel_calibration)
vantrel_test(calibration_mic_file_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calibration_mic_file_test.cpp
  LIBS vantrel_calibration)
vantrel_test(calibration_window_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calibration_window_test.cpp
  LIBS vantrel_calibration vantrel_headless)
vantrel_test(calibration_cli_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/calibration_cli_test.cpp
  LIBS vantrel_calibration)
add_dependencies(calibration_cli_test vantrel-cli)
target_compile_definitions(calibration_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
