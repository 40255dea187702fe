# The product a build makes: its names and texts, its disc content, its art.
# Everything that names the product lives in one folder, VEXLO_PRODUCT_DIR:
#
#   product.ini   Key=Value lines (# or ; starts a comment line): the names and
#                 every text that carries the product's name
#   content/      copied onto the disc as it is (any names; .mp3 in any case
#                 is decoded into a WAV member of the game's archive)
#   members/      added to the game's archive as they are (Credits.txt, ...)
#   game/         optional: the publisher's game executable, named GameExeName
#   art/          optional: autoplay.bmp, wizard.bmp, setup.ico (else painted)
#   DXSetup/      optional: the DirectX redistributable (else the stand-in)
#
# A value is plain text, taken as it stands (backslashes included); ${Key}
# stands for another key's value, ${CRLF} for a line break. The keys are
# those of the sample product's product.ini: a product must give each of them,
# and a text that is a format (its %s, %u ...) must keep the sample's
# directives in the sample's order.
#
# vexlo_read_product() sets VEXLO_PRODUCT_<Key> for every key and writes two
# headers into VEXLO_GENERATED_DIR: product_names.h (a constexpr char array
# per key, for C++), product_names.rh (PRODUCT_<Key> string macros, for
# the resource scripts) and product_texts.h (every key by name beside its
# text, for vexlo-textfit).
#
# It also runs as a script, for checking a product folder without a build:
#   cmake -DVEXLO_PRODUCT_DIR=folder -DVEXLO_GENERATED_DIR=out -P cmake/Product.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()
get_filename_component(VEXLO_SAMPLE_PRODUCT_DIR ${CMAKE_CURRENT_LIST_DIR}/../disc/product ABSOLUTE)

# _vexlo_parse_ini(FILE PREFIX): sets ${PREFIX}_KEYS and ${PREFIX}_<Key>.
function(_vexlo_parse_ini file prefix)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "Product: ${file} is missing")
  endif()
  # Read whole and split by hand: ';', '[', ']' and '\' are list syntax to
  # CMake; stand-ins hold their places until a line is taken apart.
  file(READ "${file}" content)
  string(ASCII 1 semicolon)
  string(ASCII 2 open_bracket)
  string(ASCII 3 close_bracket)
  string(ASCII 4 backslash)
  string(REPLACE "\\" "${backslash}" content "${content}")
  string(REPLACE ";" "${semicolon}" content "${content}")
  string(REPLACE "[" "${open_bracket}" content "${content}")
  string(REPLACE "]" "${close_bracket}" content "${content}")
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(keys)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REPLACE "${semicolon}" ";" line "${line}")
    string(REPLACE "${open_bracket}" "[" line "${line}")
    string(REPLACE "${close_bracket}" "]" line "${line}")
    string(REPLACE "${backslash}" "\\" line "${line}")
    string(STRIP "${line}" stripped)
    if(stripped STREQUAL "" OR stripped MATCHES "^[#;]")
      continue()
    endif()
    if(NOT line MATCHES "^[ \t]*([A-Za-z][A-Za-z0-9]*)[ \t]*=(.*)$")
      message(FATAL_ERROR "${file}:${number}: not a Key=Value line: ${line}")
    endif()
    set(key ${CMAKE_MATCH_1})
    string(STRIP "${CMAKE_MATCH_2}" value)
    if(key IN_LIST keys)
      message(FATAL_ERROR "${file}:${number}: ${key} is given twice")
    endif()
    if(NOT value MATCHES "^[ -~]*$")
      message(FATAL_ERROR "${file}:${number}: ${key} holds a character outside printable ASCII; "
                          "the programs show their texts in every Windows code page")
    endif()
    list(APPEND keys ${key})
    set(${prefix}_${key} "${value}" PARENT_SCOPE)
  endforeach()
  set(${prefix}_KEYS "${keys}" PARENT_SCOPE)
endfunction()

# The % directives of a format text, in order ("%%" is no directive).
function(_vexlo_format_directives out text)
  string(REPLACE "%%" "" text "${text}")
  string(REGEX MATCHALL "%[-+ #0-9.]*[a-zA-Z]+" directives "${text}")
  set(${out} "${directives}" PARENT_SCOPE)
endfunction()

# A text is formatted (the programs fill in its %s and %u) when the sample's
# is: it must keep the sample's directives in order, and a percent sign in it
# is written %%. Every other text is shown as it stands, so its % is itself
# and a %% would show as two.
function(_vexlo_check_percent ini key sample value)
  _vexlo_format_directives(wanted "${sample}")
  if(wanted STREQUAL "")
    string(FIND "${value}" "%%" doubled)
    if(NOT doubled EQUAL -1)
      message(FATAL_ERROR "${ini}: ${key} is shown as it stands, so a percent sign in it is "
                          "written %, not %% (only the texts with %s or %u are formatted and "
                          "double it): \"${value}\"")
    endif()
    return()
  endif()
  _vexlo_format_directives(got "${value}")
  if(NOT wanted STREQUAL got)
    message(FATAL_ERROR "${ini}: ${key} must hold the directives \"${wanted}\" in that order "
                        "(it holds \"${got}\"): the programs fill them in, so a percent sign "
                        "in this text is written %%")
  endif()
