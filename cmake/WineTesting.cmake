# Every test program runs under Wine in a prefix inside the build tree.
set(BRELIO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(BRELIO_SCRATCH "${CMAKE_BINARY_DIR}/scratch")
set(BRELIO_WINE_PREPARE "${CMAKE_BINARY_DIR}/wine-prepare.sh")
set(BRELIO_WINE_DISPLAY_REG "${CMAKE_CURRENT_LIST_DIR}/wine-display.reg")
file(MAKE_DIRECTORY "${BRELIO_SCRATCH}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-prepare.sh.in "${BRELIO_WINE_PREPARE}" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in "${CMAKE_BINARY_DIR}/wine-run.sh" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run.sh")

# GoogleTest from Debian's sources, built with the cross compiler.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
include(GoogleTest)

find_program(BRELIO_PYTHON python3 REQUIRED)

# brelio_add_gtest(name SOURCES ... LIBS ... [STANDIN] [PROPERTIES ...])
# STANDIN: the tests talk to the service stand-in. PROPERTIES: further ctest
# properties, such as RESOURCE_LOCK for tests that share the registry.
function(brelio_add_gtest name)
  cmake_parse_arguments(ARG "STANDIN" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  # A warning of the linker is a loss: two string tables with clashing
  # blocks, say, leave one block out of the program with only a warning.
  target_link_options(${name} PRIVATE -Wl,--fatal-warnings)
  set(_props FAIL_REGULAR_EXPRESSION "wine: Unhandled" TIMEOUT 600)
  if(ARG_STANDIN)
    list(APPEND _props FIXTURES_REQUIRED standin)
  endif()
  list(APPEND _props ${ARG_PROPERTIES})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${_props})
endfunction()

# ctest fixtures for every test of a program: brelio_add_gtest's
# PROPERTIES cannot carry a list, so they are set once the tests are known.
function(brelio_tests_require target)
  set(_file "${CMAKE_CURRENT_BINARY_DIR}/${target}_fixtures.cmake")
  file(WRITE "${_file}"
    "if(${target}_TESTS)\n  set_tests_properties(\${${target}_TESTS} PROPERTIES FIXTURES_REQUIRED \"${ARGN}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_file}")
endfunction()
