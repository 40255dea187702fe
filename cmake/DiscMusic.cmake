# vexlo_disc_music(OUT FOLDER): the MP3s directly in FOLDER, whatever the case
# of their extension (BOSS.MP3 as well as boss.mp3), in name order. The
# installer decodes them all, so the build must measure and copy them all.
function(vexlo_disc_music out folder)
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB candidates LIST_DIRECTORIES false "${folder}/*")
  else()
    file(GLOB candidates CONFIGURE_DEPENDS LIST_DIRECTORIES false "${folder}/*")
  endif()
  set(music)
  foreach(file IN LISTS candidates)
    # A ';' in a name splits it in CMake's lists: say so rather than lose it.
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${folder}: a file name holds ';', which the build cannot take "
                          "(\"${file}\" is a part of it)")
    endif()
    if(file MATCHES "\\.[Mm][Pp]3$")
      list(APPEND music "${file}")
    endif()
  endforeach()
  list(SORT music)
  set(${out} "${music}" PARENT_SCOPE)
endfunction()

# vexlo_disc_content(FOLDER FILES COPIED MUSIC [GAME_NAME name]): what a
# product's content folder puts on the disc and what the installer makes of it.
#   FILES   every file under FOLDER, relative to it ('/' between folders), in
#           name order: the disc takes them all as they are
#   COPIED  those the installer copies as they are (absolute paths): the files
#           at the top, as it makes no sub-folder
#   MUSIC   those it decodes into the game's archive (absolute paths): every
#           .mp3, whatever the case of its extension, in any folder
# The installer's walk skips dot-names, and a top-level name beginning with
# "Setup" is the setup program's own: such files go onto the disc, but into
# neither list. Stops, naming the file, at what the disc or the installer
# cannot take: a name CMake cannot list, a name Windows cannot hold or longer
# than a disc image's 103 characters, a '~' (the installer stops at it), a link
# to a folder. With GAME_NAME, also at a name
# that the assembly writes itself (Setup.exe, AUTORUN.INF, the game, DXSetup).
function(vexlo_disc_content folder files_out copied_out music_out)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "GAME_NAME" "")
  if(NOT IS_DIRECTORY "${folder}")
    message(FATAL_ERROR "${folder}: the folder is missing")
  endif()
  if(folder MATCHES "[][*?]")
    message(FATAL_ERROR "${folder}: the path holds [, ], * or ?, which the build takes for a "
                        "pattern: move or rename the folder")
  endif()
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/*")
  else()
    file(GLOB_RECURSE entries CONFIGURE_DEPENDS LIST_DIRECTORIES true RELATIVE "${folder}"
         "${folder}/*")
  endif()
  set(reserved "setup.exe" "autorun.inf" "dxsetup")
  # What the installer writes in the game's folder beside the copied files.
  set(installer_writes "remove.txt")
  if(DEFINED arg_GAME_NAME)
    string(TOLOWER "${arg_GAME_NAME}" game_lower)
    list(APPEND reserved "${game_lower}")
    list(APPEND installer_writes "${game_lower}.new")
  endif()
  string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31
         127 control)
  set(files)
  set(copied)
  set(music)
  foreach(name IN LISTS entries)
    set(path "${folder}/${name}")
    # A ';' or an unmatched '[' in a name joins list items: the joined
    # item is no file.
    set(brackets "${name}")
    while(brackets MATCHES "\\[[^][]*\\]")
      string(REGEX REPLACE "\\[[^][]*\\]" "" brackets "${brackets}")
    endwhile()
    if((NOT EXISTS "${path}" AND NOT IS_SYMLINK "${path}") OR brackets MATCHES "\\[")
      message(FATAL_ERROR "${folder}: a file name holds ';' or an unmatched '[', which the "
                          "build cannot take (\"${name}\" is a part of it)")
    endif()
    if(name MATCHES "[\\:*?\"<>|]|[.]$|[ ]$|[.]/|[ ]/" OR name MATCHES "[${control}]")
      message(FATAL_ERROR "${path}: a Windows disc cannot hold this name "
                          "(no \\ : * ? \" < > |, control characters, or final dot or space)")
    endif()
    get_filename_component(leaf "${name}" NAME)
    string(LENGTH "${leaf}" leaf_length)
    if(leaf_length GREATER 103)
      message(FATAL_ERROR "${path}: a disc image holds names of at most 103 characters "
                          "(this one has ${leaf_length}): shorten it")
    endif()
    if(name MATCHES "~")
      message(FATAL_ERROR "${path}: the installer stops at a '~' in a file name "
                          "(it takes it for a short name): rename it")
    endif()
    string(REGEX REPLACE "/.*" "" top "${name}")
    string(TOLOWER "${top}" top_lower)
    if(top_lower IN_LIST reserved)
      message(FATAL_ERROR "${path}: the disc's \"${top}\" is made by the build (Setup.exe, "
                          "AUTORUN.INF, ${arg_GAME_NAME}, DXSetup): remove it from the content "
                          "(the DirectX redistributable goes into the product's DXSetup folder)")
    endif()
    if(DEFINED arg_GAME_NAME AND top_lower IN_LIST installer_writes)
      message(FATAL_ERROR "${path}: the installer writes \"${top}\" in the game's folder itself "
                          "(the uninstall list, the game while it is made): rename it")
    endif()
    if(IS_DIRECTORY "${path}")
      if(IS_SYMLINK "${path}")
        message(FATAL_ERROR "${path}: a link to a folder; put the folder itself there")
      endif()
      continue()
    endif()
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "${path}: a link to nothing")
    endif()
    list(APPEND files "${name}")
    if(name MATCHES "(^|/)[.]" OR top_lower MATCHES "^setup")
      continue()
    endif()
    if(name MATCHES "\\.[Mm][Pp]3$")
      list(APPEND music "${path}")
    elseif(NOT name MATCHES "/")
      list(APPEND copied "${path}")
    endif()
  endforeach()
  list(SORT files)
  list(SORT copied)
  list(SORT music)
  set(${files_out} "${files}" PARENT_SCOPE)
  set(${copied_out} "${copied}" PARENT_SCOPE)
  set(${music_out} "${music}" PARENT_SCOPE)
endfunction()

# vexlo_write_if_changed(FILE TEXT): FILE keeps its time when TEXT is what it
# holds, so that what depends on it is not made again. TEXT is written as it
# is (a file name may hold @ or ${}).
function(vexlo_write_if_changed file text)
  file(WRITE "${file}.new" "${text}")
  file(COPY_FILE "${file}.new" "${file}" ONLY_IF_DIFFERENT)
  file(REMOVE "${file}.new")
endfunction()
