# The IPC channel's round trip for command 1: the bare transport, and the real
# window serving from its event loop.
quillomat_add_benchmark(ipc_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/IpcBench.cpp
  LIBS quillomat_window quillomat_sdk quillomat_simcam)
