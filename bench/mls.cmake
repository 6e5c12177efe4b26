# MLS engine: whole-recording processing against its transforms, and the table build.
vantrel_bench(mls_processing_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_processing_bench.cpp LIBS vantrel_mls)
