# The GTK 3 back end of the main window: the shell that joins its rooms (main
# window, menu bar, presenter, events, message boxes, monitor dialog).
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_library(platform_gtk
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/gtk_events.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_keymap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_main_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_menu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_message_box.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_monitor_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_presenter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gtk_window.cpp
  DEPS
    platform
  PRIVATE_DEPS
    PkgConfig::GTK3
)
