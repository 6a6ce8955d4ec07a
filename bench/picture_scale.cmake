# Scaling the 800 x 600 picture up to a full screen, whole frames, with the
# fast kernels and the plain one.
engine_benchmark(picture_scale_bench
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/picture_scale_bench.cpp
  DEPS
    platform
)
