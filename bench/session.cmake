# The "Session" strip with 1000 images: scrolling and the thumbnails' memory.
quillomat_add_benchmark(session_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SessionStripBench.cpp
  LIBS quillomat_session Qt6::Widgets)
