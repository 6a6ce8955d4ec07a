# The game's dialogs in GTK.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_test(platform_gtk_dialogs_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_dialogs_test.cpp
  DEPS game platform_gtk_dialogs PkgConfig::GTK3
  SCREEN 1024x768x24 TIMEOUT 60
)
