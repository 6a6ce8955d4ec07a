# The GTK window, and full screen under openbox on a display whose shape leaves
# bars at the sides.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_test(platform_gtk_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_test.cpp
  DEPS platform_gtk PkgConfig::GTK3
  SCREEN 1024x768x24 TIMEOUT 60
)
engine_test(platform_gtk_fullscreen_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_fullscreen_test.cpp
  DEPS platform_gtk PkgConfig::GTK3
  SCREEN 1280x720x24 TIMEOUT 120
)
