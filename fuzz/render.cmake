# The renderer under arbitrary edits: incremental presents must equal full redraws.
engine_fuzzer(render_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/render_fuzz.cpp
  DEPS
    dxdraw
)
