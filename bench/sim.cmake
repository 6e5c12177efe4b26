# The simulated rig: the cost of one recorded point and of the model's exact response.
vantrel_bench(sim_recording_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim_recording_bench.cpp
  LIBS vantrel_sim vantrel_mls vantrel_platform)
