# The disc assembly (cmake/assemble-disc.cmake) on a product folder of the
# test's own, as the build runs it: the content taken as it is, nothing stale
# kept, the product's DXSetup or the stand-in, names it writes itself refused,
# and no folder emptied that is not a disc's. Then what the installer will
# copy and decode from such content, measured as the build measures it.
#   SOURCE_DIR  the source tree   WORK  a scratch folder
#   MP3  a good MP3               MP3WAV  the build machine's vexlo-mp3wav
cmake_minimum_required(VERSION 3.25)
include(${SOURCE_DIR}/cmake/DiscMusic.cmake)
file(REMOVE_RECURSE "${WORK}")
function(fail text)
  message(SEND_ERROR "${text}")
endfunction()

# A product: a renamed .cfg, music in upper case and with spaces, a folder of
# documents, a top-level .mp3 and an unlikely but harmless name.
set(product "${WORK}/Starfall")
set(content "${product}/content")
file(MAKE_DIRECTORY "${content}/data" "${content}/Docs/Deep")
file(WRITE "${content}/ReadMe.txt" "read me\n")
file(WRITE "${content}/Starfall.cfg" "difficulty=2\n")
file(WRITE "${content}/Docs/Deep/Manual (v2) & it's \$HOME.txt" "manual\n")
file(WRITE "${content}/Docs/Notes [draft].txt" "notes\n")
file(COPY_FILE "${MP3}" "${content}/data/BOSS.MP3")
file(COPY_FILE "${MP3}" "${content}/data/Track 1 - Opening.mp3")
file(COPY_FILE "${MP3}" "${content}/Intro.Mp3")
file(MAKE_DIRECTORY "${WORK}/programs")
foreach(program Setup.exe Game.exe AUTORUN.INF DSetup.dll ReadMe.txt)
  file(WRITE "${WORK}/programs/${program}" "the ${program} of the build\n")
endforeach()

