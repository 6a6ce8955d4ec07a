# One frame of the stage's cross-fade at 800 x 600, and the demo game's start
# to its first frame (when the demo data is built).
engine_benchmark(game_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_bench.cpp
  DEPS game
)
if(TARGET demo_data)
  add_dependencies(game_bench demo_data)
  target_compile_definitions(game_bench PRIVATE DEMO_DATA_DIR="${CMAKE_BINARY_DIR}/data")
endif()
