# vexlo_disc_assembly(TARGET <name> DISC <folder> PRODUCT <folder> GAME_NAME <name>
#                     SETUP <file> GAME <file> AUTORUN <file> DSETUP <file>
#                     DX_README <file> GUARDED <folders...> DEPENDS <targets...>)
# The target that assembles the disc in DISC (cmake/assemble-disc.cmake): the
# product's content/ as it is, SETUP as Setup.exe, GAME as GAME_NAME,
# AUTORUN.INF, and DXSetup/: the product's DXSetup folder, else the stand-in
# (DSETUP as DXSetup/DSetup.dll, DX_README as DXSetup/DirectX/ReadMe.txt).
# SETUP and DSETUP may be generator expressions; DEPENDS names the targets that
# make them.
#
# The content is globbed at configure time and the globs are checked at every
# build: a file added, dropped or renamed there configures again, and the
# assembly runs again. Sets in the caller:
#   <name>_COPIED  the content files the installer copies as they are
#   <name>_MUSIC   the .mp3 files it decodes (content/ and DXSetup/)
include(${CMAKE_CURRENT_LIST_DIR}/DiscMusic.cmake)
set(VEXLO_ASSEMBLE_DISC_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/assemble-disc.cmake)

function(vexlo_disc_assembly)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
    "TARGET;DISC;PRODUCT;GAME_NAME;SETUP;GAME;AUTORUN;DSETUP;DX_README" "GUARDED;DEPENDS")
  set(content ${arg_PRODUCT}/content)
  vexlo_disc_content(${content} names copied music GAME_NAME "${arg_GAME_NAME}")
  list(TRANSFORM names PREPEND "${content}/" OUTPUT_VARIABLE content_files)

  # The real DirectX redistributable, when the product gives one. (The
  # product folder is globbed so that adding or removing it configures again.)
  file(GLOB product_entries CONFIGURE_DEPENDS LIST_DIRECTORIES true ${arg_PRODUCT}/*)
  set(dxsetup ${arg_PRODUCT}/DXSetup)
  set(dxsetup_files)
  set(dxsetup_music)
  if(IS_DIRECTORY ${dxsetup})
    vexlo_disc_content(${dxsetup} dxsetup_names dxsetup_copied dxsetup_music)
    list(TRANSFORM dxsetup_names PREPEND "${dxsetup}/" OUTPUT_VARIABLE dxsetup_files)
  else()
    set(dxsetup "")
  endif()

  # The names as they stand: a rename or a removal changes no file's time,
  # but this list, which the assembly depends on.
  set(listing ${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}_content.txt)
  string(REPLACE ";" "\n" content_text "${content_files}")
  string(REPLACE ";" "\n" dxsetup_text "${dxsetup_files}")
  vexlo_write_if_changed(${listing}
    "${content_text}\nDXSetup from: ${dxsetup} (else the stand-in)\n${dxsetup_text}\n")

  list(JOIN arg_GUARDED "$<SEMICOLON>" guarded)
  # The product's shortcut titles, for the assembly's warnings about titles
  # two content files would share.
  set(titles)
  if(DEFINED VEXLO_PRODUCT_GameShortcutTitle)
    set(titles "-DGAME_TITLE=${VEXLO_PRODUCT_GameShortcutTitle}"
               "-DREMOVE_TITLE=${VEXLO_PRODUCT_RemoveShortcutTitle}"
               "-DNO_SHORTCUT=${VEXLO_PRODUCT_NoShortcutExtensions}")
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DCONTENT=${content} -DDISC=${arg_DISC} -DSETUP=${arg_SETUP}
            -DGAME=${arg_GAME} -DGAME_NAME=${arg_GAME_NAME} -DAUTORUN=${arg_AUTORUN}
            -DDXSETUP=${dxsetup} -DDSETUP=${arg_DSETUP} -DDX_README=${arg_DX_README}
            "-DGUARDED=${guarded}" ${titles} -DOWNER=${CMAKE_CURRENT_BINARY_DIR}/${arg_TARGET}-folder.txt
            -DSTAMP=${stamp} -P ${VEXLO_ASSEMBLE_DISC_SCRIPT}
    DEPENDS ${arg_DEPENDS} ${arg_GAME} ${listing} ${content_files} ${dxsetup_files}
            ${arg_AUTORUN} ${arg_DX_README} ${VEXLO_ASSEMBLE_DISC_SCRIPT}
            ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/DiscMusic.cmake
    COMMENT "Assembling the disc in ${arg_DISC}"
    VERBATIM)
  add_custom_target(${arg_TARGET} ALL DEPENDS ${stamp})

  list(APPEND music ${dxsetup_music})
  set(${arg_TARGET}_COPIED "${copied}" PARENT_SCOPE)
  set(${arg_TARGET}_MUSIC "${music}" PARENT_SCOPE)
endfunction()
