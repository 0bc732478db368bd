# Response of the master switch, through the real window and audio layer,
# against the test PulseAudio server.
vemba_bench(app_switch_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_switch.cpp
    LIBS vemba_program vemba_sound_probe Qt6::Test)
target_compile_definitions(app_switch_bench PRIVATE VEMBA_PROGRAM_DIR="${VEMBA_PROGRAM_DIR}"
    VEMBA_PULSE_FIXTURE="${PROJECT_SOURCE_DIR}/tests/support/pulse-fixture")

# Start-up to the first map and peak memory, beside a minimal Qt window.
add_executable(app_startup_minimal_window ${CMAKE_CURRENT_LIST_DIR}/MinimalWindow.cpp)
target_link_libraries(app_startup_minimal_window PRIVATE Qt6::Widgets)
vemba_strict(app_startup_minimal_window)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)
vemba_bench(app_startup_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/app_startup.cpp
    LIBS PkgConfig::XCB vemba_settings)
add_dependencies(app_startup_bench vemba-pc app_startup_minimal_window)
target_compile_definitions(app_startup_bench PRIVATE
    VEMBA_PROGRAM_DIR="${VEMBA_PROGRAM_DIR}"
    VEMBA_MINIMAL_WINDOW="$<TARGET_FILE:app_startup_minimal_window>")

# CPU time and wake-ups of running process trees, for scripts/perf-report.
add_executable(proc_sampler ${CMAKE_CURRENT_LIST_DIR}/proc_sampler.cpp)
vemba_strict(proc_sampler)
