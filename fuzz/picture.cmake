# Picture loading: every decoder by its signature, into 32- and 16-bit images.
engine_fuzzer(picture_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/picture_fuzz.cpp
  DEPS
    dxdraw
)
