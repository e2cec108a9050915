# suite_test(NAME SOURCES... LIBS ...): a GoogleTest binary registered with CTest.
# The Windows cross-build has no GoogleTest and skips these.
function(suite_test name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt: each
# program keeps its share of tests/, bench/ and fuzz/ in a folder of its own,
# so nobody edits a shared list.
function(suite_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# suite_use_win32_sources(TARGET): on Windows, every source foo.cpp of TARGET
# that has a foo_win32.cpp beside it is replaced by that file. The POSIX and
# Windows versions share their header, and each folder lists only the POSIX
# names, so adding a file on one side never touches the other side's list.
function(suite_use_win32_sources target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(chosen)
  foreach(source IN LISTS sources)
    string(REGEX REPLACE "\\.cpp$" "_win32.cpp" windows_source "${source}")
    if(NOT windows_source STREQUAL source AND EXISTS ${folder}/${windows_source})
      list(APPEND chosen ${windows_source})
    else()
      list(APPEND chosen ${source})
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES SOURCES "${chosen}")
endfunction()
