# The mingw-w64 C runtime for the 32-bit disc programs, compiled for the 486.
# Debian's copy (mingw-w64-i686-dev) is compiled for the Pentium Pro: its
# startup code (crt2.o) alone holds a cmove that runs at every program start,
# and libmingwex's printf and maths hold hundreds more. The same source, of
# the version the installed headers are (fetched by tools/install-deps.sh
# into /usr/src/mingw-w64-<version>), configured as Debian does, is compiled
# here with the disc's instruction set.
#
# vexlo_mingw_crt(FOLDER): builds crt2.o, dllcrt2.o, libmingw32.a,
# libmingwex.a, libmoldname.a and crtdll's import library (as libmsvcrt.a:
# every reference the runtime makes binds to crtdll.dll) into FOLDER, and
# defines the target vexlo_mingw_crt that makes them. A program links them by
# -B FOLDER/ (start files) and -L FOLDER (libraries), searched before the
# toolchain's own.
function(vexlo_mingw_crt folder)
  file(STRINGS ${CMAKE_FIND_ROOT_PATH}/include/_mingw_mac.h version_lines
       REGEX "^#define __MINGW64_VERSION_(MAJOR|MINOR|BUGFIX) ")
  set(version "")
  foreach(part MAJOR MINOR BUGFIX)
    foreach(line ${version_lines})
      if(line MATCHES "__MINGW64_VERSION_${part} +([0-9]+)")
        list(APPEND version ${CMAKE_MATCH_1})
      endif()
    endforeach()
  endforeach()
  list(JOIN version "." version)
  # (-DVEXLO_MINGW_CRT_SOURCE=folder names another; by default it follows the
  # installed headers' version, also after an upgrade.)
  set(source /usr/src/mingw-w64-${version}/mingw-w64-crt)
  if(VEXLO_MINGW_CRT_SOURCE)
    set(source ${VEXLO_MINGW_CRT_SOURCE})
  endif()
  if(NOT EXISTS ${source}/configure)
    message(FATAL_ERROR "No mingw-w64 ${version} C runtime source in ${source}: tools/install-deps.sh "
                        "fetches it (apt-get source mingw-w64)")
  endif()
  set(work ${CMAKE_CURRENT_BINARY_DIR}/mingw-crt-build)
  set(products crt2.o dllcrt2.o libmingw32.a libmingwex.a libmoldname.a libcrtdll.a)
  set(outputs)
  foreach(product ${products})
    if(product STREQUAL "libcrtdll.a")
      list(APPEND outputs ${folder}/libmsvcrt.a)
    else()
      list(APPEND outputs ${folder}/${product})
    endif()
  endforeach()
  # No build folder in what is made: names that reach the objects are made
  # relative to the source and build folders.
  list(JOIN VEXLO_ISA_FLAGS " " isa)
  set(cflags "-O2 ${isa} -ffile-prefix-map=${source}/=mingw-w64-crt/ -ffile-prefix-map=${work}/=")
  set(cc ${CMAKE_C_COMPILER})
  if(VEXLO_CCACHE)
    set(cc "${VEXLO_CCACHE} ${CMAKE_C_COMPILER}")
  endif()
  # One runtime for every 32-bit build tree of this checkout (build-mingw-crt.sh
  # keeps it by what it is made from); an empty VEXLO_MINGW_CRT_CACHE builds
  # it in each tree.
  set(VEXLO_MINGW_CRT_CACHE ${PROJECT_SOURCE_DIR}/build/mingw-crt
      CACHE PATH "Where the 486 C runtime is kept for every build tree of this checkout")
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND sh ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/build-mingw-crt.sh ${source} ${work} ${folder}
            ${MINGW_TRIPLE} ${cc} ${cflags} "${VEXLO_MINGW_CRT_CACHE}"
    DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_FILE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/build-mingw-crt.sh
            ${source}/configure
    COMMENT "Building the mingw-w64 ${version} C runtime for the 486"
    VERBATIM)
  add_custom_target(vexlo_mingw_crt DEPENDS ${outputs})
  set(VEXLO_MINGW_CRT_OUTPUTS ${outputs} PARENT_SCOPE)
endfunction()
