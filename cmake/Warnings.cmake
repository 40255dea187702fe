# One warning policy for every target of the project.
option(VEXLO_WERROR "Treat warnings as errors" OFF)
function(vexlo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VEXLO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
