# MLS engine: whole-recording processing against its transforms, and the table build.
vantrel_bench(mls_processing_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_processing_bench.cpp LIBS vantrel_mls)
# The swept sine: its processing against the MLS's and two FFTs, and its signal-to-noise on the
# simulated rig.
vantrel_bench(sweep_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sweep_bench.cpp LIBS vantrel_mls vantrel_sim vantrel_headless)
