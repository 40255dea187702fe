# Bytes the installed game takes, shown as "Space Required" and compared with
# the drive's free space: every file the installer copies as it is, plus the
# WAV that each MP3 becomes inside the game executable (a 46-byte header and
# two bytes per sample and channel, as vexlo-mp3wav writes it).
# Run by the build as cmake -P with
#   INPUTS  a file that sets COPIED and MUSIC (lists of paths)
#   MP3WAV  the build machine's vexlo-mp3wav
#   WORK    a scratch folder for the decoded WAVs
#   OUTPUT  the header to write (rewritten only when the figure changes)
#   STAMP   touched when done
include(${INPUTS})

set(total 0)
foreach(file IN LISTS COPIED)
  file(SIZE "${file}" size)
  math(EXPR total "${total} + ${size}")
endforeach()

file(MAKE_DIRECTORY "${WORK}")
set(wav "${WORK}/decoded.wav")
foreach(mp3 IN LISTS MUSIC)
  file(REMOVE "${wav}")
  execute_process(COMMAND "${MP3WAV}" "${mp3}" "${wav}"
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE detail)
  if(NOT result EQUAL 0 OR NOT EXISTS "${wav}")
    # On one line, unwrapped, so that the name can be read and searched for.
    string(STRIP "${detail}" detail)
    string(REPLACE "\n" " " detail "${detail}")
    message(NOTICE "${mp3}: will not decode (${detail})")
    message(FATAL_ERROR "An MP3 of the disc will not decode: the disc cannot be made.")
  endif()
  file(SIZE "${wav}" size)
  math(EXPR total "${total} + ${size}")
endforeach()
file(REMOVE "${wav}")

# The wizard's figure is 32-bit, as the size texts and the free-space test are.
if(total GREATER 4294967295)
  message(FATAL_ERROR "The installed game would take ${total} bytes: more than 4 GiB")
endif()
file(WRITE "${OUTPUT}.new"
  "// Made by the build from the disc's content (cmake/required-space.cmake).\n"
  "#pragma once\n\n"
  "#include <cstdint>\n\n"
  "// Bytes the installed game needs.\n"
  "constexpr uint32_t RequiredSpace = ${total}u;\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
file(TOUCH "${STAMP}")
