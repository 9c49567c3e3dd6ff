# --- the release archives (CPack) --------------------------------------------
# `cpack` in a build folder makes the release archives, named for
# PROJECT_VERSION (docs/install.md, "Release archives"):
#
#   Linux    kinex-VERSION-linux-x86_64.tar.gz and kinex_VERSION_amd64.deb:
#            KINEX.exe and kinex, their manual pages, the library with its
#            headers and CMake package, the JSON schemas, README.md and
#            LICENSE; never the Python module (the install component
#            python).
#   Windows  kinex-VERSION-windows-x86_64.zip, in the mingw-w64 build
#            (cmake/mingw-w64-x86_64.cmake): KINEX.exe and kinex.exe at the
#            top of its folder, the examples, README.md and LICENSE.
#
# An archive holds the install components that CPACK_COMPONENTS_ALL names,
# all in one file. Included last by CMakeLists.txt: every install rule, and
# so every component, is known by then.

set(CPACK_PACKAGE_NAME kinex)
set(CPACK_PACKAGE_VENDOR "The KINEX developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turnover frequencies of catalytic cycles from their Gibbs energies")
# The .deb's long description, as its lines.
set(CPACK_PACKAGE_DESCRIPTION "\
KINEX turns the Gibbs energies of a catalytic cycle, as density-functional
calculations give them, into its turnover frequency (TOF) in the
energetic-span model, with the degree of TOF control of every intermediate,
transition state, reactant and product, the TOF-determining intermediate
and transition state, and which concentrations to change.

KINEX.exe writes a plain-text report. kinex writes JSON and CSV, screens
tables of catalysts, scans temperatures and concentrations, carries the
errors of the energies into the TOF, builds volcano plots and activity maps,
solves catalytic networks and draws energy profiles as SVG, PDF or PNG.

With the C++ library <kinex/kinex.h> and its CMake package (kinex::kinex).")
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Read by cpack for each generator, with CPACK_GENERATOR the one at work:
# the .tar.gz and the .zip unpack into a folder of their name; the .deb
# alone has the copyright file (the component deb, below).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackGenerators.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} [[
if(CPACK_GENERATOR MATCHES "^(TGZ|ZIP)$")
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
elseif(CPACK_GENERATOR STREQUAL "DEB")
  list(APPEND CPACK_COMPONENTS_ALL deb)
endif()
]])

string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" kinex_processor)
if(kinex_processor STREQUAL "" OR kinex_processor MATCHES "^(amd64|x64)$")
  set(kinex_processor x86_64)
endif()

if(WIN32)
  # --- Windows: the zip -------------------------------------------------------
  # Flat: the programs at the top of the archive's folder, beside the
  # examples, README.md and LICENSE; no headers, libraries, manual pages or
  # Python package. Its rules are the component windows alone, which
  # `cmake --install` leaves out unless asked for
  # (`cmake --install BUILD --component windows --prefix DIR` shows the
  # zip's layout).
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME kinex-${PROJECT_VERSION}-windows-${kinex_processor})
  install(PROGRAMS $<TARGET_FILE:kinex_exe> DESTINATION . COMPONENT windows EXCLUDE_FROM_ALL)
  if(TARGET kinex_program)
    install(PROGRAMS $<TARGET_FILE:kinex_program> DESTINATION . COMPONENT windows
            EXCLUDE_FROM_ALL)
  endif()
  # The example inputs: cycles, networks and tables (the C++ and Python
  # examples need what the zip does not hold).
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples
          COMPONENT windows EXCLUDE_FROM_ALL
          FILES_MATCHING PATTERN "*.txt" PATTERN "*.net" PATTERN "*.csv")
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
          COMPONENT windows EXCLUDE_FROM_ALL)
  set(CPACK_COMPONENTS_ALL windows)
else()
  # --- Linux: the tar.gz and the .deb -------------------------------------------
  # What `cmake --install` installs, but the Python module.
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME kinex-${PROJECT_VERSION}-linux-${kinex_processor})
  set(KINEX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kinex)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${KINEX_DOC_DIR})
  # The .deb's copyright file: the licence under Debian's name, in the .deb
  # alone (the component deb, added for the DEB generator above).
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${KINEX_DOC_DIR} RENAME copyright
          COMPONENT deb EXCLUDE_FROM_ALL)
  get_cmake_property(CPACK_COMPONENTS_ALL COMPONENTS)
  list(REMOVE_ITEM CPACK_COMPONENTS_ALL python deb)

  # The .deb: kinex_VERSION_ARCH.deb, installing into /usr.
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The KINEX developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the programs link dynamically, as dpkg-shlibdeps (Debian:
  # dpkg-dev, which ./setup.sh --dev installs) reads them off the programs;
  # without it, the list it gives on Debian 12.
  find_program(KINEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(KINEX_FILE_PROGRAM file)  # CPack finds the programs with it
  set(kinex_depends "")
  if(KINEX_DPKG_SHLIBDEPS AND KINEX_FILE_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    list(APPEND kinex_depends libc6 libgcc-s1 libstdc++6)
    if(TARGET kinex_program)
      list(APPEND kinex_depends libglib2.0-0 libcairo2 librsvg2-2)
    endif()
  endif()
  # The font kinex draws its pictures in and measures them with.
  if(TARGET kinex_program)
    list(APPEND kinex_depends fonts-dejavu-core)
  endif()
  list(JOIN kinex_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
  # What find_package(kinex) needs for kinex::features (cmake/kinexConfig.cmake.in).
  if(KINEX_WITH_FEATURES)
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "nlohmann-json3-dev, pkg-config, librsvg2-dev, libcairo2-dev")
  endif()
endif()

include(CPack)
