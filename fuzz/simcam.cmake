# The served camera's USB protocol on arbitrary host traffic.
quillomat_add_fuzzer(CanonUsbFuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CanonUsbFuzz.cpp
  LIBS quillomat_simcam_usb
  CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/CanonUsbFuzz)
