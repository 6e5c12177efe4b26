# The measurement window and its plots: plots on the image canvas, the window through the
# session harness on the simulated rig.
vantrel_test(measure_plots_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/measure_plots_test.cpp
  LIBS vantrel_mls vantrel_image_canvas)
vantrel_test(measure_window_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/measure_window_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
vantrel_test(sweep_window_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/sweep_window_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
vantrel_test(room_gate_window_test
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/room_gate_window_test.cpp
  LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
