# Build conventions shared by every subsystem, test, fuzzer and benchmark.

add_library(engine_options INTERFACE)
target_compile_options(engine_options INTERFACE -Wall -Wextra)
# Every floating-point operation rounds on its own: a fused multiply-add (which
# -march=native or -mfma would otherwise allow) moves the rasteriser's edges by a
# pixel. -ffast-math would allow the same and more; the engine's own flags come
# after any given for the whole build, so these two undo it.
target_compile_options(engine_options INTERFACE -fno-fast-math -ffp-contract=off)
if(ENGINE_WERROR)
  target_compile_options(engine_options INTERFACE -Werror)
endif()

if(ENGINE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ENGINE_TSAN)
  if(ENGINE_SANITIZE)
    message(FATAL_ERROR "ENGINE_TSAN and ENGINE_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(ENGINE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ENGINE_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  # Libraries get coverage and the sanitizers; fuzz targets add the libFuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# engine_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
function(engine_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE engine_options ${ARG_PRIVATE_DEPS})
endfunction()

# Window tests run under a virtual X server where xvfb-run is installed, and as
# they are (on the developer's display, or skipping themselves without one)
# where it is not; CTest shows such a skip as skipped. With
# ENGINE_REQUIRE_DISPLAY (scripts/test sets it) a window test that gets no
# display, or no window manager where it starts one, fails instead.
option(ENGINE_REQUIRE_DISPLAY "Window tests fail instead of skipping without their display" OFF)
find_program(XVFB_RUN xvfb-run)
if(ENGINE_REQUIRE_DISPLAY AND NOT XVFB_RUN)
  message(FATAL_ERROR "ENGINE_REQUIRE_DISPLAY needs xvfb-run")
endif()

# engine_test(name SOURCES ... DEPS ... [TIMEOUT seconds] [SHARDS n] [SCREEN WxHxDEPTH]):
# one GoogleTest executable. TIMEOUT (ENGINE_TEST_TIMEOUT unless given, 300 s at
# most) is about twenty times the test's time in the sanitizer build on an idle
# machine: one running four times as many busy processes as it has cores runs
# the test five times slower, and a hang still fails. SHARDS makes a long one n
# CTest entries, name_1 to name_n, each running every n-th test (GoogleTest's
# sharding) under the TIMEOUT, side by side. SCREEN makes it a window test,
# named name_xvfb when it runs on a virtual screen of that shape.
set(ENGINE_TEST_TIMEOUT 60)
function(engine_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT;SHARDS;SCREEN" "SOURCES;DEPS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main engine_options)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${ENGINE_TEST_TIMEOUT})
  elseif(ARG_TIMEOUT GREATER 300)
    message(FATAL_ERROR "${name}: a time limit over 300 s hides a hang; give the test SHARDS instead")
  endif()
  if(NOT ARG_SHARDS)
    set(ARG_SHARDS 1)
  endif()
  set(test ${name})
  set(command ${name})
  set(env "")
  if(ARG_SCREEN)
    list(APPEND env "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/backend/gtk/gtk_lsan.supp")
    if(XVFB_RUN)
      set(test ${name}_xvfb)
      set(command ${XVFB_RUN} -a -s "-screen 0 ${ARG_SCREEN}" $<TARGET_FILE:${name}>)
    endif()
    if(ENGINE_REQUIRE_DISPLAY)
      list(APPEND env ENGINE_REQUIRE_DISPLAY=1)
    endif()
  endif()
  foreach(shard RANGE 1 ${ARG_SHARDS})
    set(entry ${test})
    set(entry_env ${env})
    if(ARG_SHARDS GREATER 1)
      math(EXPR index "${shard} - 1")
      string(APPEND entry _${shard})
      list(APPEND entry_env GTEST_TOTAL_SHARDS=${ARG_SHARDS} GTEST_SHARD_INDEX=${index})
    endif()
    add_test(NAME ${entry} COMMAND ${command})
    # Entries with the longest limits start first when ctest runs several at once.
    set_tests_properties(${entry} PROPERTIES TIMEOUT ${ARG_TIMEOUT} COST ${ARG_TIMEOUT} ENVIRONMENT "${entry_env}")
    if(ARG_SCREEN AND NOT ENGINE_REQUIRE_DISPLAY)
      # The message of GTK_TEST_REQUIRE (tests/backend/gtk/gtk_widgets.h).
      set_tests_properties(${entry} PROPERTIES SKIP_REGULAR_EXPRESSION "window test skipped:")
    endif()
  endforeach()
endfunction()

# engine_fuzzer(name SOURCES ... DEPS ... [RUNS n]): a libFuzzer target, run briefly by CTest.
function(engine_fuzzer name)
  cmake_parse_arguments(ARG "" "RUNS" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_RUNS)
    set(ARG_RUNS 20000)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} engine_options)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  if(EXISTS ${seeds})
    add_test(NAME ${name} COMMAND ${name} -runs=${ARG_RUNS} -max_total_time=120 ${corpus} ${seeds})
  else()
    add_test(NAME ${name} COMMAND ${name} -runs=${ARG_RUNS} -max_total_time=120 ${corpus})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 180)
endfunction()

# engine_benchmark(name SOURCES ... DEPS ...): a Google Benchmark, run for a moment by CTest
# so it keeps building and running; measure with the executable itself.
function(engine_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/bench)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark engine_options)
  add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.001)
  set_tests_properties(${name} PROPERTIES TIMEOUT 60 LABELS bench)
endfunction()
