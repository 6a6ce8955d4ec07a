# The archive reader fed arbitrary bytes; seeds are archives of every format, written
# by the packer library before the fuzzer runs.
engine_fuzzer(archive_fuzzer
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_fuzzer.cpp
  DEPS archive
  RUNS 20000
)
add_executable(archive_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/archive_fuzz_seeds.cpp)
target_link_libraries(archive_fuzz_seeds PRIVATE safwriter engine_options)
add_test(NAME archive_fuzz_seeds COMMAND archive_fuzz_seeds ${CMAKE_CURRENT_BINARY_DIR}/archive_fuzzer_corpus)
set_tests_properties(archive_fuzz_seeds PROPERTIES FIXTURES_SETUP archive_fuzz_seeds TIMEOUT 60)
set_tests_properties(archive_fuzzer PROPERTIES FIXTURES_REQUIRED archive_fuzz_seeds)
