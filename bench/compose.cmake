# Composing a layered background and a character from the archive, beside decoding the same files alone.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
engine_benchmark(compose_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/compose_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/dxdraw/image_fixtures.cpp
  DEPS
    game
    PNG::PNG
    JPEG::JPEG
    TIFF::TIFF
)
target_include_directories(compose_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
