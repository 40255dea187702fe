# vexlo-textfit on this build's product: every text fits, every product text
# the dialog templates name is measured, and texts too long for their
# controls are refused with their key named.
#   -DRUN=wine-run -DTOOL=vexlo-textfit.exe -DRC=setup.rc
function(run_textfit)
  execute_process(COMMAND ${RUN} ${TOOL} ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  set(code "${code}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

set(failures 0)
macro(fail)
  message(SEND_ERROR ${ARGN})
  math(EXPR failures "${failures} + 1")
endmacro()

# The product's own texts fit.
run_textfit()
if(NOT code EQUAL 0)
  fail("the product's texts do not fit (exit ${code}):\n${err}")
endif()

# Every product text a dialog template shows was measured (or is replaced
# by a text the program puts there, itself measured).
file(READ ${RC} rc)
string(REGEX MATCHALL "PRODUCT_[A-Za-z0-9]+" named "${rc}")
list(REMOVE_DUPLICATES named)
list(LENGTH named count)
if(count LESS 15)
  fail("only ${count} product texts found in ${RC}")
endif()
foreach(token IN LISTS named)
  string(REPLACE "PRODUCT_" "" key ${token})
  if(NOT out MATCHES "(measured ${key}\r?\n|replaced ${key} by )")
    fail("${key} stands in a dialog template but was not measured:\n${out}")
  endif()
endforeach()
foreach(key GroupFolderName InstallFailedStatus)
  if(NOT out MATCHES "measured ${key}\r?\n")
    fail("${key}, which the program puts into a control, was not measured:\n${out}")
  endif()
endforeach()

# Texts too long for their controls: each refused, its key and its measure named.
string(REPEAT "much too long " 150 long_text)
string(REPEAT "Play " 30 long_button)
string(REPEAT "Folder" 12 long_folder)
set(cases
  "WelcomeText|${long_text}|WelcomeText \"much too long .*it needs [0-9]+ lines and its control shows [0-9]+"
  "DirectXErrorText|${long_text}|DirectXErrorText \".*it needs [0-9]+ lines"
  "PlayButtonText|${long_button}|PlayButtonText \"Play .*shows [0-9]+ of its 150 characters on its one line"
  "InstallWithoutDirectXButton|Install this game without any Direct X at all|InstallWithoutDirectXButton \".*of its 45 characters"
  "GroupFolderName|\\${long_folder}|GroupFolderName \"Start Menu.*Folder.*characters on its one line"
  "DestinationQuestion|Where would you like to install this game, which has a very long question indeed?|DestinationQuestion \".*characters on its one line"
  "InstallFailedStatus|The game could not be installed, and this line says so at very great length.|InstallFailedStatus \".*on its one line"
  "CancelCaption|${long_button}|CancelCaption \".*on its one line")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 key)
  list(GET parts 1 value)
  list(GET parts 2 expected)
  run_textfit(--text "${key}=${value}")
  if(NOT code EQUAL 1 OR NOT err MATCHES "${expected}")
    fail("a too long ${key} was not refused as it should be (exit ${code}):\n${err}")
  endif()
  # Only that text: the others still fit.
  string(REGEX MATCHALL "does not fit" refusals "${err}")
  list(LENGTH refusals refused)
  if(NOT refused EQUAL 1)
    fail("a too long ${key} gave ${refused} refusals:\n${err}")
  endif()
endforeach()

# A key that is none, or no value: the check itself refuses to run.
foreach(arguments "--text;NoSuchKey=x" "--text" "--other")
  run_textfit(${arguments})
  if(NOT code EQUAL 2)
    fail("vexlo-textfit ${arguments} ran (exit ${code})")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures} check(s) failed")
endif()
