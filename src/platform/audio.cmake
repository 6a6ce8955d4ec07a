# The sound device: the buffer model and mixer, the manual back end for tests and
# the SDL2 audio back end (only SDL's audio subsystem).
find_package(SDL2 REQUIRED)
engine_library(platform_audio
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/audio.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_sdl.cpp
  PRIVATE_DEPS
    SDL2::SDL2
)
# The mixer's loops are vectorised at -O3 (about twice as fast as at -O2).
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/audio.cpp PROPERTIES COMPILE_OPTIONS -O3)
