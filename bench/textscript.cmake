# Compiling a generated 10,000-line script.
engine_benchmark(textscript_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/textscript_bench.cpp
  DEPS
    textscript
)
