# The files every installation carries beside the programs, and the Debian package (cpack, or
# `make package` at the top).
install(FILES ${CMAKE_SOURCE_DIR}/resources/korvin.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The main window's own icon for menus' small sizes, and a drawing for every larger one (launchers
# and docks would scale the 16-pixel image up to a blur).
install(FILES ${CMAKE_SOURCE_DIR}/resources/images/il1_5.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME korvin.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/korvin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${KORVIN_INSTALL_DOCDIR})

# Everything the package holds, built: cpack itself builds nothing.
get_property(_korvin_installed GLOBAL PROPERTY KORVIN_INSTALLED_TARGETS)
add_custom_target(korvin_installed)
add_dependencies(korvin_installed ${_korvin_installed})

# A release build names the person who answers for the package.
set(KORVIN_MAINTAINER "KORVIN maintainers <korvin-maintainers@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KORVIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "client for the exciter of an ATSC 8-VSB transmitter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "KORVIN connects to the exciter over TCP, pulls I/Q captures and status blocks, runs its own
8-VSB measurement engine and plots constellation, eye diagram, amplitude flatness and group
delay, spectrum, and IMD and SNR against the regulatory masks with Pass/Fail verdicts.
Also holds exciter-sim, a stand-in exciter for trials and tests.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libmonitor.so comes with the package: dpkg-shlibdeps finds it where it was built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# Maintainer scripts (a postinst that enables a service, say) a part adds with
#   set_property(GLOBAL APPEND PROPERTY KORVIN_DEB_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/postinst)
get_property(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA GLOBAL PROPERTY KORVIN_DEB_CONTROL_EXTRA)
include(CPack)
