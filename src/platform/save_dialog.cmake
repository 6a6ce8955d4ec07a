# The GTK 3 window of the save/load slot dialog; its logic is the save data's.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_library(platform_save_dialog
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/save_dialog_gtk.cpp
  DEPS
    platform
  PRIVATE_DEPS
    PkgConfig::GTK3
)
