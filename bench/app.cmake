# Response of the master switch, through the real window and audio layer,
# against the test PulseAudio server.
vemba_bench(app_switch_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_switch.cpp
    LIBS vemba_ui vemba_audio vemba_sound_probe Qt6::Test)
target_compile_definitions(app_switch_bench PRIVATE VEMBA_PROGRAM_DIR="${VEMBA_PROGRAM_DIR}")
