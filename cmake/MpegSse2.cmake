# 32-bit Windows: the decoder's second copy, compiled for SSE2, which
# setup/mpeg/isa_dispatch.cpp picks at run time. Every symbol the copy defines
# gets the prefix vexloSse2_ (cmake/isa-rename.sh), so that no function of it,
# inline or template ones included, can stand in for the plain copy's.
get_target_property(mpeg_dir vexlo_mpeg SOURCE_DIR)
get_target_property(mpeg_sources vexlo_mpeg SOURCES)
set(sse2_sources ${mpeg_dir}/isa_entry.cpp)
foreach(source ${mpeg_sources})
  list(APPEND sse2_sources ${mpeg_dir}/${source})
endforeach()
add_library(vexlo_mpeg_sse2_objects OBJECT ${sse2_sources})
target_include_directories(vexlo_mpeg_sse2_objects PRIVATE ${PROJECT_SOURCE_DIR})
# 32-bit Windows gives 8-byte aligned heap blocks (malloc) and 4-byte aligned
# stacks, while SSE2 code reads its 16-byte aligned members with aligned
# instructions: over-aligned types get the aligned new, and functions realign
# their frames.
target_compile_options(vexlo_mpeg_sse2_objects PRIVATE -msse2 -mfpmath=sse -faligned-new=8
                                                       -mincoming-stack-boundary=2)
vexlo_warnings(vexlo_mpeg_sse2_objects)

set(sse2_library ${CMAKE_CURRENT_BINARY_DIR}/libvexlo_mpeg_sse2.a)
add_custom_command(
  OUTPUT ${sse2_library}
  COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/isa-rename.sh ${CMAKE_OBJCOPY} ${CMAKE_NM}
          ${CMAKE_OBJDUMP} ${CMAKE_AR} vexloSse2_ ${sse2_library}
          $<TARGET_OBJECTS:vexlo_mpeg_sse2_objects>
  DEPENDS vexlo_mpeg_sse2_objects $<TARGET_OBJECTS:vexlo_mpeg_sse2_objects>
          ${CMAKE_CURRENT_LIST_DIR}/isa-rename.sh
  COMMAND_EXPAND_LISTS
  COMMENT "Prefixing the SSE2 copy of the decoder"
  VERBATIM)
add_custom_target(vexlo_mpeg_sse2_library DEPENDS ${sse2_library})
add_library(vexlo_mpeg_sse2 STATIC IMPORTED GLOBAL)
set_target_properties(vexlo_mpeg_sse2 PROPERTIES IMPORTED_LOCATION ${sse2_library}
                                                 INTERFACE_LINK_LIBRARIES vexlo_media)
add_dependencies(vexlo_mpeg_sse2 vexlo_mpeg_sse2_library)

# The plain copy keeps its ConvertToWav under another name; the dispatcher
# takes the public one.
set_source_files_properties(${mpeg_dir}/conversion.cpp DIRECTORY ${mpeg_dir} PROPERTIES
                            COMPILE_DEFINITIONS ConvertToWav=ConvertToWavPlain)
target_sources(vexlo_mpeg PRIVATE ${mpeg_dir}/isa_dispatch.cpp)
target_link_libraries(vexlo_mpeg PUBLIC vexlo_mpeg_sse2)
add_dependencies(vexlo_mpeg vexlo_mpeg_sse2_library)
