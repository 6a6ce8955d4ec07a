# "config.xml" through the four readers of the game layer.
engine_fuzzer(config_fuzz
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/config_fuzz.cpp
  DEPS
    game
)
