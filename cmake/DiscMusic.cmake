# vexlo_disc_music(OUT FOLDER): the MP3s directly in FOLDER, whatever the case
# of their extension (BOSS.MP3 as well as boss.mp3), in name order. The
# installer decodes them all, so the build must measure and copy them all.
function(vexlo_disc_music out folder)
  if(CMAKE_SCRIPT_MODE_FILE)
    file(GLOB candidates LIST_DIRECTORIES false "${folder}/*")
  else()
    file(GLOB candidates CONFIGURE_DEPENDS LIST_DIRECTORIES false "${folder}/*")
  endif()
  set(music)
  foreach(file IN LISTS candidates)
    # A ';' in a name splits it in CMake's lists: say so rather than lose it.
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${folder}: a file name holds ';', which the build cannot take "
                          "(\"${file}\" is a part of it)")
    endif()
    if(file MATCHES "\\.[Mm][Pp]3$")
      list(APPEND music "${file}")
    endif()
  endforeach()
  list(SORT music)
  set(${out} "${music}" PARENT_SCOPE)
endfunction()
