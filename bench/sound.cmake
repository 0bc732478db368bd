# The mixer's cost per output frame, and the share of real time it takes.
vemba_bench(sound_mixer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_mixer.cpp LIBS vemba_audio_backend)
# A bare SDL player of three looping files, to weigh output periods and
# sample formats without the rest of the program.
add_executable(sdl_output_candidates ${CMAKE_CURRENT_LIST_DIR}/sdl_output_candidates.cpp)
target_link_libraries(sdl_output_candidates PRIVATE vemba_audio_backend PkgConfig::SDL2)
vemba_strict(sdl_output_candidates)
# The same files through the mixer on a libpulse stream, to weigh the sizes of
# the program's own queue.
add_executable(pulse_queue_candidates ${CMAKE_CURRENT_LIST_DIR}/pulse_queue_candidates.cpp)
target_link_libraries(pulse_queue_candidates PRIVATE vemba_audio_backend PkgConfig::PULSE)
vemba_strict(pulse_queue_candidates)

# Hours of mixing offline, checked frame by frame; a plain program, run by hand.
add_executable(mixer_soak ${CMAKE_CURRENT_LIST_DIR}/mixer_soak.cpp)
target_link_libraries(mixer_soak PRIVATE vemba_audio_backend)
vemba_strict(mixer_soak)
