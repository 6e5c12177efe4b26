# The HTTP interface: what the server adds to a production check, and what status requests
# cost a walk.
vantrel_bench(api_server_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/api_server_bench.cpp
  LIBS vantrel_server)
