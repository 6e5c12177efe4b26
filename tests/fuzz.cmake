# Every input a fuzzer once found troublesome, replayed through the same entry functions.
vantrel_test(fuzz_regressions_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_regressions_test.cpp
  LIBS vantrel_fuzz_entries)
