# Installation as a Linux desktop application, and the Debian package.
#
#   <prefix>/bin/                 quillomat (a link), tolvane, the console tools
#   <prefix>/lib/quillomat/       the main program with its help page and the
#                                 camera runtime's libraries and modules
#   <prefix>/share/...            desktop entry, icons, AppStream metainfo, man pages
#   <prefix>/lib/udev/rules.d/    the camera's udev rule
#   <prefix>/lib/systemd/user/    the target the rule starts
#
# The main program lives in lib/quillomat so that its help page and the
# simulated camera's settings module sit beside it, where it looks for them;
# bin/quillomat links to it. Programs find the runtime libraries through an
# RPATH relative to themselves, so the tree works under any prefix.

set(QUILLOMAT_APP_ID com.vantorelsystems.Quillomat)
set(QUILLOMAT_PRIVATE_DIR lib/quillomat)
set(QUILLOMAT_HOMEPAGE "https://www.vantorelsystems.com/quillomat" CACHE STRING
    "Quillomat's web page (the AppStream metainfo's homepage; its screenshot is quillomat.png there)")
set(QUILLOMAT_MAINTAINER "Vantorel Systems <quillomat@vantorelsystems.com>" CACHE STRING
    "Maintainer of the Debian package")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staging ${PROJECT_BINARY_DIR}/packaging)

# Programs. quillomat-ipc is installed once it is built.
set(QUILLOMAT_INSTALLED_TOOLS)
foreach(tool tolvane quillomat-shoot quillomat-info quillomat-simcam quillomat-ipc)
  if(TARGET ${tool})
    list(APPEND QUILLOMAT_INSTALLED_TOOLS ${tool})
  endif()
endforeach()
if(TARGET quillomat)
  set_target_properties(quillomat PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS quillomat RUNTIME DESTINATION ${QUILLOMAT_PRIVATE_DIR})
  install(FILES ${QUILLOMAT_HELP_PAGE} ${QUILLOMAT_HELP_PICTURES} DESTINATION ${QUILLOMAT_PRIVATE_DIR})
  file(MAKE_DIRECTORY ${staging}/bin)
  file(CREATE_LINK ../${QUILLOMAT_PRIVATE_DIR}/quillomat ${staging}/bin/quillomat SYMBOLIC)
  install(FILES ${staging}/bin/quillomat DESTINATION bin)
endif()
if(QUILLOMAT_INSTALLED_TOOLS)
  set_target_properties(${QUILLOMAT_INSTALLED_TOOLS} PROPERTIES INSTALL_RPATH "$ORIGIN/../${QUILLOMAT_PRIVATE_DIR}")
  install(TARGETS ${QUILLOMAT_INSTALLED_TOOLS} RUNTIME DESTINATION bin)
endif()

# The camera runtimes, Tolvane's registration library and the simulated
# camera's settings module.
foreach(library psdkreg quillomat_simcam quillomat_simcam_settings quillomat_usbcam)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${QUILLOMAT_PRIVATE_DIR})
  endif()
endforeach()

# The desktop's view of the program.
install(FILES ${packaging}/${QUILLOMAT_APP_ID}.desktop DESTINATION share/applications)
configure_file(${packaging}/${QUILLOMAT_APP_ID}.metainfo.xml.in ${staging}/${QUILLOMAT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${staging}/${QUILLOMAT_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${packaging}/icons/hicolor DESTINATION share/icons FILES_MATCHING PATTERN "*.png" PATTERN "*.svg")

# Starting when the camera is plugged in.
install(FILES ${packaging}/70-quillomat-camera.rules DESTINATION lib/udev/rules.d)
install(FILES ${packaging}/quillomat-camera.target DESTINATION lib/systemd/user)

# Man pages, with the version filled in, compressed as Debian keeps them.
find_program(QUILLOMAT_GZIP gzip REQUIRED)
set(man_pages quillomat tolvane quillomat-shoot quillomat-info quillomat-simcam quillomat-ipc)
set(man_outputs)
foreach(page IN LISTS man_pages)
  if(NOT EXISTS ${packaging}/man/${page}.1)
    continue()
  endif()
  configure_file(${packaging}/man/${page}.1 ${staging}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${staging}/man/${page}.1.gz
    COMMAND ${QUILLOMAT_GZIP} -9 -n -f -k ${staging}/man/${page}.1
    DEPENDS ${staging}/man/${page}.1
    VERBATIM)
  list(APPEND man_outputs ${staging}/man/${page}.1.gz)
  install(FILES ${staging}/man/${page}.1.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(quillomat_man_pages ALL DEPENDS ${man_outputs})

# The Debian package: cpack -G DEB in the build tree (`make deb`).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillomat)
set(CPACK_PACKAGE_VENDOR "Vantorel Systems")
set(CPACK_PACKAGE_CONTACT "${QUILLOMAT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tethered shooting with the EOS D30 and EOS D60")
# The extended description below the summary, one line of the control file each.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Quillomat is a remote-capture program for the EOS D30 and EOS D60 digital"
  "SLRs: it shows and changes the camera's settings from the computer,"
  "releases the shutter, saves every image under a dated folder with a"
  "camera-style name and shows it with a histogram, a grid and its shooting"
  "information."
  "It comes with the console tools quillomat-shoot and quillomat-info,"
  "Tolvane, and a simulated camera to work with when none is connected.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLOMAT_HOMEPAGE}")
# The libraries the programs link, found by dpkg-shlibdeps; Qt's platform
# plugins are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${QUILLOMAT_PRIVATE_DIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The help page opens in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
