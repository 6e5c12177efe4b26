vantrel_test(nearfield_test SOURCES nearfield_test.cpp LIBS vantrel_analysis vantrel_sim)
vantrel_test(nearfield_cli_test SOURCES nearfield_cli_test.cpp LIBS vantrel_analysis vantrel_sim)
add_dependencies(nearfield_cli_test vantrel-cli)
target_compile_definitions(nearfield_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
vantrel_test(nearfield_session_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/nearfield_session_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
