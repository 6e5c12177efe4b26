# Numbers in every text the program reads and writes, independent of the C library's locale.
vantrel_test(locale_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/locale_test.cpp)
target_compile_definitions(locale_test PRIVATE VANTREL_CLI="$<TARGET_FILE:vantrel-cli>" VANTREL_GUI="$<TARGET_FILE:vantrel>")
add_dependencies(locale_test vantrel-cli vantrel)
