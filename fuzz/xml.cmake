# The XML loader over arbitrary bytes.
engine_fuzzer(xml_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/xml_fuzz.cpp
  DEPS
    core
)
