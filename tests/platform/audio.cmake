find_package(SDL2 REQUIRED)
engine_test(audio_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/audio_test.cpp
  DEPS
    platform_audio
    SDL2::SDL2
)
