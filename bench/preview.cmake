# The main preview against the bare libjpeg-turbo decode, on camera-like JPEGs
# made by the tests' fixture generator.
quillomat_add_benchmark(preview_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PreviewBench.cpp ${CMAKE_CURRENT_LIST_DIR}/../tests/preview/JpegFixtures.cpp
  LIBS quillomat_preview JPEG::JPEG)
target_include_directories(preview_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/preview)
