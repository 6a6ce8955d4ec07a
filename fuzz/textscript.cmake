# Arbitrary bytes compiled as a script and loaded as "iv.txt".
engine_fuzzer(textscript_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/textscript_fuzz.cpp
  DEPS
    textscript
)
