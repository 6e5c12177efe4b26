# The HTTP interface: its request reader and token files as units, and the running server
# through its own clients (tests/api/).
vantrel_test(server_request_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/server_request_test.cpp
  LIBS vantrel_server)

find_program(VANTREL_PYTHON3 python3)
if(VANTREL_PYTHON3)
  add_test(NAME ApiServerEndToEnd
    COMMAND ${VANTREL_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/api/api_test.py ${PROJECT_BINARY_DIR}/vantrel-cli
      ${PROJECT_SOURCE_DIR})
  set_tests_properties(ApiServerEndToEnd PROPERTIES TIMEOUT 600 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