# assemble(RESULT OUTPUT DISC [DXSETUP folder] [GUARDED folders]): one run.
function(assemble result_var output_var disc)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "DXSETUP" "GUARDED;DEFINES")
  if(NOT arg_GUARDED)
    set(arg_GUARDED "${SOURCE_DIR};${product}")
  endif()
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DCONTENT=${content}" "-DDISC=${disc}"
            "-DSETUP=${WORK}/programs/Setup.exe" "-DGAME=${WORK}/programs/Game.exe"
            "-DGAME_NAME=Starfall.exe" "-DAUTORUN=${WORK}/programs/AUTORUN.INF"
            "-DDXSETUP=${arg_DXSETUP}" "-DDSETUP=${WORK}/programs/DSetup.dll"
            "-DDX_README=${WORK}/programs/ReadMe.txt" "-DGUARDED=${arg_GUARDED}"
            "-DOWNER=${WORK}/owner.txt" "-DSTAMP=${WORK}/disc.stamp" ${arg_DEFINES}
            -P "${SOURCE_DIR}/cmake/assemble-disc.cmake"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  set(${result_var} "${result}" PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# tree(OUT FOLDER): its files, relative, sorted, each with its bytes.
function(tree out folder)
  file(GLOB_RECURSE files RELATIVE "${folder}" "${folder}/*")
  list(SORT files)
  set(listing)
  foreach(file IN LISTS files)
    file(READ "${folder}/${file}" bytes HEX)
    string(LENGTH "${bytes}" hex_length)
    math(EXPR size "${hex_length} / 2")
    list(APPEND listing "${file}:${size}")
  endforeach()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

file(SIZE "${MP3}" mp3_size)
set(expected_disc
  "AUTORUN.INF:29" "DXSetup/DSetup.dll:28" "DXSetup/DirectX/ReadMe.txt:28"
  "Docs/Deep/Manual (v2) & it's \$HOME.txt:7" "Docs/Notes [draft].txt:6" "Intro.Mp3:${mp3_size}" "ReadMe.txt:8"
  "Setup.exe:27" "Starfall.cfg:13" "Starfall.exe:26" "data/BOSS.MP3:${mp3_size}"
  "data/Track 1 - Opening.mp3:${mp3_size}")

# ---- An earlier assembly of the same disc left the old names: they go.
set(disc "${WORK}/disc")
file(MAKE_DIRECTORY "${disc}/data" "${disc}/DXSetup/DirectX")
foreach(old Setup.exe AUTORUN.INF Vexlo.cfg VexloDmo.exe data/title.mp3 DXSetup/DSetup.dll
        DXSetup/DirectX/ReadMe.txt)
  file(WRITE "${disc}/${old}" "from the last assembly\n")
endforeach()
# A link on the disc is removed, never what it points at.
file(WRITE "${WORK}/outside/keep.txt" "not the disc's\n")
file(CREATE_LINK "${WORK}/outside" "${disc}/link" SYMBOLIC)
assemble(result output "${disc}")
if(NOT result EQUAL 0)
  fail("the assembly failed: ${output}")
endif()
tree(got "${disc}")
if(NOT got STREQUAL expected_disc)
  fail("the disc holds\n  ${got}\nexpected\n  ${expected_disc}")
endif()
file(READ "${disc}/Starfall.exe" game)
if(NOT game STREQUAL "the Game.exe of the build\n")
  fail("the game on the disc is not the prepared one: ${game}")
endif()
if(NOT EXISTS "${WORK}/outside/keep.txt")
  fail("emptying the disc followed a link out of it")
endif()

# ---- The publisher is told which content files will not be installed, in
# one block, each with the reason; and where two shortcuts would share a title.
string(FIND "${output}" "These content files go onto the disc but will not be installed:" block)
string(FIND "${output}" "CMake Warning" first_warning)
string(FIND "${output}" "CMake Warning" last_warning REVERSE)
if(block EQUAL -1 OR NOT first_warning EQUAL last_warning OR
   NOT output MATCHES "Docs/Deep/Manual [(]v2[)] & it's [$]HOME.txt [(]in a sub-folder" OR
   NOT output MATCHES "Docs/Notes \\[draft\\].txt [(]in a sub-folder")
  fail("the files in Docs/ were not named in one block of warnings: ${output}")
endif()
foreach(installed "ReadMe.txt" "Starfall.cfg" "BOSS.MP3" "Intro.Mp3" "Track 1")
  if(output MATCHES "  [^ ]*${installed}[^(]*[(]")
    fail("${installed}, which is installed, was named as not: ${output}")
  endif()
endforeach()
file(WRITE "${content}/setup.txt" "")
file(WRITE "${content}/ReadMe.html" "")
file(WRITE "${content}/Starfall Demo.txt" "")
file(WRITE "${content}/Starfall.ini" "")
file(WRITE "${content}/Remove Starfall Demo.url" "")
set(titles "-DGAME_TITLE=Starfall Demo" "-DREMOVE_TITLE=Remove Starfall Demo"
           "-DNO_SHORTCUT=.cfg .ini")
assemble(result output "${disc}" DEFINES ${titles})
if(NOT result EQUAL 0 OR NOT output MATCHES "setup.txt [(]a name beginning with \"Setup\"")
  fail("setup.txt was not named as the setup program's own: ${output}")
endif()
foreach(told
    "ReadMe.html and ReadMe.txt would both be \"ReadMe\""
    "Starfall Demo.txt: \"Starfall Demo\" is the game's shortcut; this file's is titled \"Starfall Demo.txt\""
    "Remove Starfall Demo.url: \"Remove Starfall Demo\" is the removal's shortcut")
  string(FIND "${output}" "${told}" at)
  if(at EQUAL -1)
    fail("the assembly did not say: ${told}\n${output}")
  endif()
endforeach()
# Starfall.ini gets no shortcut (a settings extension); Starfall.cfg neither.
if(output MATCHES "Starfall[.](ini|cfg) and|and Starfall[.](ini|cfg)")
  fail("a settings file was taken for a shortcut: ${output}")
endif()
file(REMOVE "${content}/setup.txt" "${content}/ReadMe.html" "${content}/Starfall Demo.txt"
     "${content}/Starfall.ini" "${content}/Remove Starfall Demo.url")

# ---- The same disc again, after a rename in the content: the old name goes.
file(RENAME "${content}/Starfall.cfg" "${content}/Starfall2.cfg")
assemble(result output "${disc}")
if(EXISTS "${disc}/Starfall.cfg" OR NOT EXISTS "${disc}/Starfall2.cfg")
  fail("a renamed file: the disc holds Starfall.cfg or lacks Starfall2.cfg")
endif()
file(RENAME "${content}/Starfall2.cfg" "${content}/Starfall.cfg")

# ---- The product's own DXSetup folder, as it is, in place of the stand-in;
# and the stand-in back when the folder is gone.
file(MAKE_DIRECTORY "${product}/DXSetup/DIRECTX")
file(WRITE "${product}/DXSetup/DSETUP.DLL" "the real one\n")
file(WRITE "${product}/DXSetup/DIRECTX/DXDRV.CAB" "cabinet\n")
assemble(result output "${disc}" DXSETUP "${product}/DXSetup")
tree(got "${disc}/DXSetup")
if(NOT result EQUAL 0 OR NOT got STREQUAL "DIRECTX/DXDRV.CAB:8;DSETUP.DLL:13")
  fail("with the product's DXSetup (${output}) the disc's DXSetup holds: ${got}")
endif()
assemble(result output "${disc}" DXSETUP "${product}/NoSuchFolder")
tree(got "${disc}/DXSetup")
if(NOT got STREQUAL "DSetup.dll:28;DirectX/ReadMe.txt:28")
  fail("without the product's DXSetup the disc's DXSetup holds: ${got}")
endif()

# ---- Content that names what the assembly writes, in any case: refused
# with the name, before the disc is touched.
tree(before "${disc}")
foreach(taken "autorun.inf" "SETUP.EXE" "starfall.EXE" "dxsetup/x.dll")
  get_filename_component(folder "${content}/${taken}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(WRITE "${content}/${taken}" "taken\n")
  assemble(result output "${disc}")
  string(REGEX REPLACE "/.*" "" top "${taken}")
  if(result EQUAL 0 OR NOT output MATCHES "content/${top}: the disc's \"${top}\" is made by the build")
    fail("content holding ${taken} was not refused with its name: ${output}")
  endif()
  file(REMOVE_RECURSE "${content}/${taken}")
  file(REMOVE_RECURSE "${content}/dxsetup")
endforeach()
# Names the installer writes in the game's folder itself.
foreach(taken "remove.TXT" "Starfall.exe.new")
  file(WRITE "${content}/${taken}" "taken\n")
  assemble(result output "${disc}")
  string(REPLACE "." "[.]" pattern "${taken}")
  if(result EQUAL 0 OR NOT output MATCHES "content/${pattern}: the installer writes")
    fail("content holding ${taken} was not refused with its name: ${output}")
  endif()
  file(REMOVE "${content}/${taken}")
endforeach()
# Names the disc or the installer cannot take.
function(refused name pattern)
  file(WRITE "${content}/${name}" "")
  assemble(result output "${disc}")
  if(result EQUAL 0 OR NOT output MATCHES "${pattern}")
    fail("the name ${name} was not refused with its name: ${output}")
  endif()
  file(REMOVE "${content}/${name}")
endfunction()
refused("MY~FILE.TXT" "MY~FILE[.]TXT: the installer stops")
refused("What?.txt" "What[?][.]txt: a Windows disc cannot hold")
refused("data/trailing." "data/trailing[.]: a Windows disc cannot hold")
string(REPEAT "Long" 26 long)
refused("data/${long}.txt" "data/${long}[.]txt: a disc image holds names of at most 103 characters [(]this one has 108[)]")
# Names that would split or join CMake's lists: refused, a part of them named.
string(ASCII 59 semicolon)
refused("semi${semicolon}colon.txt" "holds ';' or an unmatched '\\[',.*\\(\"(semi|colon[.]txt)\" is")
refused("open[bracket.txt" "holds ';' or an unmatched '\\[',.*\\(\"open\\[bracket[.]txt\" is")
tree(after "${disc}")
if(NOT after STREQUAL before)
  fail("a refused assembly changed the disc")
endif()

# ---- Folders that are no disc's are never emptied.
set(foreign "${WORK}/Documents")
file(WRITE "${foreign}/letter.txt" "mine\n")
assemble(result output "${foreign}")
if(result EQUAL 0 OR NOT output MATCHES "holds files that no assembly put there" OR
   NOT EXISTS "${foreign}/letter.txt")
  fail("a folder of other files was taken as the disc: ${output}")
endif()
foreach(guarded "${WORK}" "${content}" "${content}/data")
  assemble(result output "${guarded}" GUARDED "${SOURCE_DIR};${WORK}/Starfall")
  if(result EQUAL 0 OR NOT EXISTS "${content}/ReadMe.txt")
    fail("the disc folder ${guarded} (holding or inside the product) was taken: ${output}")
  endif()
endforeach()
# An empty folder is fine.
file(MAKE_DIRECTORY "${WORK}/empty")
assemble(result output "${WORK}/empty")
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/empty/Starfall.exe")
  fail("an empty folder was refused: ${output}")
endif()

# ---- What the installer copies and decodes: top-level files as they are,
# every .mp3 in any folder; not the files of sub-folders (it makes none), nor
# dot-names, nor a top-level name that begins with "Setup".
file(WRITE "${content}/.hidden.mp3" "")
file(WRITE "${content}/Setup Notes.txt" "")
vexlo_disc_content("${content}" names copied music)
set(expected_copied "${content}/ReadMe.txt;${content}/Starfall.cfg")
set(expected_music "${content}/Intro.Mp3;${content}/data/BOSS.MP3;${content}/data/Track 1 - Opening.mp3")
if(NOT copied STREQUAL expected_copied OR NOT music STREQUAL expected_music)
  fail("copied:\n  ${copied}\nexpected\n  ${expected_copied}\nmusic:\n  ${music}\nexpected\n  ${expected_music}")
endif()
file(REMOVE "${content}/.hidden.mp3" "${content}/Setup Notes.txt")

# An MP3 outside data/ that will not decode stops the measurement, named.
string(REPEAT "noise, not music " 400 noise)
file(WRITE "${content}/Docs/Deep/Bad Song.MP3" "${noise}")
vexlo_disc_content("${content}" names copied music)
file(WRITE "${WORK}/inputs.cmake" "set(COPIED [==[${copied}]==])\nset(MUSIC [==[${music}]==])\n")
execute_process(COMMAND "${CMAKE_COMMAND}" "-DINPUTS=${WORK}/inputs.cmake" "-DMP3WAV=${MP3WAV}"
                        "-DWORK=${WORK}/scratch" "-DOUTPUT=${WORK}/required_space.h"
                        "-DSTAMP=${WORK}/stamp" -P "${SOURCE_DIR}/cmake/required-space.cmake"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0 OR NOT output MATCHES "Docs/Deep/Bad Song.MP3: will not decode")
  fail("an undecodable MP3 in Docs/Deep was not refused with its name: ${output}")
endif()

file(REMOVE_RECURSE "${WORK}")
