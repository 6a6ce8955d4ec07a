# The GTK 3 windows of the game's dialogs; their logic is the dialog models'.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_library(platform_gtk_dialogs
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gtk_dialogs.cpp
  DEPS
    platform
  PRIVATE_DEPS
    PkgConfig::GTK3
)
