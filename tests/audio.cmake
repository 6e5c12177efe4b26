# The sound card: the simulated rig against its own model, the sound-card logic of the
# measurement window, and the PortAudio sound card against a private JACK server.
vantrel_test(audio_sim_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/audio_sim_test.cpp
  LIBS vantrel_sim vantrel_mls vantrel_headless)
vantrel_test(audio_sound_card_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/audio_sound_card_test.cpp
  LIBS vantrel_mls vantrel_headless)

# The real sound card needs a sound server: the test brings its own private JACK server (dummy
# back end), so that it runs, and is never skipped, wherever ctest runs.
if(NOT TARGET PkgConfig::JACK)
  pkg_check_modules(JACK REQUIRED IMPORTED_TARGET jack)
endif()
add_executable(audio_jack_test ${CMAKE_CURRENT_SOURCE_DIR}/audio_jack_test.cpp)
target_link_libraries(audio_jack_test PRIVATE vantrel_portaudio vantrel_mls PkgConfig::JACK GTest::gtest GTest::gtest_main)
add_test(NAME audio_jack_test COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-jack $<TARGET_FILE:audio_jack_test>)
set_tests_properties(audio_jack_test PROPERTIES TIMEOUT 120)

# The rehearsed faults of the simulated rig.
vantrel_test(sim_faults_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sim_faults_test.cpp
  LIBS vantrel_sim vantrel_mls vantrel_headless)

# The swept sine on the simulated rig: against the MLS cell and the closed-form harmonics.
vantrel_test(sweep_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/sweep_test.cpp
  LIBS vantrel_sim vantrel_mls vantrel_headless)

# The simulated microphone arc: every channel against the model in its own direction.
vantrel_test(arc_sim_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/arc_sim_test.cpp
  LIBS vantrel_sim vantrel_mls vantrel_headless)

# REF and four microphones in one stream, on a JACK dummy card with five capture ports.
add_executable(audio_jack_arc_test ${CMAKE_CURRENT_SOURCE_DIR}/audio_jack_arc_test.cpp)
target_link_libraries(audio_jack_arc_test PRIVATE vantrel_portaudio vantrel_mls PkgConfig::JACK GTest::gtest GTest::gtest_main)
add_test(NAME audio_jack_arc_test COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-jack $<TARGET_FILE:audio_jack_arc_test>)
set_tests_properties(audio_jack_arc_test PROPERTIES TIMEOUT 120 ENVIRONMENT VANTREL_JACK_CAPTURE=5)
