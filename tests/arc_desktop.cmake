# The microphone arc on the desktop, through the session harness and against vantrel-cli.
vantrel_test(arc_desktop_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/arc_desktop_session_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
add_dependencies(arc_desktop_session_test vantrel-cli)
target_compile_definitions(arc_desktop_session_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
