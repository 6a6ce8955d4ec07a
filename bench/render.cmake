# Presenting a frame of five layers, beside memcpy of the back buffer and pixman compositing.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
engine_benchmark(render_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp
  DEPS
    dxdraw
    PkgConfig::PIXMAN
)
