# Sound data fed arbitrary bytes: wave images (ParseWave) and Ogg Vorbis streams
# (the Ogg stream control over a byte source in memory). The seeds are made by
# oggenc before the fuzzers run.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SOUND_FUZZ_VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbis ogg)

engine_fuzzer(wave_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/wave_fuzz.cpp
  DEPS sound
)
engine_fuzzer(ogg_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ogg_fuzz.cpp
  DEPS sound oggenc PkgConfig::SOUND_FUZZ_VORBIS
  RUNS 5000
)
target_include_directories(ogg_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests)

add_executable(sound_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/sound_fuzz_seeds.cpp)
target_include_directories(sound_fuzz_seeds PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(sound_fuzz_seeds PRIVATE sound oggenc PkgConfig::SOUND_FUZZ_VORBIS engine_options)
add_test(NAME sound_fuzz_seeds
  COMMAND sound_fuzz_seeds ${CMAKE_CURRENT_BINARY_DIR}/wave_fuzz_corpus ${CMAKE_CURRENT_BINARY_DIR}/ogg_fuzz_corpus)
set_tests_properties(sound_fuzz_seeds PROPERTIES FIXTURES_SETUP sound_fuzz_seeds TIMEOUT 60)
set_tests_properties(wave_fuzz ogg_fuzz PROPERTIES FIXTURES_REQUIRED sound_fuzz_seeds)
