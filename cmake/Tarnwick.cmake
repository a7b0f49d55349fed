# tw_library(<name> DEPENDS <libs...>)
# One static library per folder, built from every .cpp in it. A folder with no
# sources yet becomes an interface library so that later folders can already
# name it as a dependency.
function(tw_library name)
  cmake_parse_arguments(TW "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${TW_DEPENDS})
    if(TW_UNITY)
      set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${TW_DEPENDS})
  endif()
endfunction()

# tw_tests(<name> [NO_STARTUP] DEPENDS <libs...>)
# One GoogleTest executable per test folder, built from every .cpp in it, with
# the shared test support; NO_STARTUP leaves out the start-up environment (and
# with it the window layer) for binaries below it.
function(tw_tests name)
  cmake_parse_arguments(TW "NO_STARTUP" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${TW_DEPENDS} tw_test_support GTest::gtest GTest::gtest_main)
  if(NOT TW_NO_STARTUP)
    target_link_libraries(${name} PRIVATE tw_test_startup)
  endif()
  # Tests that read shipped files find them in the source tree.
  target_compile_definitions(${name} PRIVATE TW_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(TW_UNITY)
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()
