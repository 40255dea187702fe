# cmake/Product.cmake on product folders made here from the sample's
# product.ini: what it refuses (with a message naming the fault), and what a
# text full of awkward characters becomes in product_names.h (compiled with
# CXX) and product_names.rh (compiled with WINDRES into a string table).
cmake_minimum_required(VERSION 3.25)
if(NOT WINDRES)
  message(FATAL_ERROR "no windres found: the resource-script escapes cannot be checked")
endif()
file(REMOVE_RECURSE "${WORK}")
file(READ "${SAMPLE}/product.ini" sample_ini)

set(failures "")
# fail(TEXT): one more finding of the current case.
function(fail text)
  set(failures "${failures}${case}: ${text}\n" PARENT_SCOPE)
endfunction()

# make_product(NAME INI): a product folder WORK/NAME holding INI as product.ini.
function(make_product name ini)
  file(MAKE_DIRECTORY "${WORK}/${name}")
  file(WRITE "${WORK}/${name}/product.ini" "${ini}")
endfunction()

# A sample line replaced: KEY=... becomes KEY=VALUE (the line must exist).
function(replace_line out ini key value)
  string(REGEX MATCH "\n${key}=[^\n]*" line "${ini}")
  if(line STREQUAL "")
    message(FATAL_ERROR "the sample has no ${key}")
  endif()
  string(REPLACE "${line}" "\n${key}=${value}" ini "${ini}")
  set(${out} "${ini}" PARENT_SCOPE)
endfunction()

# read_product(NAME): runs the script on WORK/NAME; sets result and output.
macro(read_product name)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DVEXLO_PRODUCT_DIR=${WORK}/${name}"
            "-DVEXLO_GENERATED_DIR=${WORK}/${name}/generated" -P "${PRODUCT_SCRIPT}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
endmacro()

# expect_refused(NAME INI PATTERN): the product is refused, the message
# matches PATTERN, and no header is written.
function(expect_refused case ini pattern)
  make_product(${case} "${ini}")
  read_product(${case})
  # CMake wraps its messages: compare with single spaces.
  string(REGEX REPLACE "[ \t\r\n]+" " " output "${output}")
  if(result EQUAL 0)
    fail("accepted")
  elseif(NOT output MATCHES "${pattern}")
    fail("refused without saying why (wanted /${pattern}/):\n${output}")
  elseif(EXISTS "${WORK}/${case}/generated/product_names.h")
    fail("refused, but product_names.h was written")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# ---- Refusals
string(REGEX REPLACE "\nGameExeName=[^\n]*" "" ini "${sample_ini}")
expect_refused(missing_key "${ini}" "GameExeName is missing")

expect_refused(unknown_key "${sample_ini}\nGameExeNmae=Starfall.exe\n" "unknown key GameExeNmae")

string(REGEX MATCH "\nProductDisplayName=[^\n]*" line "${sample_ini}")
expect_refused(key_twice "${sample_ini}${line}\n" "ProductDisplayName is given twice")

expect_refused(not_a_setting "${sample_ini}\nProductShortName Starfall\n" "not a Key=Value line")

replace_line(ini "${sample_ini}" TooLongText
  "The folder \"%s\" is %u characters long in \"%s\", at most %u.")
expect_refused(directives_swapped "${ini}" "TooLongText must hold the directives \"%s;%s;%u;%u\"")

replace_line(ini "${sample_ini}" LowSpaceText "Not enough space in \"%s\".")
expect_refused(directive_dropped "${ini}" "LowSpaceText must hold the directives")

replace_line(ini "${sample_ini}" LowSpaceText "%s lacks %d bytes.")
expect_refused(directive_changed "${ini}" "LowSpaceText must hold the directives")

replace_line(ini "${sample_ini}" ProductShortName "Star\${ProductShortName}")
expect_refused(self_reference "${ini}" "ProductShortName refers to itself")

replace_line(ini "${sample_ini}" ProductShortName "\${ProductDisplayName}")
replace_line(ini "${ini}" ProductDisplayName "\${ProductShortName} Demo")
expect_refused(reference_cycle "${ini}" "refers to itself")

