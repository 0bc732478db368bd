# The mixer's cost per output frame, and the share of real time it takes.
vemba_bench(sound_mixer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_mixer.cpp LIBS vemba_audio)

# Hours of mixing offline, checked frame by frame; a plain program, run by hand.
add_executable(mixer_soak ${CMAKE_CURRENT_LIST_DIR}/mixer_soak.cpp)
target_link_libraries(mixer_soak PRIVATE vemba_audio)
vemba_strict(mixer_soak)
