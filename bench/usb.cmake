# The emulated USB cable through Debian's libgphoto2 against the simulated
# camera's own image fetch.
if(TARGET quillomat_usb_port)
  pkg_check_modules(GPHOTO2 REQUIRED IMPORTED_TARGET libgphoto2)
  pkg_get_variable(QUILLOMAT_BENCH_CAMLIBS libgphoto2 driverdir)
  quillomat_add_benchmark(usb_wire_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/UsbWireBench.cpp
    LIBS quillomat_simcam_usb PkgConfig::GPHOTO2)
  target_compile_definitions(usb_wire_bench PRIVATE
    QUILLOMAT_IOLIBS_DIR="${QUILLOMAT_IOLIBS_DIR}" QUILLOMAT_CAMLIBS_DIR="${QUILLOMAT_BENCH_CAMLIBS}")
  add_dependencies(usb_wire_bench quillomat_usb_port)
endif()
