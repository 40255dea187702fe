# Assembles the disc a publisher burns, run by the build as cmake -P with
#   CONTENT    the product's content folder: onto the disc as it is
#   DISC       the disc folder: emptied, then filled afresh, so that a file
#              dropped from (or renamed in) the content is not burnt
#   SETUP      Setup.exe
#   GAME       the prepared game executable, put on the disc as GAME_NAME
#   AUTORUN    AUTORUN.INF
#   DXSETUP    the product's DirectX redistributable folder, copied as it is
#              to DXSetup/ when it exists; otherwise the stand-in:
#   DSETUP     DSetup.dll and
#   DX_README  DXSetup/DirectX/ReadMe.txt
#   GUARDED    folders the disc may be neither nor hold (the source tree, the
#              product, the build folder), ';'-separated
#   OWNER      a file beside the build that records the disc folder it fills:
#              only that folder, an empty one or one that holds an assembled
#              disc (Setup.exe and AUTORUN.INF) is ever emptied
#   STAMP      touched when done
# and optionally, for the warnings about shortcut titles (the product's
# GameShortcutTitle, RemoveShortcutTitle and NoShortcutExtensions):
#   GAME_TITLE, REMOVE_TITLE, NO_SHORTCUT
# The content files the installer will not install, and the shortcut titles
# two files would share, are named in a block of warnings each: the disc is
# still assembled, as such files may be meant for the disc alone.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/DiscMusic.cmake)

# The content files that are on the disc but that the installer leaves there:
# what vexlo_disc_content found neither copied nor decoded, with the reason.
function(report_not_installed content files copied music)
  set(lines "")
  foreach(name IN LISTS files)
    if("${content}/${name}" IN_LIST copied OR "${content}/${name}" IN_LIST music)
      continue()
    endif()
    if(name MATCHES "^[Ss][Ee][Tt][Uu][Pp]")
      set(why "a name beginning with \"Setup\" is the setup program's own")
    elseif(name MATCHES "(^|/)[.]")
      set(why "a name beginning with \".\" is not seen by the installer")
    else()
      string(CONCAT why "in a sub-folder: the installer makes no folder, and takes only the "
             ".mp3 files of sub-folders")
    endif()
    string(APPEND lines "\n  ${name}   (${why})")
  endforeach()
  if(NOT lines STREQUAL "")
    message(WARNING "These content files go onto the disc but will not be installed:${lines}\n"
                    "Move a file to the top of content/ (or rename it) to have it installed.")
  endif()
endfunction()

# Two installed files whose shortcuts would have one title: the installer
# gives the game's and the removal's titles to those alone, and tells any
# other file apart by its whole name (or makes none when that is taken too).
function(report_shortcut_titles copied)
  set(extensions "")
  if(DEFINED NO_SHORTCUT)
    string(REGEX MATCHALL "[^ ]+" extensions "${NO_SHORTCUT}")
    list(TRANSFORM extensions TOLOWER)
  endif()
  string(TOLOWER "${GAME_TITLE}" game_title)
  string(TOLOWER "${REMOVE_TITLE}" remove_title)
  set(titles "")
  set(owners "")
  set(lines "")
  foreach(path IN LISTS copied)
    get_filename_component(name "${path}" NAME)
    string(TOLOWER "${name}" lower)
    set(skip FALSE)
    foreach(extension IN LISTS extensions)
      string(LENGTH "${extension}" length)
      string(LENGTH "${lower}" name_length)
      if(name_length GREATER_EQUAL length)
        math(EXPR at "${name_length} - ${length}")
        string(SUBSTRING "${lower}" ${at} -1 tail)
        if(tail STREQUAL extension)
          set(skip TRUE)
        endif()
      endif()
    endforeach()
    if(skip)
      continue()
    endif()
    string(REGEX REPLACE "[.][^.]*$" "" title "${name}")
    string(TOLOWER "${title}" title_lower)
    if(title_lower STREQUAL game_title)
      string(APPEND lines "\n  ${name}: \"${title}\" is the game's shortcut; this file's is "
                          "titled \"${name}\"")
    elseif(title_lower STREQUAL remove_title)
      string(APPEND lines "\n  ${name}: \"${title}\" is the removal's shortcut; this file's is "
                          "titled \"${name}\"")
    else()
      list(FIND titles "${title_lower}" at)
      if(at EQUAL -1)
        list(APPEND titles "${title_lower}")
        list(APPEND owners "${name}")
      else()
        list(GET owners ${at} first)
        string(APPEND lines "\n  ${first} and ${name} would both be \"${title}\": the one the "
                            "installer meets second is titled by its whole name (none if that "
                            "is taken too)")
      endif()
    endif()
  endforeach()
  if(NOT lines STREQUAL "")
    message(WARNING "These Start Menu shortcuts would share a title:${lines}\n"
                    "Rename a file to give its shortcut a title of its own.")
  endif()
endfunction()

