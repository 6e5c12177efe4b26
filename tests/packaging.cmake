# The Debian package as an administrator installs it: built by CPack from this build folder,
# unpacked, and run with the source and build folders out of reach.
add_test(NAME packaging_test
  COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
          ${PROJECT_VERSION} $<BOOL:${VANTREL_SANITIZE}>)
set_tests_properties(packaging_test PROPERTIES TIMEOUT 400 SKIP_RETURN_CODE 77
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
