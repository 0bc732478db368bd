# Time to generate the tone files: the whole set as the build writes it, and
# each file's synthesis alone.
vemba_bench(tones_generate_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tones_generate.cpp
    LIBS vemba_tonegen)
set_target_properties(tones_generate_bench PROPERTIES AUTOMOC OFF)
# Our single-tone files beside another generator's, measured alike.
add_executable(tone_quality ${CMAKE_CURRENT_LIST_DIR}/tone_quality.cpp)
target_link_libraries(tone_quality PRIVATE vemba_toneanalysis)
set_target_properties(tone_quality PROPERTIES AUTOMOC OFF)
vemba_strict(tone_quality)
