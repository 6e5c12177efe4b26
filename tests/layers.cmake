# The include scan that keeps Qt and PortAudio out of the core folders, and app/ out of devices/.
add_test(NAME LayeringIncludes COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
  -P ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
