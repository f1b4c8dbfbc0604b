# Where an installed KORVIN keeps its files, relative to the prefix (/usr in the .deb), and the
# one call that installs a program. A new part adds its files with one install() line each:
#   korvin_install_program(korvin-monitor HELP)
#   install(FILES korvin-monitor.service DESTINATION ${KORVIN_INSTALL_SYSTEMDUNITDIR})
#   install(FILES korvin-alerts.yml DESTINATION ${KORVIN_INSTALL_DATADIR})
include(GNUInstallDirs)

# The engine serves our programs only, so it stays off the linker's search path.
set(KORVIN_INSTALL_PRIVATELIBDIR "lib/korvin" CACHE STRING
    "Folder of libmonitor.so, relative to the prefix")
set(KORVIN_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/korvin" CACHE STRING
    "Shared read-only data (alert rules and the like), relative to the prefix")
set(KORVIN_INSTALL_SYSTEMDUNITDIR "lib/systemd/system" CACHE STRING
    "systemd unit files, relative to the prefix")
set(KORVIN_INSTALL_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/korvin" CACHE STRING
    "README and other documents, relative to the prefix")

file(RELATIVE_PATH _korvin_bin_to_lib "/${CMAKE_INSTALL_BINDIR}" "/${KORVIN_INSTALL_PRIVATELIBDIR}")
# Relative to the program, so the unpacked package runs wherever it lies.
set(KORVIN_INSTALL_RPATH "$ORIGIN/${_korvin_bin_to_lib}")

# korvin_install_program(<target> [HELP]): installs the program into bin/, finding the engine
# from there. HELP marks a command-line program: the package test runs its --help from the
# unpacked package.
function(korvin_install_program target)
  cmake_parse_arguments(arg "HELP" "" "" ${ARGN})
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "${KORVIN_INSTALL_RPATH}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY KORVIN_INSTALLED_TARGETS ${target})
  if(arg_HELP)
    set_property(GLOBAL APPEND PROPERTY KORVIN_HELP_PROGRAMS ${target})
  endif()
endfunction()

# The engine, into the private folder the programs' RPATH points at.
function(korvin_install_engine target)
  install(TARGETS ${target} LIBRARY DESTINATION ${KORVIN_INSTALL_PRIVATELIBDIR})
  set_property(GLOBAL APPEND PROPERTY KORVIN_INSTALLED_TARGETS ${target})
endfunction()
