# Drawing text into surfaces: cached and fresh glyphs from the real fonts, normal and smoothed.
engine_benchmark(text_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp
  DEPS
    dxdraw
    platform_fonts
)
