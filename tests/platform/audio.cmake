engine_test(audio_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/audio_test.cpp
  DEPS
    platform_audio
)