endfunction()

# Escapes for a C string literal (C_OUT) and a resource-script one (RC_OUT).
function(_vexlo_literals c_out rc_out text)
  string(REPLACE "\\" "\\\\" c "${text}")
  set(rc "${c}")
  string(REPLACE "\"" "\\\"" c "${c}")
  # "??" followed by = / ' ( ) ! < > - would be a trigraph to a C compiler.
  while(c MATCHES "\\?\\?")
    string(REPLACE "??" "?\\?" c "${c}")
  endwhile()
  string(REPLACE "\"" "\"\"" rc "${rc}")
  string(REPLACE "\r\n" "\\r\\n" c "${c}")
  string(REPLACE "\r\n" "\\r\\n" rc "${rc}")
  set(${c_out} "${c}" PARENT_SCOPE)
  set(${rc_out} "${rc}" PARENT_SCOPE)
endfunction()

# The keys that become file names, registry subkeys and folders must have the
# shape the programs build paths from: a name with a folder in it would put
# the game, the uninstaller or the Uninstall entry somewhere else.
function(_vexlo_check_shape ini key value)
  set(forbidden "[\\\\/:*?\"<>|;]")
  if(key MATCHES "^(GameExeName|UninstallerMember)$")
    if(value MATCHES "${forbidden}" OR NOT value MATCHES "[^. ]\\.[Ee][Xx][Ee]$")
      message(FATAL_ERROR "${ini}: ${key} \"${value}\" must be a plain file name ending in .exe "
                          "(no folder, none of \\ / : * ? \" < > | ;)")
    endif()
  elseif(key MATCHES "^(ProductKeyName|FullProductKeyName)$")
    if(value MATCHES "[\\\\]")
      message(FATAL_ERROR "${ini}: ${key} \"${value}\" must be one registry subkey name, "
                          "without a backslash")
    endif()
  elseif(key STREQUAL "GroupFolderName")
    string(SUBSTRING "${value}" 1 -1 folder_name)
    if(NOT value MATCHES "^[\\\\]" OR folder_name STREQUAL "" OR folder_name MATCHES "${forbidden}")
      message(FATAL_ERROR "${ini}: GroupFolderName \"${value}\" must be a backslash and one "
                          "folder name (as \\Vexlo Demo)")
    endif()
  elseif(key MATCHES "^(GameShortcutTitle|RemoveShortcutTitle)$")
    if(value MATCHES "${forbidden}" OR value MATCHES "[. ]$")
      message(FATAL_ERROR "${ini}: ${key} \"${value}\" names a shortcut file: none of "
                          "\\ / : * ? \" < > | ; and no final dot or space")
    endif()
  elseif(key MATCHES "^(PlayButtonText|InstallButtonText)$")
    # The launcher widens its buttons to their texts, up to its own width:
    # 299 dialog units less a margin of 7 on each side and the button's 8, at
    # the 4 units an average character of the dialog's font takes.
    set(fit 69)
    string(LENGTH "${value}" length)
    if(length GREATER fit)
      message(FATAL_ERROR "${ini}: ${key} \"${value}\" has ${length} characters, and the "
                          "launcher's button shows at most ${fit} of them: shorten it")
    endif()
  elseif(key STREQUAL "NoShortcutExtensions")
    string(REGEX MATCHALL "[^ ]+" extensions "${value}")
    foreach(extension IN LISTS extensions)
      string(LENGTH "${extension}" length)
      if(NOT extension MATCHES "^[.][A-Za-z0-9_]+$" OR length GREATER 31)
        message(FATAL_ERROR "${ini}: NoShortcutExtensions \"${value}\" must be extensions "
                            "separated by spaces, each a dot and at most 30 letters, digits or _ "
                            "(as .cfg .ini)")
      endif()
    endforeach()
  elseif(key STREQUAL "DefaultDestFolder")
    if(NOT value MATCHES "^[A-Za-z]:[\\\\].*[\\\\]$" OR value MATCHES "[/*?\"<>|;]")
      message(FATAL_ERROR "${ini}: DefaultDestFolder \"${value}\" must be a full folder path "
                          "ending in a backslash (as C:\\Games\\Vexlo Demo\\)")
    endif()
  endif()
endfunction()

# Keys a product may leave out: the sample's value is taken.
set(_vexlo_optional_keys NoShortcutExtensions)

