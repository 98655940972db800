# The shooting aids: the thumbnail shown while the full view transfers, and
# the clipping marks' cost on the preview path.
quillomat_add_benchmark(thumbnail_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThumbnailFirstBench.cpp
  LIBS quillomat_window quillomat_sdk quillomat_simcam)
quillomat_add_benchmark(clipping_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ClippingBench.cpp ${CMAKE_CURRENT_LIST_DIR}/../tests/preview/JpegFixtures.cpp
  LIBS quillomat_preview JPEG::JPEG)
target_include_directories(clipping_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/preview)
