vantrel_test(balloon_matrix_test SOURCES balloon_matrix_test.cpp LIBS vantrel_balloon)
vantrel_test(balloon_file_test SOURCES balloon_file_test.cpp LIBS vantrel_balloon)
vantrel_test(balloon_file_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/balloon_file_session_test.cpp
  LIBS vantrel_app vantrel_headless vantrel_sim)
target_compile_definitions(balloon_file_session_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>")
add_dependencies(balloon_file_session_test vantrel-cli)
vantrel_test(balloon_info_cli_test SOURCES balloon_info_cli_test.cpp LIBS vantrel_balloon)
add_dependencies(balloon_info_cli_test vantrel-cli)
target_compile_definitions(balloon_info_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
