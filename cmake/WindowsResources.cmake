# SPDX-License-Identifier: Apache-2.0
# "3.04" -> "3,4" and "6.20" -> "6,20": the numbers of the binary record.
function(suite_version_numbers text out)
  string(REPLACE "." ";" parts "${text}")
  list(GET parts 0 major)
  list(GET parts 1 minor)
  math(EXPR minor "${minor}")
  set(${out} "${major},${minor}" PARENT_SCOPE)
endfunction()

# suite_windows_resources(TARGET DESCRIPTION text [WINDOW] [VERSION x.yy]
#                         [PRODUCT_VERSION x.yy]):
# a version record on a program or library of the Windows build (product
# "Unit Suite" at the suite's version; VERSION and PRODUCT_VERSION where a
# program's record gives versions of its own), and for a WINDOW also the suite's icon (resource 1, the
# same artwork as the Linux desktop entries) and the application manifest
# (common controls 6, per-monitor DPI awareness, the system code page).
function(suite_windows_resources target)
  cmake_parse_arguments(ARG "WINDOW" "DESCRIPTION;VERSION;PRODUCT_VERSION" "" ${ARGN})
  set(suite_version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
  if(NOT ARG_VERSION)
    set(ARG_VERSION "${suite_version}")
  endif()
  if(NOT ARG_PRODUCT_VERSION)
    set(ARG_PRODUCT_VERSION "${suite_version}")
  endif()
  get_target_property(type ${target} TYPE)
  set(SUITE_RC_NAME ${target})
  if(type STREQUAL "SHARED_LIBRARY")
    set(SUITE_RC_FILE ${target}.dll)
    set(SUITE_RC_FILE_TYPE VFT_DLL)
  else()
    set(SUITE_RC_FILE ${target}.exe)
    set(SUITE_RC_FILE_TYPE VFT_APP)
  endif()
  set(SUITE_RC_DESCRIPTION "${ARG_DESCRIPTION}")
  set(SUITE_RC_FILE_VERSION "${ARG_VERSION}")
  set(SUITE_RC_PRODUCT_VERSION "${ARG_PRODUCT_VERSION}")
  suite_version_numbers("${ARG_VERSION}" SUITE_RC_FILE_VERSION_COMMAS)
  suite_version_numbers("${ARG_PRODUCT_VERSION}" SUITE_RC_PRODUCT_VERSION_COMMAS)
  set(SUITE_RC_EXTRA "")
  if(ARG_WINDOW)
    set(SUITE_RC_EXTRA
      "1 ICON \"${PROJECT_SOURCE_DIR}/packaging/icons/unitsuite.ico\"\n1 24 \"${PROJECT_SOURCE_DIR}/ui/win32/app.manifest\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(ARG_WINDOW)
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS
      "${PROJECT_SOURCE_DIR}/packaging/icons/unitsuite.ico;${PROJECT_SOURCE_DIR}/ui/win32/app.manifest")
  endif()
endfunction()
