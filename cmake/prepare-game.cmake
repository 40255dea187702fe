# Prepares the game executable for the disc (script mode):
#
#   cmake -DARCHIVE_TOOL=vexlo-archive -DGAME_IN=game.exe -DGAME_OUT=out/Game.exe
#         -DUNINSTALLER=UninstDemo.exe -DUNINSTALLER_MEMBER=UninstDemo.exe
#         [-DMEMBERS_DIR=product/members] -P prepare-game.cmake
#
# Copies GAME_IN to GAME_OUT.part; gives it an empty archive when it ends in
# none; adds every file of MEMBERS_DIR under its relative name ('/' between
# folders) and then the uninstaller as UNINSTALLER_MEMBER, each replacing a
# member of that name (A-Z without case) that the game already carries; takes
# out an uninstall list (Remove.txt) left from an installed copy, since the
# install appends the list of its own; renames the result to GAME_OUT.
# Preparing a prepared executable again gives the same members. Any failure
# stops with a message naming the file; GAME_OUT is then left as it was.

cmake_minimum_required(VERSION 3.25)

foreach(variable ARCHIVE_TOOL GAME_IN GAME_OUT UNINSTALLER UNINSTALLER_MEMBER)
  if("${${variable}}" STREQUAL "")
    message(FATAL_ERROR "prepare-game: ${variable} is not given")
  endif()
endforeach()

set(list_member "Remove.txt")
set(part "${GAME_OUT}.part")

function(fail file text)
  file(REMOVE "${part}")
  message(FATAL_ERROR "prepare-game: ${file}: ${text}")
endfunction()

# Runs the archive tool on the copy; its own message names the file.
function(archive_tool)
  execute_process(COMMAND "${ARCHIVE_TOOL}" ${ARGN} RESULT_VARIABLE result
                  OUTPUT_VARIABLE output ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    string(STRIP "${error}" error)
    fail("${GAME_IN}" "cannot be prepared as ${GAME_OUT}: ${error} (${result})")
  endif()
  set(tool_output "${output}" PARENT_SCOPE)
endfunction()

# The member names of the copy, lower-cased, in members_lower.
function(read_members)
  archive_tool(list "${part}")
  string(TOLOWER "${tool_output}" listing)
  string(REGEX REPLACE "(^|\n)[0-9]+ " "\\1" listing "${listing}")
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" listing "${listing}")
  set(members_lower "${listing}" PARENT_SCOPE)
endfunction()

if(NOT EXISTS "${GAME_IN}" OR IS_DIRECTORY "${GAME_IN}")
  message(FATAL_ERROR "prepare-game: ${GAME_IN}: no such file")
endif()
if(NOT EXISTS "${UNINSTALLER}" OR IS_DIRECTORY "${UNINSTALLER}")
  message(FATAL_ERROR "prepare-game: ${UNINSTALLER}: no such file")
endif()
string(TOLOWER "${UNINSTALLER_MEMBER}" uninstaller_lower)
if(uninstaller_lower STREQUAL "remove.txt")
  message(FATAL_ERROR "prepare-game: UNINSTALLER_MEMBER must not be ${list_member}, the "
                      "install's uninstall list")
endif()

# What goes in: the product's members, then the uninstaller.
set(sources)
set(names)
if(NOT "${MEMBERS_DIR}" STREQUAL "")
  if(NOT IS_DIRECTORY "${MEMBERS_DIR}")
    message(FATAL_ERROR "prepare-game: ${MEMBERS_DIR}: no such folder")
  endif()
  file(GLOB_RECURSE member_files LIST_DIRECTORIES false RELATIVE "${MEMBERS_DIR}"
       "${MEMBERS_DIR}/*")
  list(SORT member_files)
  foreach(name IN LISTS member_files)
    if(NOT EXISTS "${MEMBERS_DIR}/${name}")
      message(FATAL_ERROR "prepare-game: ${MEMBERS_DIR}: a file name with ';' in it cannot "
                          "be a member (near \"${name}\")")
    endif()
    string(TOLOWER "${name}" name_lower)
    if(name_lower STREQUAL "remove.txt")
      message(FATAL_ERROR "prepare-game: ${MEMBERS_DIR}/${name}: the install writes the "
                          "uninstall list under this name; rename the file")
    endif()
    if(name_lower STREQUAL uninstaller_lower)
      message(FATAL_ERROR "prepare-game: ${MEMBERS_DIR}/${name}: the uninstaller goes into "
                          "the game under this name; rename the file")
    endif()
    list(APPEND sources "${MEMBERS_DIR}/${name}")
    list(APPEND names "${name}")
  endforeach()
endif()
list(APPEND sources "${UNINSTALLER}")
list(APPEND names "${UNINSTALLER_MEMBER}")

get_filename_component(out_folder "${GAME_OUT}" DIRECTORY)
if(NOT out_folder STREQUAL "")
  file(MAKE_DIRECTORY "${out_folder}")
endif()
file(REMOVE "${part}")
file(COPY_FILE "${GAME_IN}" "${part}" RESULT copied)
if(NOT copied EQUAL 0)
  fail("${GAME_IN}" "cannot be copied to ${part}: ${copied}")
endif()

# An archive's end record is the file's last 22 bytes, under either signature.
file(SIZE "${part}" size)
set(signature "")
if(size GREATER_EQUAL 22)
  math(EXPR tail "${size} - 22")
  file(READ "${part}" signature OFFSET ${tail} LIMIT 4 HEX)
endif()
if(NOT signature STREQUAL "504b0506" AND NOT signature STREQUAL "515a0506")
  # An archive with a comment ends in its end record plus the comment: the
  # setup program looks for the record only in the last 22 bytes, so a
  # second, empty archive would hide every member of the first. Refused.
  set(window 65557)
  if(size LESS window)
    set(window ${size})
  endif()
  math(EXPR tail "${size} - ${window}")
  file(READ "${part}" last_bytes OFFSET ${tail} LIMIT ${window} HEX)
  foreach(end_signature 504b0506 515a0506)
    string(FIND "${last_bytes}" "${end_signature}" at REVERSE)
    math(EXPR odd "${at} % 2")
    if(at GREATER_EQUAL 0 AND odd EQUAL 0)
      math(EXPR length_at "${at} + 40")
      string(SUBSTRING "${last_bytes}" ${length_at} 4 comment_hex)
      string(SUBSTRING "${comment_hex}" 0 2 low)
      string(SUBSTRING "${comment_hex}" 2 2 high)
      math(EXPR comment_length "0x${high}${low}")
      math(EXPR record_end "${at} / 2 + 22 + ${comment_length}")
      if(record_end EQUAL window AND comment_length GREATER 0)
        fail("${GAME_IN}" "ends in an archive with a comment of ${comment_length} bytes, which "
                          "the setup program cannot read; remove the comment (zip -z)")
      endif()
    endif()
  endforeach()
  archive_tool(init "${part}")
endif()

read_members()
if("remove.txt" IN_LIST members_lower)
  archive_tool(remove "${part}" "${list_member}")
  read_members()
endif()
foreach(source name IN ZIP_LISTS sources names)
  string(TOLOWER "${name}" name_lower)
  if(name_lower IN_LIST members_lower)
    archive_tool(replace "${part}" "${name}" "${source}")
  else()
    archive_tool(add "${part}" "${source}" "${name}")
    list(APPEND members_lower "${name_lower}")
  endif()
endforeach()

file(RENAME "${part}" "${GAME_OUT}" RESULT renamed)
if(NOT renamed EQUAL 0)
  fail("${GAME_OUT}" "cannot be written: ${renamed}")
endif()
