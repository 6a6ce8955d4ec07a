# Four Ogg streams decoded and mixed by the engine beside bare ov_read, and the
# service pass on its own.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SOUND_BENCH_VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbis ogg)
engine_benchmark(sound_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sound_bench.cpp
  DEPS sound oggenc PkgConfig::SOUND_BENCH_VORBIS
)
target_include_directories(sound_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
# CTest only checks that it runs: a second of audio keeps that quick.
set_tests_properties(sound_bench PROPERTIES ENVIRONMENT SOUND_BENCH_SECONDS=1)
