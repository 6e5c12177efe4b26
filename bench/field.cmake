# The sound field: a whole balloon's expansion (all 750 frequencies) on one core.
vantrel_bench(field_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/field_bench.cpp LIBS vantrel_field vantrel_sim)
