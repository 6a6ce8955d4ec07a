# The program on a display: presenting a full frame to the window, start-up to
# the first presented frame, and the processor time of a game waiting for a
# click. Each skips itself without a display; run it under xvfb-run or on a desktop.
engine_benchmark(shell_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/shell_bench.cpp
  DEPS program
)
target_compile_definitions(shell_bench PRIVATE ENGINE_BINARY_DIR="${CMAKE_BINARY_DIR}")
