# The main job: a whole balloon measured headless on the simulated rig.
vantrel_bench(balloon_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/balloon_bench.cpp LIBS vantrel_app)
