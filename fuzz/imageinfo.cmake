# Fuzz targets of the image information layer and the picture properties.
foreach(target ImageInfoFuzz LoadImageJpegFuzz PicturePropertiesFuzz ThmOrientationFuzz)
  quillomat_add_fuzzer(${target}
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp
    LIBS quillomat_imageinfo
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/${target})
  # The temporary-file helper shared with the tests.
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests/imageinfo)
endforeach()
