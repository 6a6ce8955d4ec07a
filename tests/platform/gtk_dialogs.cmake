# The game's dialogs in GTK under a virtual X server; without xvfb-run the test
# runs as it is and skips itself when no display opens.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_test(platform_gtk_dialogs_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_dialogs_test.cpp
  DEPS game platform_gtk platform_gtk_dialogs PkgConfig::GTK3
)
set(gtk_dialogs_env "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/gtk_lsan.supp")
set_tests_properties(platform_gtk_dialogs_test PROPERTIES ENVIRONMENT "${gtk_dialogs_env}" TIMEOUT 120)
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN)
  add_test(NAME platform_gtk_dialogs_test_xvfb
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:platform_gtk_dialogs_test>)
  set_tests_properties(platform_gtk_dialogs_test_xvfb PROPERTIES ENVIRONMENT "${gtk_dialogs_env}" TIMEOUT 120)
endif()
