# A disc of a text file and one MP3 under names with spaces and an upper-case
# extension: the figure is the text's bytes plus the WAV the MP3 becomes. An
# MP3 that will not decode stops the build with its name, the header as it was.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/My Music")
string(REPEAT "0123456789" 100 text)
file(WRITE "${WORK}/Read Me.txt" "${text}")
file(COPY_FILE "${MP3}" "${WORK}/My Music/Boss Theme.MP3")

function(measure music result_var output_var)
  file(WRITE "${WORK}/inputs.cmake"
       "set(COPIED [==[${WORK}/Read Me.txt]==])\nset(MUSIC [==[${music}]==])\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DINPUTS=${WORK}/inputs.cmake" "-DMP3WAV=${MP3WAV}"
                          "-DWORK=${WORK}/scratch" "-DOUTPUT=${WORK}/required_space.h"
                          "-DSTAMP=${WORK}/stamp" -P "${SCRIPT}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# menu.mp3: 156 MPEG-2 frames of 576 samples, one channel, two bytes a sample.
math(EXPR expected "1000 + 46 + 156 * 576 * 1 * 2")
measure("${WORK}/My Music/Boss Theme.MP3" result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the measurement failed: ${output}")
endif()
file(READ "${WORK}/required_space.h" header)
if(NOT header MATCHES "RequiredSpace = ${expected}u;")
  message(FATAL_ERROR "expected RequiredSpace = ${expected}, the header says:\n${header}")
endif()

string(REPEAT "noise, not music " 400 noise)
file(WRITE "${WORK}/My Music/Bad Song.mp3" "${noise}")
measure("${WORK}/My Music/Boss Theme.MP3;${WORK}/My Music/Bad Song.mp3" result output)
if(result EQUAL 0)
  message(FATAL_ERROR "an MP3 of noise was measured as if it were music")
endif()
if(NOT output MATCHES "My Music/Bad Song.mp3: will not decode \\(vexlo-mp3wav: [^\n]+\\)\n")
  message(FATAL_ERROR "the failure does not name the file:\n${output}")
endif()
# Audio the installer cannot convert is named for what it is.
file(COPY_FILE "${MP3_25}" "${WORK}/My Music/Low Song.mp3")
measure("${WORK}/My Music/Boss Theme.MP3;${WORK}/My Music/Low Song.mp3" result output)
if(result EQUAL 0 OR NOT output MATCHES
   "My Music/Low Song.mp3 is MPEG 2.5 audio \\(8, 11 or 12 kHz\\), which Setup cannot convert\\)\n")
  message(FATAL_ERROR "an MPEG 2.5 file is not named as one:\n${output}")
endif()
file(READ "${WORK}/required_space.h" after)
if(NOT after STREQUAL header)
  message(FATAL_ERROR "a failed measurement changed the header")
endif()
file(REMOVE_RECURSE "${WORK}")
