vantrel_test(field_test SOURCES field_test.cpp LIBS vantrel_field vantrel_sim)
vantrel_test(field_cli_test SOURCES field_cli_test.cpp LIBS vantrel_field vantrel_sim)
add_dependencies(field_cli_test vantrel-cli)
target_compile_definitions(field_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
