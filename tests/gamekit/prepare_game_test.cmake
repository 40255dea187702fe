# cmake/prepare-game.cmake on games of the tests' own, with the build
# machine's archive tool: a program without an archive, the prepared result
# prepared again, a publisher's game that carries members (and a stale list)
# of its own, and the failures, each of which must name its file.
#   -DSCRIPT=prepare-game.cmake -DARCHIVE_TOOL=vexlo-archive -DWORK=folder
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/members/docs")
file(WRITE "${WORK}/members/Credits.txt" "Made by us\r\n")
file(WRITE "${WORK}/members/docs/Read Me.txt" "read me")
file(WRITE "${WORK}/Uninst.exe" "MZ the uninstaller")
string(REPEAT "MZ program bytes " 300 program)
file(WRITE "${WORK}/game.exe" "${program}")

function(prepare game_in game_out result_var output_var)
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DARCHIVE_TOOL=${ARCHIVE_TOOL}"
                          "-DGAME_IN=${game_in}" "-DGAME_OUT=${game_out}"
                          "-DUNINSTALLER=${WORK}/Uninst.exe" "-DUNINSTALLER_MEMBER=UninstDemo.exe"
                          ${ARGN} -P "${SCRIPT}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

function(expect_prepared game_in game_out)
  prepare("${game_in}" "${game_out}" result output ${ARGN})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "preparing ${game_in} failed:\n${output}")
  endif()
  if(EXISTS "${game_out}.part")
    message(FATAL_ERROR "${game_out}.part was left behind")
  endif()
endfunction()

function(expect_listing game expected)
  execute_process(COMMAND "${ARCHIVE_TOOL}" list "${game}" RESULT_VARIABLE result
                  OUTPUT_VARIABLE listing ERROR_VARIABLE listing)
  if(NOT result EQUAL 0 OR NOT listing STREQUAL expected)
    message(FATAL_ERROR "${game} lists:\n${listing}\nexpected:\n${expected}")
  endif()
endfunction()

# Fails naming the file, and leaves neither GAME_OUT nor its part.
function(expect_failure what file game_in)
  file(REMOVE "${WORK}/failed.exe")
  prepare("${game_in}" "${WORK}/failed.exe" result output ${ARGN})
  if(result EQUAL 0)
    message(FATAL_ERROR "${what}: prepared")
  endif()
  # CMake wraps the message's lines at spaces.
  string(REGEX REPLACE "[ \n]+" " " flat "${output}")
  string(FIND "${flat}" "prepare-game: ${file}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what}: the message does not name ${file}:\n${output}")
  endif()
  if(EXISTS "${WORK}/failed.exe" OR EXISTS "${WORK}/failed.exe.part")
    message(FATAL_ERROR "${what}: left an output behind")
  endif()
endfunction()

# A program without an archive: the program's bytes first, then the members.
expect_prepared("${WORK}/game.exe" "${WORK}/out/Game.exe" "-DMEMBERS_DIR=${WORK}/members")
set(prepared "12 Credits.txt\n7 docs/Read Me.txt\n18 UninstDemo.exe\n")
expect_listing("${WORK}/out/Game.exe" "${prepared}")
file(READ "${WORK}/game.exe" input HEX)
string(LENGTH "${program}" program_length)
file(READ "${WORK}/out/Game.exe" head LIMIT ${program_length} HEX)
if(NOT head STREQUAL input)
  message(FATAL_ERROR "the program's own bytes changed")
endif()
file(READ "${WORK}/game.exe" input)
if(NOT input STREQUAL program)
  message(FATAL_ERROR "GAME_IN changed")
endif()

# Prepared again, in place, with a changed member: the same members, in the
# same order, with the new bytes.
file(WRITE "${WORK}/members/Credits.txt" "Made by all of us\r\n")
expect_prepared("${WORK}/out/Game.exe" "${WORK}/out/Game.exe" "-DMEMBERS_DIR=${WORK}/members")
expect_listing("${WORK}/out/Game.exe"
               "19 Credits.txt\n7 docs/Read Me.txt\n18 UninstDemo.exe\n")
