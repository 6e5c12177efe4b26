vantrel_test(app_preferences_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_preferences_test.cpp
  LIBS vantrel_app vantrel_devices)

vantrel_test(session_harness_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/session_harness_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
target_compile_definitions(session_harness_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
add_dependencies(session_harness_test vantrel-cli)

vantrel_test(qt_host_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/qt_host_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_qt Qt6::Test)
add_dependencies(qt_host_test vantrel)

vantrel_test(views_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/views_session_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)

vantrel_test(app_cli_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app_cli_test.cpp
  LIBS vantrel_platform)
add_dependencies(app_cli_test vantrel-cli)
target_compile_definitions(app_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")

vantrel_test(render_cli_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/render_cli_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
target_compile_definitions(render_cli_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
add_dependencies(render_cli_test vantrel-cli)

vantrel_test(menu_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/menu_session_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
target_compile_definitions(menu_session_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>"
  VANTREL_DESKTOP_PATH="$<TARGET_FILE:vantrel>")
add_dependencies(menu_session_test vantrel-cli vantrel)
# The microphone arc's description file.
vantrel_test(arc_file_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/arc_file_test.cpp LIBS vantrel_app)
