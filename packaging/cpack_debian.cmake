# SPDX-License-Identifier: Apache-2.0
# CPack: one Debian package per component, named and split as Debian names
# its own (the run-time library by its soname, its -dev package, the console
# tools, the windows). `./build.sh package` runs it on build/.
set(deb_revision 1)
set(deb_version ${PROJECT_VERSION}-${deb_revision})
set(lib_package liblumetra${PROJECT_VERSION_MAJOR})

set(components runtime dev tools)
if(TARGET Veltrin OR TARGET Fennick OR TARGET Zorrel)
  list(APPEND components gui)
endif()
if(TARGET unitfleetd)
  list(APPEND components fleetd)
endif()
set(package_runtime ${lib_package})
set(package_dev liblumetra-dev)
set(package_tools unitsuite-tools)
set(package_gui unitsuite-gui)
set(package_fleetd unitsuite-fleetd)

# Every package carries its copyright file and a compressed changelog in
# /usr/share/doc/<package>/.
configure_file(debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/changelog > ${changelog}
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${changelog})
foreach(component IN LISTS components)
  install(FILES debian/copyright ${changelog}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package_${component}} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME unitsuite)
set(CPACK_PACKAGE_VENDOR "Unit Suite maintainers")
set(CPACK_PACKAGE_CONTACT "Unit Suite maintainers <maintainers@unitsuite.dev>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${deb_revision})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the suite's own library for the programs that link it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lumetra)
# The library package gets a shlibs file.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${package_runtime})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The ldconfig trigger Debian expects of a library package (CPack itself
# only adds ldconfig calls to postinst and postrm).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/liblumetra/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "client library for networked data-collection units
Lumetra reads and sets the modes of shop-floor and point-of-sale terminals
(units) over their TCP configuration port, and pushes texts, images, files
and serial-port settings to them, through a C API.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${package_dev})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${lib_package} (= ${deb_version})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
  "client library for networked data-collection units (development files)
The C header lumetra/lumetra.h, the link to the library, a pkg-config file
(lumetra) and a CMake package (find_package(Lumetra), target
Lumetra::Lumetra) for programs that use the Lumetra library.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${package_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "console tools for networked data-collection units
Tarnix lists and sets a unit's modes, probe and Drosk ask a unit for its
status once or every few seconds, Hobsel and Mibbet are host servers that
answer units' barcodes and queries, unitsim simulates units (one or a
thousand), and unitfleet backs up, compares and sets many units at once.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME ${package_gui})
set(CPACK_DEBIAN_GUI_PACKAGE_SECTION net)
# Veltrin loads the library at run time, so no linker records it.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "${lib_package} (>= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_GUI_DESCRIPTION
  "windows for networked data-collection units
Veltrin edits a unit's modes in a grid, Fennick sets a unit's second serial
port, and Zorrel runs a small host server started and stopped from its
window.")

set(CPACK_DEBIAN_FLEETD_PACKAGE_NAME ${package_fleetd})
set(CPACK_DEBIAN_FLEETD_PACKAGE_SECTION net)
set(CPACK_DEBIAN_FLEETD_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_FLEETD_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/fleetd/conffiles ${CMAKE_CURRENT_SOURCE_DIR}/debian/fleetd/postinst
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/fleetd/prerm ${CMAKE_CURRENT_SOURCE_DIR}/debian/fleetd/postrm)
set(CPACK_COMPONENT_FLEETD_DESCRIPTION
  "fleet of data-collection units as a service
unitfleetd serves the units of an inventory over HTTPS: a JSON API with an
OpenAPI document, Prometheus metrics, jobs with live progress, users with
roles, API tokens and an audit log, kept in SQLite. It runs under systemd as
its own user with a hardened unit.")

include(CPack)
