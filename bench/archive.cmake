# Whole-entry loading of a generated archive beside memcpy and zlib's uncompress.
find_package(ZLIB REQUIRED)
engine_benchmark(archive_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp
  DEPS archive safwriter ZLIB::ZLIB
)
# CTest only checks that it runs: a small archive keeps that quick.
set_tests_properties(archive_bench PROPERTIES ENVIRONMENT ARCHIVE_BENCH_MB=2)
