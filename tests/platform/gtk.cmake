# The GTK window under a virtual X server; without xvfb-run the test runs as it
# is and skips itself when no display opens.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
engine_test(platform_gtk_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_test.cpp
  DEPS platform_gtk PkgConfig::GTK3
)
find_program(XVFB_RUN xvfb-run)
if(XVFB_RUN)
  set_tests_properties(platform_gtk_test PROPERTIES TIMEOUT 120)
  add_test(NAME platform_gtk_test_xvfb
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1024x768x24" $<TARGET_FILE:platform_gtk_test>)
  set_tests_properties(platform_gtk_test_xvfb PROPERTIES TIMEOUT 120)
endif()
set(gtk_test_env "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/gtk_lsan.supp")
set_tests_properties(platform_gtk_test PROPERTIES ENVIRONMENT "${gtk_test_env}")
if(XVFB_RUN)
  set_tests_properties(platform_gtk_test_xvfb PROPERTIES ENVIRONMENT "${gtk_test_env}")
endif()

# Full screen under openbox on a display whose shape leaves bars at the sides.
engine_test(platform_gtk_fullscreen_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gtk_fullscreen_test.cpp
  DEPS platform_gtk PkgConfig::GTK3
)
set_tests_properties(platform_gtk_fullscreen_test PROPERTIES ENVIRONMENT "${gtk_test_env}")
if(XVFB_RUN)
  add_test(NAME platform_gtk_fullscreen_test_xvfb
    COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x720x24" $<TARGET_FILE:platform_gtk_fullscreen_test>)
  set_tests_properties(platform_gtk_fullscreen_test_xvfb PROPERTIES TIMEOUT 120 ENVIRONMENT "${gtk_test_env}")
endif()
