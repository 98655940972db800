# The IPC dispatcher on arbitrary 1024-byte blocks, in every state of the window.
quillomat_add_fuzzer(IpcDispatchFuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/IpcDispatchFuzz.cpp
  LIBS quillomat_capture
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/IpcDispatchFuzz)
