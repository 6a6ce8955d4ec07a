# Text on surfaces: layout and effects with exact fake glyphs, and one run on the real fonts.
engine_test(dxdraw_text_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/text_layout_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_freetype_test.cpp
  DEPS
    dxdraw
    platform_fonts
)
# fontconfig keeps the process's configuration until the process ends.
set_tests_properties(dxdraw_text_test PROPERTIES
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/backend/gtk/gtk_lsan.supp")