function(vexlo_read_product)
  get_filename_component(dir "${VEXLO_PRODUCT_DIR}" ABSOLUTE)
  set(ini ${dir}/product.ini)
  _vexlo_parse_ini(${ini} given)
  _vexlo_parse_ini(${VEXLO_SAMPLE_PRODUCT_DIR}/product.ini sample)
  if(NOT CMAKE_SCRIPT_MODE_FILE)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${ini} ${VEXLO_SAMPLE_PRODUCT_DIR}/product.ini)
  endif()

  foreach(key IN LISTS given_KEYS)
    if(NOT key IN_LIST sample_KEYS)
      message(FATAL_ERROR "${ini}: unknown key ${key} (the keys are those of "
                          "${VEXLO_SAMPLE_PRODUCT_DIR}/product.ini)")
    endif()
  endforeach()
  foreach(key IN LISTS sample_KEYS)
    if(key IN_LIST given_KEYS)
      continue()
    endif()
    # A key added since products were first copied takes the sample's value.
    if(key IN_LIST _vexlo_optional_keys)
      set(given_${key} "${sample_${key}}")
    else()
      message(FATAL_ERROR "${ini}: ${key} is missing (see ${VEXLO_SAMPLE_PRODUCT_DIR}/product.ini)")
    endif()
  endforeach()

  # ${Key} references, resolved in as many rounds as keys (a cycle is an error).
  list(LENGTH sample_KEYS rounds)
  foreach(key IN LISTS sample_KEYS)
    set(value "${given_${key}}")
    set(round 0)
    while(value MATCHES "\\$\\{([A-Za-z][A-Za-z0-9]*)\\}")
      set(ref ${CMAKE_MATCH_1})
      if(ref STREQUAL "CRLF")
        set(replacement "\r\n")
      elseif(ref IN_LIST sample_KEYS)
        set(replacement "${given_${ref}}")
      else()
        message(FATAL_ERROR "${ini}: ${key} refers to \${${ref}}, which is no key")
      endif()
      string(REPLACE "\${${ref}}" "${replacement}" value "${value}")
      math(EXPR round "${round} + 1")
      if(round GREATER rounds)
        message(FATAL_ERROR "${ini}: ${key} refers to itself through \${${ref}}")
      endif()
    endwhile()
    set(resolved_${key} "${value}")
  endforeach()

  set(cxx "// Made by the build from ${ini}: do not edit.\n#pragma once\n\n")
  set(rc "// Made by the build from ${ini}: do not edit.\n")
  # Every key by name beside its text, for the check that measures the texts
  # in the controls that show them (it names the key of a text that does not fit).
  string(CONCAT table "// Made by the build from ${ini}: do not edit.\n#pragma once\n\n"
         "#include \"product_names.h\"\n\n"
         "struct ProductText {\n    const char* key;\n    const char* text;\n};\n\n"
         "constexpr ProductText ProductTexts[] = {\n")
  foreach(key IN LISTS sample_KEYS)
    set(value "${resolved_${key}}")
    _vexlo_check_percent(${ini} ${key} "${sample_${key}}" "${value}")
    if(value STREQUAL "" AND NOT key STREQUAL "NoShortcutExtensions")
      message(FATAL_ERROR "${ini}: ${key} is empty")
    endif()
    _vexlo_check_shape(${ini} ${key} "${value}")
    set(VEXLO_PRODUCT_${key} "${value}" PARENT_SCOPE)
    _vexlo_literals(c_literal rc_literal "${value}")
    string(APPEND cxx "constexpr char ${key}[] = \"${c_literal}\";\n")
    string(APPEND rc "#define PRODUCT_${key} \"${rc_literal}\"\n")
    string(APPEND table "    {\"${key}\", ${key}},\n")
  endforeach()
  string(APPEND table "};\n")
  # Two shortcuts of one name would be one file in the Start Menu group.
  string(TOLOWER "${resolved_GameShortcutTitle}" game_title)
  string(TOLOWER "${resolved_RemoveShortcutTitle}" remove_title)
  if(game_title STREQUAL remove_title)
    message(FATAL_ERROR "${ini}: GameShortcutTitle and RemoveShortcutTitle are both "
                        "\"${resolved_GameShortcutTitle}\": the removal's shortcut would replace "
                        "the game's")
  endif()
  set(VEXLO_PRODUCT_KEYS "${sample_KEYS}" PARENT_SCOPE)
  set(VEXLO_PRODUCT_DIR_ABSOLUTE "${dir}" PARENT_SCOPE)

  # Written only when changed: an unchanged product rebuilds nothing.
  foreach(header product_names.h product_names.rh product_texts.h)
    if(header STREQUAL "product_texts.h")
      set(text "${table}")
    elseif(header MATCHES "rh$")
      set(text "${rc}")
    else()
      set(text "${cxx}")
    endif()
    file(WRITE ${VEXLO_GENERATED_DIR}/${header}.new "${text}")
    configure_file(${VEXLO_GENERATED_DIR}/${header}.new ${VEXLO_GENERATED_DIR}/${header} COPYONLY)
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT VEXLO_PRODUCT_DIR OR NOT VEXLO_GENERATED_DIR)
    message(FATAL_ERROR "usage: cmake -DVEXLO_PRODUCT_DIR=folder -DVEXLO_GENERATED_DIR=out "
                        "-P ${CMAKE_CURRENT_LIST_FILE}")
  endif()
  file(MAKE_DIRECTORY ${VEXLO_GENERATED_DIR})
  vexlo_read_product()
endif()
