# suite_test(NAME SOURCES... LIBS ...): a GoogleTest binary registered with CTest.
function(suite_test name)
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