file(SIZE "${WORK}/out/Game.exe" first_size)
expect_prepared("${WORK}/out/Game.exe" "${WORK}/out/Again.exe" "-DMEMBERS_DIR=${WORK}/members")
file(SIZE "${WORK}/out/Again.exe" second_size)
if(NOT first_size EQUAL second_size)
  message(FATAL_ERROR "preparing twice grew the game: ${first_size}, then ${second_size}")
endif()

# A publisher's game with members of its own, one of them under another
# case, and the list of an installed copy it was taken from.
file(COPY_FILE "${WORK}/game.exe" "${WORK}/own.exe")
file(WRITE "${WORK}/level.dat" "level one")
file(WRITE "${WORK}/old credits" "old")
file(WRITE "${WORK}/stale list" "C:\\Games\\Own\\own.exe\n")
foreach(step "init;${WORK}/own.exe" "add;${WORK}/own.exe;${WORK}/level.dat;Level.dat"
             "add;${WORK}/own.exe;${WORK}/old credits;CREDITS.TXT"
             "add;${WORK}/own.exe;${WORK}/stale list;Remove.txt")
  execute_process(COMMAND "${ARCHIVE_TOOL}" ${step} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "the fixture could not be made: ${step}")
  endif()
endforeach()
expect_prepared("${WORK}/own.exe" "${WORK}/out/Own.exe" "-DMEMBERS_DIR=${WORK}/members")
expect_listing("${WORK}/out/Own.exe"
               "9 Level.dat\n19 CREDITS.TXT\n7 docs/Read Me.txt\n18 UninstDemo.exe\n")

# Without a members folder only the uninstaller goes in.
expect_prepared("${WORK}/game.exe" "${WORK}/out/Bare.exe")
expect_listing("${WORK}/out/Bare.exe" "18 UninstDemo.exe\n")

# Failures.
expect_failure("a missing game" "${WORK}/missing.exe" "${WORK}/missing.exe")
expect_failure("a missing uninstaller" "${WORK}/none.exe" "${WORK}/game.exe"
               "-DUNINSTALLER=${WORK}/none.exe")
expect_failure("a missing members folder" "${WORK}/nowhere" "${WORK}/game.exe"
               "-DMEMBERS_DIR=${WORK}/nowhere")
# An archive written alone and put after the program: its end record is last
# but its directory offset points into the program.
file(WRITE "${WORK}/alone.zip" "")
execute_process(COMMAND "${ARCHIVE_TOOL}" init "${WORK}/alone.zip")
execute_process(COMMAND "${ARCHIVE_TOOL}" add "${WORK}/alone.zip" "${WORK}/level.dat" Level.dat)
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${WORK}/game.exe" "${WORK}/alone.zip"
                OUTPUT_FILE "${WORK}/damaged.exe")
expect_failure("a damaged archive" "${WORK}/damaged.exe" "${WORK}/damaged.exe")
# A game whose archive ends in a comment: refused rather than given a second
# archive that would hide the first one's members.
file(WRITE "${WORK}/commented.zip" "")
execute_process(COMMAND "${ARCHIVE_TOOL}" init "${WORK}/commented.zip")
execute_process(COMMAND "${ARCHIVE_TOOL}" add "${WORK}/commented.zip" "${WORK}/level.dat" Level.dat)
# Its comment length (last two bytes) set to 5, and the comment "hello".
execute_process(COMMAND sh -c "head -c -2 commented.zip > tail.zip && printf '\\005\\000hello' >> tail.zip && cat game.exe tail.zip > commented.exe"
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "cannot make commented.exe")
endif()
expect_failure("an archive ending in a comment" "${WORK}/commented.exe" "${WORK}/commented.exe")
file(MAKE_DIRECTORY "${WORK}/listed")
file(WRITE "${WORK}/listed/remove.TXT" "a list")
expect_failure("a member named as the list" "${WORK}/listed/remove.TXT" "${WORK}/game.exe"
               "-DMEMBERS_DIR=${WORK}/listed")
file(REMOVE_RECURSE "${WORK}")
