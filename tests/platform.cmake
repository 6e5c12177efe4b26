# The platform layer's own pieces: locale-free number text.
vantrel_test(platform_number_text_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform_number_text_test.cpp
  LIBS vantrel_platform)
