# The automatic balloon walk through the main window and the session harness on the simulated rig.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(sequence_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/sequence_session_test.cpp
    LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
endif()

# Autosave and resume of the walk, and the rehearsed faults that halt it.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(autosave_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/autosave_session_test.cpp
    LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
endif()

# vantrel-cli measure killed or halted by a fault, then resumed from its autosave.
if(TARGET vantrel_app)
  vantrel_test(measure_cli_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/measure_cli_test.cpp
    LIBS vantrel_app vantrel_devices)
  add_dependencies(measure_cli_test vantrel-cli)
  target_compile_definitions(measure_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
  # The same in the simulated room, with the gate.
  vantrel_test(room_gate_cli_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/room_gate_cli_test.cpp
    LIBS vantrel_app vantrel_devices)
  add_dependencies(room_gate_cli_test vantrel-cli)
  target_compile_definitions(room_gate_cli_test PRIVATE VANTREL_CLI_PATH="$<TARGET_FILE:vantrel-cli>")
endif()

# The walk an operator leaves alone: slow sound cards, dialogs that wait for a person, halts
# and resumes, the paced walk.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(walk_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/walk_session_test.cpp
    LIBS vantrel_app vantrel_devices vantrel_headless vantrel_sim)
endif()

# The microphone arc's stop planner.
vantrel_test(arc_plan_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/arc_plan_test.cpp LIBS vantrel_sequencer vantrel_balloon)

# The arc walk: resumed against uninterrupted, against the rig's model, and its refusals.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(arc_walk_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/arc_walk_test.cpp
    LIBS vantrel_job vantrel_app vantrel_devices vantrel_headless vantrel_sim)
endif()
