# One frame of the stage's cross-fade at 800 x 600.
engine_benchmark(game_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_bench.cpp
  DEPS game
)
