vemba_bench(settings_write_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_write_bench.cpp
    LIBS vemba_settings)
