# SPDX-License-Identifier: Apache-2.0
# suite_test(NAME SOURCES... LIBS ...): a GoogleTest binary registered with CTest.
# The Windows cross-build has no GoogleTest and skips these.
function(suite_test name)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # The tests' own code is compiled without optimisation: it runs once per
  # test, test files are most of a build, and -O2 takes up to three times as
  # long on them. The code under test keeps the build's optimisation in its
  # own libraries.
  # -fPIC as Qt asks it of its users: every test then shares the flags of
  # the precompiled header.
  target_compile_options(${name} PRIVATE -O0 -fPIC)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  _suite_test_pch()
  target_precompile_headers(${name} REUSE_FROM suite_test_pch)
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# The headers every test file parses, precompiled once per build: GoogleTest,
# gmock and nlohmann-json are a third of a test file's compile time. It is an
# executable so that it is compiled with the tests' own flags, which a
# precompiled header must share with its users (GCC refuses it otherwise,
# and -Winvalid-pch makes that an error under -Werror).
function(_suite_test_pch)
  if(TARGET suite_test_pch)
    return()
  endif()
  find_package(nlohmann_json 3 REQUIRED)
  add_executable(suite_test_pch ${PROJECT_SOURCE_DIR}/cmake/test_pch_main.cpp)
  target_compile_options(suite_test_pch PRIVATE -O0 -fPIC)
  target_link_libraries(suite_test_pch PRIVATE GTest::gtest GTest::gmock nlohmann_json::nlohmann_json
                        Threads::Threads)
  target_precompile_headers(suite_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>
                            <nlohmann/json.hpp> <chrono> <filesystem> <functional> <map> <memory>
                            <optional> <string> <thread> <vector>)
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

# suite_pick_win32_twins(): on Windows, every source foo.cpp of every target
# in the tree that has a foo_win32.cpp beside it is replaced by that file. The
# POSIX and Windows versions share their header, and each folder lists only
# the POSIX names, so adding a file on one side never touches the other side's
# list. The top-level CMakeLists.txt calls it once, after every folder is in.
function(suite_pick_win32_twins)
  if(NOT WIN32)
    return()
  endif()
  _suite_twins_in(${PROJECT_SOURCE_DIR})
endfunction()

function(_suite_twins_in dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(folder ${target} SOURCE_DIR)
    set(chosen)
    foreach(source IN LISTS sources)
      set(path ${source})
      if(NOT IS_ABSOLUTE ${path})
        set(path ${folder}/${source})
      endif()
      string(REGEX REPLACE "\\.cpp$" "_win32.cpp" twin "${path}")
      if(NOT twin STREQUAL path AND EXISTS ${twin})
        list(APPEND chosen ${twin})
      else()
        list(APPEND chosen ${source})
      endif()
    endforeach()
    set_property(TARGET ${target} PROPERTY SOURCES "${chosen}")
  endforeach()
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child IN LISTS children)
    _suite_twins_in(${child})
  endforeach()
endfunction()

# suite_include_root(TARGET FOLDER): TARGET's headers are included as
# "FOLDER/file.h" through an include root of TARGET's own, a folder in the
# build tree holding only a link to FOLDER. Whoever links TARGET sees FOLDER
# and the roots of what TARGET links publicly, nothing else; so a layer that
# includes a layer above it does not compile. (The layers sit below the
# include_directories() of the source root in the top-level CMakeLists.txt.)
function(suite_include_root target folder)
  string(REPLACE "/" "_" root_name ${folder})
  set(root ${PROJECT_BINARY_DIR}/include/${root_name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  set(scope PUBLIC)
  if(type STREQUAL "INTERFACE_LIBRARY")
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()