replace_line(ini "${sample_ini}" ProductShortName "\${ProductName}")
expect_refused(unknown_reference "${ini}" "refers to \\\${ProductName}, which is no key")

replace_line(ini "${sample_ini}" ProductShortName "Sternfäll")
expect_refused(non_ascii "${ini}" "ProductShortName holds a character outside printable ASCII")

replace_line(ini "${sample_ini}" ProductShortName "Star\tfall")
expect_refused(tab "${ini}" "ProductShortName holds a character outside printable ASCII")

replace_line(ini "${sample_ini}" GameExeName "")
expect_refused(empty_value "${ini}" "GameExeName is empty")

# Names the programs build paths and registry keys from keep their shape.
function(expect_shape_refused key value reason)
  replace_line(ini "${sample_ini}" ${key} "${value}")
  expect_refused(shape_${key} "${ini}" "${key} .* must be .*${reason}")
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
expect_shape_refused(GameExeName "..\\StarDemo.exe" "plain file name ending in .exe")
expect_shape_refused(GameExeName "StarDemo.dll" "plain file name ending in .exe")
expect_shape_refused(UninstallerMember "Uninst/Star.exe" "plain file name ending in .exe")
expect_shape_refused(ProductKeyName "Star\\Demo" "registry subkey name")
expect_shape_refused(GroupFolderName "Starfall Demo" "a backslash and one folder name")
expect_shape_refused(GroupFolderName "\\Star\\Demo" "a backslash and one folder name")
expect_shape_refused(DefaultDestFolder "C:\\Games\\Starfall" "ending in a backslash")
expect_shape_refused(DefaultDestFolder "Games\\Starfall\\" "ending in a backslash")

# expect_accepted(NAME INI KEY VALUE): the product is read, and KEY's value
# in product_names.h is the C literal VALUE.
function(expect_accepted case ini key value)
  make_product(${case} "${ini}")
  read_product(${case})
  if(NOT result EQUAL 0)
    fail("refused:\n${output}")
  else()
    file(READ "${WORK}/${case}/generated/product_names.h" header)
    string(FIND "${header}" "constexpr char ${key}[] = \"${value}\";" at)
    if(at EQUAL -1)
      fail("product_names.h does not give ${key} as \"${value}\":\n${header}")
    endif()
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# ---- Percent signs: itself in a text shown as it stands, doubled in a format
replace_line(ini "${sample_ini}" WelcomeText "100% arcade, 0% waiting.")
expect_accepted(percent_shown "${ini}" WelcomeText "100% arcade, 0% waiting.")
replace_line(ini "${sample_ini}" WelcomeText "100%% arcade.")
expect_refused(percent_doubled_shown "${ini}"
  "WelcomeText is shown as it stands, so a percent sign in it is written %, not %%")
replace_line(ini "${sample_ini}" LowSpaceText "\"%s\" is 100% full: %s more is needed.")
expect_refused(percent_lone_format "${ini}"
  "LowSpaceText must hold the directives .* a percent sign in this text is written %%")
replace_line(ini "${sample_ini}" LowSpaceText "\"%s\" is 100%% full: %s more is needed.")
expect_accepted(percent_doubled_format "${ini}" LowSpaceText
  "\\\"%s\\\" is 100%% full: %s more is needed.")

# ---- Shortcuts: settings extensions (optional, .cfg), titles of their own
string(REGEX REPLACE "\nNoShortcutExtensions=[^\n]*" "" ini "${sample_ini}")
expect_accepted(settings_default "${ini}" NoShortcutExtensions ".cfg")
replace_line(ini "${sample_ini}" NoShortcutExtensions ".cfg  .ini .Set_1")
expect_accepted(settings_listed "${ini}" NoShortcutExtensions ".cfg  .ini .Set_1")
replace_line(ini "${sample_ini}" NoShortcutExtensions "")
expect_accepted(settings_none "${ini}" NoShortcutExtensions "")
replace_line(ini "${sample_ini}" NoShortcutExtensions ".cfg,.ini")
expect_refused(settings_comma "${ini}" "NoShortcutExtensions .* must be extensions")
replace_line(ini "${sample_ini}" NoShortcutExtensions "ini")
expect_refused(settings_no_dot "${ini}" "NoShortcutExtensions .* must be extensions")
replace_line(ini "${sample_ini}" RemoveShortcutTitle "\${ProductDisplayName}")
expect_refused(titles_shared "${ini}" "GameShortcutTitle and RemoveShortcutTitle are both")
replace_line(ini "${sample_ini}" GameShortcutTitle "Vexlo/Demo")
expect_refused(title_folder "${ini}" "GameShortcutTitle \"Vexlo/Demo\" names a shortcut file")

