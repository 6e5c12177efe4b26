# The main job: a whole balloon measured headless on the simulated rig.
vantrel_bench(balloon_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/balloon_bench.cpp LIBS vantrel_job vantrel_mls)
# Balloon files: save and load against a plain copy of a file of the same size.
vantrel_bench(balloon_file_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/balloon_file_bench.cpp
  LIBS vantrel_balloon)
vantrel_bench(balloon_autosave_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/balloon_autosave_bench.cpp
  LIBS vantrel_balloon)
# The microphone arc's walk: rig time against its sound and motion, wall time against the
# processing of its responses.
vantrel_bench(arc_bench SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/arc_bench.cpp
  LIBS vantrel_job vantrel_app vantrel_devices vantrel_headless vantrel_sim)
