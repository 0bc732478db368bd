# Layout time of pages at the help viewer's layout bounds, and of the scan
# that checks a page against them.
vemba_bench(help_layout_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/help_layout.cpp LIBS vemba_help)
