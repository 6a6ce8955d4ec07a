# View tree, transforms, changed-rectangle views and sprites, surfaces and the screen surface.
engine_test(dxdraw_view_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/view_tree_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/view_transform_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/view_sprite_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/surface_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/surface_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_test.cpp
  DEPS
    dxdraw
)
