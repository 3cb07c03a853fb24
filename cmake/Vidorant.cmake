# Each library sees only the folders it depends on: its include root holds a link to its own
# folder and nothing else, and a dependency's root reaches it through target_link_libraries. So a
# header of gif/ cannot include one of engine/ by accident; the compiler says so.
function(vidorant_include_root target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${target}_INCLUDE_ROOT ${root} PARENT_SCOPE)
endfunction()

# vidorant_library(NAME DEPS ...): one static library per source folder, made of every .cpp in
# the folder. The folder's headers are its interface; other folders include them by path from
# the source root ("gif/GIFImage.h").
function(vidorant_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  vidorant_include_root(${name} ${folder})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_include_directories(${name} PUBLIC ${${name}_INCLUDE_ROOT})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    target_include_directories(${name} INTERFACE ${${name}_INCLUDE_ROOT})
  endif()
endfunction()

# The test programs and their helpers include each other by path from the source root
# ("tests/fixtures/TestVideo.h"); they see the tests tree and, through their libraries, the
# folders they test.
function(vidorant_test_includes target)
  vidorant_include_root(vidorant_tests tests)
  target_include_directories(${target} PRIVATE ${vidorant_tests_INCLUDE_ROOT})
endfunction()

# vidorant_test(NAME DEPS ...): one GoogleTest program made of every .cpp in the folder; each
# test case becomes a ctest entry.
function(vidorant_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  vidorant_test_includes(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300
    ENVIRONMENT "VIDORANT_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
