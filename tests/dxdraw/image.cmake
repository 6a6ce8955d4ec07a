# Images, the picture decoders (BMP, PNG, JPEG, TIFF, HBM) and the BMP writers,
# with fixtures the tests encode themselves.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(ZLIB REQUIRED)
engine_test(dxdraw_image_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/image_decoders_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_fixtures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_object_test.cpp
  DEPS
    dxdraw
    PNG::PNG
    JPEG::JPEG
    TIFF::TIFF
    ZLIB::ZLIB
)
