# The automatic balloon walk through the main window and the session harness on the simulated rig.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(sequence_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/sequence_session_test.cpp
    LIBS vantrel_app vantrel_headless vantrel_sim)
endif()

# Autosave and resume of the walk, and the rehearsed faults that halt it.
if(TARGET vantrel_app AND TARGET vantrel_headless)
  vantrel_test(autosave_session_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/integration/autosave_session_test.cpp
    LIBS vantrel_app vantrel_headless vantrel_sim)
endif()
