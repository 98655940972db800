# The capture session's own time per shot (release complete to display JPEG)
# against the bare transfer, and the copying of the memory stream.
quillomat_add_benchmark(capture_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CaptureBench.cpp
  LIBS quillomat_capture quillomat_sdk quillomat_simcam)
