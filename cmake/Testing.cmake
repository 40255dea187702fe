# GoogleTest for both worlds: Debian's prebuilt library natively, and the
# googletest source package compiled with the mingw toolchain for Windows.
# Windows tests run through wine64 as the cross-compiling emulator.
if(NOT BUILD_TESTING)
  return()
endif()

if(WIN32)
  set(VEXLO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VEXLO_WINE /usr/lib/wine/wine)
    set(VEXLO_WINEARCH win32)
  else()
    set(VEXLO_WINE /usr/lib/wine/wine64)
    set(VEXLO_WINEARCH win64)
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Where the toolchain compiles what ships with another thread model than the
  # tests need, every target of tests/ and GoogleTest is compiled and linked
  # through a launcher that swaps in the tests' compiler (vexlo_test_compilers).
  if(VEXLO_TEST_THREAD_MODEL AND NOT VEXLO_TEST_THREAD_MODEL STREQUAL MINGW_THREAD_MODEL)
    # The compiler cache only where one was found: a missing ccache is no error.
    set(VEXLO_CCACHE_OR_NOTHING "")
    if(VEXLO_CCACHE)
      set(VEXLO_CCACHE_OR_NOTHING "${VEXLO_CCACHE}")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/test-compiler.sh.in ${CMAKE_BINARY_DIR}/test-compiler
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                          GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(VEXLO_TEST_COMPILER ${CMAKE_BINARY_DIR}/test-compiler)
  endif()
  macro(vexlo_test_compilers)
    if(VEXLO_TEST_COMPILER)
      set(CMAKE_C_COMPILER_LAUNCHER ${VEXLO_TEST_COMPILER})
      set(CMAKE_CXX_COMPILER_LAUNCHER ${VEXLO_TEST_COMPILER})
      set(CMAKE_C_LINKER_LAUNCHER ${VEXLO_TEST_COMPILER})
      set(CMAKE_CXX_LINKER_LAUNCHER ${VEXLO_TEST_COMPILER})
    endif()
  endmacro()
  block()
    vexlo_test_compilers()
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  endblock()
else()
  find_package(GTest REQUIRED)
  macro(vexlo_test_compilers)
  endmacro()
endif()
include(GoogleTest)

# vexlo_test(NAME sources... LIBS libs...)
# Natively every test case becomes its own CTest entry. Under Wine a whole
# binary is one entry: each start of a Windows process costs a second or so.
# Wine tests run two at a time, and each takes the lock of the prefix's shared
# state (its registry, C:\Games, the Start Menu, the windows on the one
# display) unless VEXLO_WINE_TESTS_SHARING_NOTHING names it.
function(vexlo_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  vexlo_warnings(${name})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(${name} PROPERTIES LABELS "wine;${T_LABELS}" TIMEOUT 600)
    if(NOT name IN_LIST VEXLO_WINE_TESTS_SHARING_NOTHING)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wineprefix)
    endif()
  else()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                         PROPERTIES LABELS "native;${T_LABELS}" DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

