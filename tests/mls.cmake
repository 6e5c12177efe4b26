# The MLS measurement engine: generator, FFT, capture, impulse and frequency responses,
# matched filter, and the allocation-free processing path.
vantrel_test(mls_generator_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_generator_test.cpp LIBS vantrel_mls)
vantrel_test(mls_capture_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_capture_test.cpp LIBS vantrel_mls)
vantrel_test(mls_response_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_response_test.cpp LIBS vantrel_mls)
vantrel_test(mls_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_process_test.cpp LIBS vantrel_mls)
target_compile_definitions(mls_process_test PRIVATE VANTREL_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VANTREL_TEST_BINARY_DIR="${PROJECT_BINARY_DIR}")
vantrel_test(mls_alloc_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_alloc_test.cpp LIBS vantrel_mls)
vantrel_test(mls_gate_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_gate_test.cpp LIBS vantrel_mls)