# ---- Launcher buttons: a longer name is laid out, one past the dialog refused
replace_line(ini "${sample_ini}" ProductDisplayName "Nebula Drift Demo")
expect_accepted(button_longer "${ini}" PlayButtonText "Play Nebula Drift Demo From CD-ROM")
string(REPEAT "x" 49 long_name)
replace_line(ini "${sample_ini}" ProductDisplayName "${long_name}")
expect_refused(button_too_long "${ini}"
  "InstallButtonText \"Install x+ to Hard Drive\" has 71 characters, and the launcher's button shows at most 69")

# ---- Escapes: texts that are list, quoting or escape syntax somewhere
set(case escapes)
set(awkward_name "Star;fall [Gold] \"Edition\"")
replace_line(ini "${sample_ini}" ProductShortName "${awkward_name}")
replace_line(ini "${ini}" DefaultDestFolder "C:\\Games\\Star [Gold]\\")
replace_line(ini "${ini}" GroupFolderName "\\Star [Gold] ]]")
replace_line(ini "${ini}" RestartText "Line one;\${CRLF}line two]]\${CRLF}??= //no comment /* nor this */")
replace_line(ini "${ini}" CancelText "Why??! \${ProductShortName} \\n is no line break, \\\" no quote")
# CRLF line ends and comment lines of both kinds, as an editor on Windows saves them.
string(REPLACE "\n" "\r\n" ini "# comment\r\n; another comment\r\n${ini}")
make_product(escapes "${ini}")
read_product(escapes)
if(NOT result EQUAL 0)
  fail("refused:\n${output}")
