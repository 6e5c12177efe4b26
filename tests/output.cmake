# Printing and the clipboard: the layout arithmetic against a recording printer, the print and
# clipboard commands through the session harness (PDF output read back by poppler), and the
# desktop's print path through a private CUPS server.
vantrel_test(output_print_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/output_print_test.cpp
  LIBS vantrel_output)

vantrel_test(print_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/print_session_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)

# The real spooler: scripts/with-cups brings up a private CUPS server with a default printer
# whose output lands in a file, so the test runs, and is never skipped, wherever ctest runs.
add_executable(output_spool_test ${CMAKE_CURRENT_SOURCE_DIR}/output_spool_test.cpp)
target_include_directories(output_spool_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(output_spool_test PRIVATE vantrel_app vantrel_devices vantrel_qt Qt6::Test GTest::gtest GTest::gtest_main)
add_test(NAME output_spool_test COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-cups $<TARGET_FILE:output_spool_test>)
set_tests_properties(output_spool_test PROPERTIES TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
