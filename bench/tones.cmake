# Time to generate the tone files: the whole set as the build writes it, and
# each file's synthesis alone.
vemba_bench(tones_generate_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tones_generate.cpp
    LIBS vemba_tonegen)
set_target_properties(tones_generate_bench PROPERTIES AUTOMOC OFF)
