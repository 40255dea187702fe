# The disc assembly as a build runs it (a small project of it alone, built
# with make): each change in a product's folder reaches the disc at the next
# build, with nothing left of what was there before. The assembly script's own
# cases are disc_assembly_test.cmake's.
#   SOURCE_DIR  the source tree   WORK  a scratch folder   MP3  a good MP3
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
set(product "${WORK}/Starfall")
set(content "${product}/content")
set(disc "${WORK}/disc")
set(build "${WORK}/build")
file(MAKE_DIRECTORY "${content}/data" "${WORK}/programs")
file(WRITE "${content}/ReadMe.txt" "read me\n")
file(WRITE "${content}/Vexlo.cfg" "difficulty=2\n")
file(COPY_FILE "${MP3}" "${content}/data/title.mp3")
foreach(program Setup.exe Game.exe AUTORUN.INF DSetup.dll ReadMe.txt)
  file(WRITE "${WORK}/programs/${program}" "${program}\n")
endforeach()

function(fail text)
  message(SEND_ERROR "${text}")
endfunction()

# build(STEP): builds (configuring first, the first time); stops the test on
# a failure.
function(build step)
  if(NOT EXISTS "${build}/CMakeCache.txt")
    execute_process(COMMAND "${CMAKE_COMMAND}" -G "Unix Makefiles" -S "${CMAKE_CURRENT_LIST_DIR}/assembly_project"
                            -B "${build}" "-DVEXLO_SOURCE_DIR=${SOURCE_DIR}" "-DPRODUCT=${product}"
                            "-DPROGRAMS=${WORK}/programs" "-DDISC=${disc}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${step}: the configuration failed:\n${output}")
    endif()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" --build "${build}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${step}: the build failed:\n${output}")
  endif()
endfunction()

# expect_disc(STEP FILES...): the disc holds exactly these files.
function(expect_disc step)
  file(GLOB_RECURSE files RELATIVE "${disc}" "${disc}/*")
  list(SORT files)
  set(expected ${ARGN})
  list(SORT expected)
  if(NOT files STREQUAL expected)
    fail("${step}: the disc holds\n  ${files}\nexpected\n  ${expected}")
  endif()
endfunction()

set(programs AUTORUN.INF Setup.exe Starfall.exe)
set(stand_in DXSetup/DSetup.dll DXSetup/DirectX/ReadMe.txt)

build("first build")
expect_disc("first build" ${programs} ${stand_in} ReadMe.txt Vexlo.cfg data/title.mp3)

# A rename changes no file's time: the disc follows it all the same.
file(RENAME "${content}/Vexlo.cfg" "${content}/Starfall.cfg")
file(RENAME "${content}/data/title.mp3" "${content}/data/BOSS.MP3")
build("renamed")
expect_disc("renamed" ${programs} ${stand_in} ReadMe.txt Starfall.cfg data/BOSS.MP3)
file(READ "${build}/measured.txt" measured)
if(NOT measured MATCHES "COPIED=${content}/ReadMe.txt;${content}/Starfall.cfg\nMUSIC=${content}/data/BOSS.MP3\n")
  fail("renamed: \"Space Required\" is measured on\n${measured}")
endif()

# A file dropped, a folder added.
file(REMOVE "${content}/ReadMe.txt")
file(MAKE_DIRECTORY "${content}/Extras")
file(COPY_FILE "${MP3}" "${content}/Extras/Bonus Track.Mp3")
build("dropped and added")
expect_disc("dropped and added" ${programs} ${stand_in} Starfall.cfg data/BOSS.MP3
            "Extras/Bonus Track.Mp3")

# A file changed in place reaches the disc.
file(WRITE "${content}/Starfall.cfg" "difficulty=3\n")
build("changed")
file(READ "${disc}/Starfall.cfg" cfg)
if(NOT cfg STREQUAL "difficulty=3\n")
  fail("changed: the disc's Starfall.cfg holds ${cfg}")
endif()

# The product's DXSetup folder appears, then goes again.
file(MAKE_DIRECTORY "${product}/DXSetup/DIRECTX")
file(WRITE "${product}/DXSetup/DSETUP.DLL" "the real one\n")
file(WRITE "${product}/DXSetup/DIRECTX/DXDRV.CAB" "cabinet\n")
build("with DXSetup")
expect_disc("with DXSetup" ${programs} DXSetup/DSETUP.DLL DXSetup/DIRECTX/DXDRV.CAB Starfall.cfg
            data/BOSS.MP3 "Extras/Bonus Track.Mp3")
file(REMOVE_RECURSE "${product}/DXSetup")
build("without DXSetup")
expect_disc("without DXSetup" ${programs} ${stand_in} Starfall.cfg data/BOSS.MP3
            "Extras/Bonus Track.Mp3")

# A name the assembly writes itself stops the build at once.
file(WRITE "${content}/autorun.inf" "[autorun]\n")
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${build}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
string(REGEX REPLACE "[ \n]+" " " output "${output}")
if(result EQUAL 0 OR NOT output MATCHES "content/autorun.inf: the disc's \"autorun.inf\" is made")
  fail("content holding autorun.inf was built: ${output}")
endif()

file(REMOVE_RECURSE "${WORK}")
