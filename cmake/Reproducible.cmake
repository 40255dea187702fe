# The same commit gives the same bytes, whenever and wherever it is built.
#
# No build path in any output: file names that reach the objects (__FILE__,
# debug info) are made relative to the source and build folders.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
# ccache (with its base_dir) hands the compiler the source as a path relative
# to the object's folder, "../../../../setup/shell/x.cpp", whose depth depends
# on where the build folder is. The build folders are inside the source tree,
# so dropping the leading "../" gives the same name as the map above. Of
# several maps the last that matches wins: the longest comes last.
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(parents "")
  foreach(depth RANGE 1 16)
    string(APPEND parents "../")
    add_compile_options(-ffile-prefix-map=${parents}=)
  endforeach()
endif()

if(WIN32)
  # The PE header and the export directory carry a time stamp. The linker takes
  # it from SOURCE_DATE_EPOCH; the wrapper sets that from the commit's time
  # unless the caller already set it.
  set(VEXLO_SOURCE_DATE_LINK ${CMAKE_CURRENT_LIST_DIR}/source-date-link.sh)
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER sh ${VEXLO_SOURCE_DATE_LINK} ${CMAKE_SOURCE_DIR})
  endforeach()
  # The runtime's own objects bring debug info that names the toolchain's
  # build folders: the 32-bit disc build carries none (the 64-bit test build
  # keeps its symbols for Wine's backtraces).
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    add_link_options($<$<CONFIG:Release>:-s>)
  endif()
endif()
