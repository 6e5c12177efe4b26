# MLS engine: whole-recording processing against its transforms, and the table build.
vantrel_bench(mls_processing_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/mls_processing_bench.cpp LIBS vantrel_mls)
# The swept sine: its processing against the MLS's and two FFTs, and its signal-to-noise on the
# simulated rig.
vantrel_bench(sweep_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sweep_bench.cpp LIBS vantrel_mls vantrel_sim vantrel_headless)
# The measurement window's plots after a point, on the window's image canvas.
vantrel_bench(plots_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/plots_bench.cpp LIBS vantrel_mls vantrel_image_canvas)
