# Message text: the name expansion into command records and drawing them.
engine_fuzzer(message_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/message_fuzz.cpp
  DEPS
    message
)
