# The preview decoder (main preview and full-size image) on arbitrary bytes.
quillomat_add_fuzzer(PreviewDecodeFuzz
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/PreviewDecodeFuzz.cpp
  LIBS quillomat_preview
  CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/PreviewDecodeFuzz)
