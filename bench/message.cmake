# A full page of message text drawn character by character through the message view.
engine_benchmark(message_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/message_bench.cpp
  DEPS
    message
    platform_fonts
)
