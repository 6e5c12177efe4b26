# The sound card: the simulated rig against its own model, the sound-card logic of the
# measurement window, and the PortAudio sound card against a private JACK server.
vantrel_test(audio_sim_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/audio_sim_test.cpp
  LIBS vantrel_sim vantrel_mls vantrel_headless)
vantrel_test(audio_sound_card_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/audio_sound_card_test.cpp
  LIBS vantrel_mls vantrel_headless)
