# The save data's readers: the blob decoders fed arbitrary bytes, and arbitrary
# bytes opened as "save.dat" at the start of a game and loaded slot by slot.
engine_fuzzer(save_blob_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/save_blob_fuzz.cpp
  DEPS save
)
engine_fuzzer(save_file_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/save_file_fuzz.cpp
  DEPS save
  RUNS 400
)
