# The main window's share of a shot, its responsiveness during a slow
# transfer, and its memory over 1000 shots.
quillomat_add_benchmark(window_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WindowBench.cpp
  LIBS quillomat_window quillomat_sdk quillomat_simcam)
