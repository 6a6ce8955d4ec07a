# The pixel pipeline beside memcpy, memset and pixman (linked by this benchmark
# only): every operation x variant x family, fills, a full-screen quad, StretchBlt
# and decoding 800x600 pictures. Fixtures come from the tests' encoders.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PIXMAN REQUIRED IMPORTED_TARGET pixman-1)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
engine_benchmark(pixel_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pixel_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/dxdraw/image_fixtures.cpp
  DEPS
    dxdraw
    PkgConfig::PIXMAN
    PNG::PNG
    JPEG::JPEG
    TIFF::TIFF
)
target_include_directories(pixel_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
