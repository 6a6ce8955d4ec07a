# Saving (with the global records) and loading one slot with a full thumbnail
# and 1,000 variables, and the global records written at the end of a run, on a
# real file.
engine_benchmark(save_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/save_bench.cpp
  DEPS
    save
)
