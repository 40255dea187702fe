# vexlo_disc_music takes .mp3 in any case and nothing else; a ';' in a name
# stops it with the folder named.
include(${SOURCE_DIR}/cmake/DiscMusic.cmake)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/data/sub.mp3")
foreach(name "BOSS.MP3" "menu.mp3" "Title Theme.Mp3" "notes.mp3.txt" "level.wav" "mp3"
             "sub.mp3/inner.mp3")
  file(WRITE "${WORK}/data/${name}" "")
endforeach()
vexlo_disc_music(music "${WORK}/data")
set(expected "${WORK}/data/BOSS.MP3;${WORK}/data/Title Theme.Mp3;${WORK}/data/menu.mp3")
if(NOT music STREQUAL expected)
  message(FATAL_ERROR "expected\n  ${expected}\ngot\n  ${music}")
endif()

file(WRITE "${WORK}/data/semi;colon.mp3" "")
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${SOURCE_DIR} "-DFOLDER=${WORK}/data"
                        -P "${CMAKE_CURRENT_LIST_DIR}/disc_music_run.cmake"
                RESULT_VARIABLE result ERROR_VARIABLE output)
if(result EQUAL 0 OR NOT output MATCHES "holds ';'")
  message(FATAL_ERROR "a name with ';' was not refused:\n${output}")
endif()
file(REMOVE_RECURSE "${WORK}")
