# One reference WAV of the end-to-end tests: MP3 decoded by the build
# machine's vexlo-mp3wav (MP3WAV) into WAV. The MP3 comes from the product's
# content (PRODUCT): when it will not decode, that is what the message says.
get_filename_component(folder "${WAV}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
execute_process(COMMAND "${MP3WAV}" "${MP3}" "${WAV}.part"
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE detail)
if(NOT result EQUAL 0)
  file(REMOVE "${WAV}.part")
  string(STRIP "${detail}" detail)
  string(REPLACE "\n" " " detail "${detail}")
  message(NOTICE "${MP3}: will not decode (${detail})")
  message(FATAL_ERROR "The end-to-end tests install the disc of the product in ${PRODUCT}, and "
                      "this MP3 of its content will not decode: replace or re-encode the file "
                      "(the tests themselves are not at fault).")
endif()
file(RENAME "${WAV}.part" "${WAV}")