else()
  set(generated "${WORK}/escapes/generated")
  set(expected_ProductShortName "${awkward_name}")
  set(expected_DefaultDestFolder "C:\\Games\\Star [Gold]\\")
  set(expected_GroupFolderName "\\Star [Gold] ]]")
  set(expected_RestartText "Line one;\r\nline two]]\r\n??= //no comment /* nor this */")
  set(expected_CancelText "Why??! ${awkward_name} \\n is no line break, \\\" no quote")
  set(expected_WizardCaption "${awkward_name} Setup")
  set(checked ProductShortName DefaultDestFolder GroupFolderName RestartText CancelText
              WizardCaption)

  # C++: each text's bytes written to a file of its own.
  set(program "#include <cstdio>\n#include \"product_names.h\"\n")
  string(APPEND program "static void Put(const char* name, const char* text, size_t size) {\n"
         "  std::FILE* file = std::fopen(name, \"wb\");\n"
         "  if (!file || std::fwrite(text, 1, size, file) != size || std::fclose(file) != 0) throw 1;\n"
         "}\nint main() {\n")
  foreach(key IN LISTS checked)
    string(APPEND program "  Put(\"${WORK}/escapes/${key}.txt\", ${key}, sizeof ${key} - 1);\n")
  endforeach()
  string(APPEND program "}\n")
  file(WRITE "${WORK}/escapes/names.cpp" "${program}")
  execute_process(COMMAND "${CXX}" -std=c++17 -Wall -Wextra -Werror -I "${generated}"
                          -o "${WORK}/escapes/names" "${WORK}/escapes/names.cpp"
                  RESULT_VARIABLE built OUTPUT_VARIABLE build_output ERROR_VARIABLE build_output)
  if(NOT built EQUAL 0)
    fail("product_names.h does not compile:\n${build_output}")
  else()
    execute_process(COMMAND "${WORK}/escapes/names" RESULT_VARIABLE ran)
    foreach(key IN LISTS checked)
      # Compared as bytes: a text read is not a byte read where "\r" is concerned.
      file(READ "${WORK}/escapes/${key}.txt" got HEX)
      string(HEX "${expected_${key}}" wanted)
      if(NOT ran EQUAL 0 OR NOT got STREQUAL wanted)
        fail("product_names.h: ${key} holds the bytes ${got}, not ${wanted}")
      endif()
    endforeach()
  endif()

  # Resource script: a string table of the same texts; each must appear in
  # the compiled resources as its length and its UTF-16 characters.
  set(script "#include \"product_names.rh\"\nSTRINGTABLE\nBEGIN\n")
  set(id 1)
  foreach(key IN LISTS checked)
    string(APPEND script "  ${id}, PRODUCT_${key}\n")
    math(EXPR id "${id} + 1")
  endforeach()
  string(APPEND script "END\n")
  file(WRITE "${WORK}/escapes/names.rc" "${script}")
  execute_process(COMMAND "${WINDRES}" -I "${generated}" -i "${WORK}/escapes/names.rc"
                          -O res -o "${WORK}/escapes/names.res"
                  RESULT_VARIABLE built OUTPUT_VARIABLE build_output ERROR_VARIABLE build_output)
  if(NOT built EQUAL 0)
    fail("product_names.rh does not compile:\n${build_output}")
  else()
    file(READ "${WORK}/escapes/names.res" resources HEX)
    foreach(key IN LISTS checked)
      string(HEX "${expected_${key}}" text)
      string(REGEX REPLACE "(..)" "\\100" text "${text}")
      string(LENGTH "${expected_${key}}" length)
      math(EXPR low "${length} % 256" OUTPUT_FORMAT HEXADECIMAL)
      math(EXPR high "${length} / 256" OUTPUT_FORMAT HEXADECIMAL)
      string(REGEX REPLACE "^0x(.)$" "0x0\\1" low "${low}")
      string(REGEX REPLACE "^0x(.)$" "0x0\\1" high "${high}")
      string(SUBSTRING "${low}" 2 2 low)
      string(SUBSTRING "${high}" 2 2 high)
      string(FIND "${resources}" "${low}${high}${text}" at)
      if(at EQUAL -1)
        fail("product_names.rh: ${key} is not [${expected_${key}}] in the compiled string table")
      endif()
    endforeach()
  endif()
endif()

# ---- The module's interface, in the caller's scope
set(case interface)
set(VEXLO_PRODUCT_DIR "${WORK}/escapes")
set(VEXLO_GENERATED_DIR "${WORK}/interface")
file(MAKE_DIRECTORY "${VEXLO_GENERATED_DIR}")
include("${PRODUCT_SCRIPT}")
vexlo_read_product()
if(NOT VEXLO_PRODUCT_ProductShortName STREQUAL awkward_name)
  fail("VEXLO_PRODUCT_ProductShortName is [${VEXLO_PRODUCT_ProductShortName}]")
endif()
if(NOT VEXLO_PRODUCT_DestinationQuestion STREQUAL "Where would you like to install ${awkward_name}?")
  fail("VEXLO_PRODUCT_DestinationQuestion is [${VEXLO_PRODUCT_DestinationQuestion}]")
endif()
if(NOT VEXLO_PRODUCT_DIR_ABSOLUTE STREQUAL "${WORK}/escapes")
  fail("VEXLO_PRODUCT_DIR_ABSOLUTE is [${VEXLO_PRODUCT_DIR_ABSOLUTE}]")
endif()
if(NOT EXISTS "${VEXLO_GENERATED_DIR}/product_names.h" OR
   NOT EXISTS "${VEXLO_GENERATED_DIR}/product_names.rh")
  fail("the headers are not in VEXLO_GENERATED_DIR")
endif()
list(LENGTH VEXLO_PRODUCT_KEYS keys)
if(keys LESS 50 OR NOT "GameExeName" IN_LIST VEXLO_PRODUCT_KEYS)
  fail("VEXLO_PRODUCT_KEYS holds ${keys} keys: ${VEXLO_PRODUCT_KEYS}")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "Product.cmake:\n${failures}")
endif()
file(REMOVE_RECURSE "${WORK}")