foreach(required CONTENT DISC SETUP GAME GAME_NAME AUTORUN OWNER STAMP)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "assemble-disc.cmake: ${required} is not given")
  endif()
endforeach()
foreach(input "${SETUP}" "${GAME}" "${AUTORUN}")
  if(NOT EXISTS "${input}")
    message(FATAL_ERROR "${input}: missing, the disc cannot be assembled")
  endif()
endforeach()
if(NOT GAME_NAME MATCHES "^[^/\\:*?\"<>|]+$")
  message(FATAL_ERROR "\"${GAME_NAME}\" cannot be a file name on the disc")
endif()
set(use_dxsetup FALSE)
if(DEFINED DXSETUP AND NOT DXSETUP STREQUAL "" AND IS_DIRECTORY "${DXSETUP}")
  set(use_dxsetup TRUE)
elseif(NOT EXISTS "${DSETUP}" OR NOT EXISTS "${DX_README}")
  message(FATAL_ERROR "no DXSetup folder and no stand-in (DSETUP, DX_README)")
endif()

# Everything is checked before anything is deleted.
vexlo_disc_content("${CONTENT}" files copied music GAME_NAME "${GAME_NAME}")
report_not_installed("${CONTENT}" "${files}" "${copied}" "${music}")
if(DEFINED GAME_TITLE AND DEFINED REMOVE_TITLE)
  report_shortcut_titles("${copied}")
endif()
if(use_dxsetup)
  vexlo_disc_content("${DXSETUP}" dx_files dx_copied dx_music)
endif()

get_filename_component(disc "${DISC}" ABSOLUTE)
file(REAL_PATH "${disc}" disc_real)
foreach(folder IN LISTS GUARDED CONTENT DXSETUP)
  if(folder STREQUAL "")
    continue()
  endif()
  file(REAL_PATH "${folder}" folder_real)
  if(disc_real STREQUAL folder_real)
    message(FATAL_ERROR "the disc folder ${DISC} is ${folder}: choose another (VEXLO_DISC_DIR)")
  endif()
  string(FIND "${folder_real}/" "${disc_real}/" at)
  if(at EQUAL 0)
    message(FATAL_ERROR "the disc folder ${DISC} holds ${folder}, and is emptied by every "
                        "assembly: choose another (VEXLO_DISC_DIR)")
  endif()
  string(FIND "${disc_real}/" "${folder_real}/" at)
  if(at EQUAL 0 AND (folder STREQUAL CONTENT OR folder STREQUAL DXSETUP))
    message(FATAL_ERROR "the disc folder ${DISC} lies inside ${folder}, which goes onto the "
                        "disc: choose another (VEXLO_DISC_DIR)")
  endif()
endforeach()

if(IS_DIRECTORY "${disc}")
  file(GLOB old_entries LIST_DIRECTORIES true "${disc}/*")
  set(owner "")
  if(EXISTS "${OWNER}")
    file(READ "${OWNER}" owner)
  endif()
  if(old_entries AND NOT owner STREQUAL disc_real AND
     NOT (EXISTS "${disc}/Setup.exe" AND EXISTS "${disc}/AUTORUN.INF"))
    message(FATAL_ERROR "the disc folder ${DISC} holds files that no assembly put there, and "
                        "every assembly empties it: empty it, or choose another (VEXLO_DISC_DIR)")
  endif()
elseif(EXISTS "${disc}")
  message(FATAL_ERROR "the disc folder ${DISC} is a file")
endif()
file(WRITE "${OWNER}" "${disc_real}")

# Emptied, not removed: the folder may be a mount point or shared. A link in
# it is removed, never what it points at.
file(MAKE_DIRECTORY "${disc}")
file(GLOB old_entries LIST_DIRECTORIES true "${disc}/*")
foreach(entry IN LISTS old_entries)
  file(REMOVE_RECURSE "${entry}")
endforeach()

# copy_tree(FROM TO FILES): the relative FILES of FROM under TO, links read
# through (the disc holds their files).
function(copy_tree from to)
  foreach(name IN LISTS ARGN)
    get_filename_component(parent "${to}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(COPY_FILE "${from}/${name}" "${to}/${name}")
  endforeach()
endfunction()

copy_tree("${CONTENT}" "${disc}" ${files})
file(COPY_FILE "${SETUP}" "${disc}/Setup.exe")
file(COPY_FILE "${GAME}" "${disc}/${GAME_NAME}")
file(COPY_FILE "${AUTORUN}" "${disc}/AUTORUN.INF")
if(use_dxsetup)
  file(MAKE_DIRECTORY "${disc}/DXSetup")
  copy_tree("${DXSETUP}" "${disc}/DXSetup" ${dx_files})
else()
  file(MAKE_DIRECTORY "${disc}/DXSetup/DirectX")
  file(COPY_FILE "${DSETUP}" "${disc}/DXSetup/DSetup.dll")
  file(COPY_FILE "${DX_README}" "${disc}/DXSetup/DirectX/ReadMe.txt")
endif()
file(TOUCH "${STAMP}")
