# Pixel operations of both families, dispatch, fills, textured polygons and stretching.
engine_test(dxdraw_pixel_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pixel_ops_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pixel_raster_test.cpp
  DEPS
    dxdraw
)
