# The mixer's cost per output frame, and the share of real time it takes.
vemba_bench(sound_mixer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_mixer.cpp LIBS vemba_audio)
