# The setup program's pictures and icon for a product, made at build time.
#
# vexlo_product_art(OUTPUT_DIR dir PRODUCT_DIR dir TITLE text [TAGLINE text]
#                   ARTGEN program [DEPENDS targets-and-files...])
#
# A product may give its own in PRODUCT_DIR/art: autoplay.bmp (600x450) and
# wizard.bmp (123x263) are checked (their exact size, 8 bits per pixel,
# uncompressed) and written into OUTPUT_DIR in the layout the dialogs read;
# setup.ico is checked and copied. What it does not give, ARTGEN paints with
# TITLE (and TAGLINE). A picture that fails its check stops the build with
# one line naming it; a .bmp or .ico of another name in art/ stops the
# configure, since it would quietly leave a painted picture in its place.
# Sets VEXLO_ART_FILES to the three files made in OUTPUT_DIR.
function(vexlo_product_art)
  cmake_parse_arguments(ART "" "OUTPUT_DIR;PRODUCT_DIR;TITLE;TAGLINE;ARTGEN" "DEPENDS" ${ARGN})
  if(ART_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vexlo_product_art: unexpected ${ART_UNPARSED_ARGUMENTS} (a title "
                        "with a semicolon cannot be painted)")
  endif()
  set(out ${ART_OUTPUT_DIR})
  set(given_dir ${ART_PRODUCT_DIR}/art)

  # A picture added to or taken from art/ (or art/ itself) reconfigures.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ART_PRODUCT_DIR})
  set(given)
  if(IS_DIRECTORY ${given_dir})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${given_dir})
    file(GLOB entries RELATIVE ${given_dir} ${given_dir}/*)
    foreach(name IN LISTS entries)
      string(TOLOWER "${name}" lower_name)
      if(name MATCHES "^(autoplay\\.bmp|wizard\\.bmp|setup\\.ico)$")
        list(APPEND given ${name})
      elseif(lower_name MATCHES "\\.(bmp|ico)$")
        message(FATAL_ERROR "${given_dir}/${name}: not a picture the setup program uses; the "
                            "names are autoplay.bmp (600x450), wizard.bmp (123x263) and setup.ico")
      endif()
    endforeach()
  endif()

  # How the art is made, in a file that changes only when that does: a new
  # title, or a picture given or taken back, makes everything again.
  set(recipe "title ${ART_TITLE}\ngiven ${given}\n")
  set(tagline_args)
  if(DEFINED ART_TAGLINE OR "TAGLINE" IN_LIST ART_KEYWORDS_MISSING_VALUES)
    set(tagline_args --tagline "${ART_TAGLINE}")
    string(APPEND recipe "tagline ${ART_TAGLINE}\n")
  endif()
  file(MAKE_DIRECTORY ${out})
  file(WRITE ${out}/recipe.new "${recipe}")
  file(COPY_FILE ${out}/recipe.new ${out}/recipe.txt ONLY_IF_DIFFERENT)
  set(depends ${ART_DEPENDS} ${out}/recipe.txt)

  set(painted)
  foreach(picture autoplay.bmp:600:450 wizard.bmp:123:263 setup.ico)
    string(REPLACE ":" ";" picture "${picture}")
    list(GET picture 0 name)
    if(NOT name IN_LIST given)
      list(APPEND painted ${name})
    elseif(name STREQUAL "setup.ico")
      add_custom_command(
        OUTPUT ${out}/${name}
        COMMAND ${ART_ARTGEN} --check-icon ${given_dir}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy ${given_dir}/${name} ${out}/${name}
        DEPENDS ${depends} ${given_dir}/${name}
        COMMENT "Checking the product's ${name}"
        VERBATIM)
    else()
      list(GET picture 1 width)
      list(GET picture 2 height)
      add_custom_command(
        OUTPUT ${out}/${name}
        COMMAND ${ART_ARTGEN} --copy ${given_dir}/${name} ${width} ${height} ${out}/${name}
        DEPENDS ${depends} ${given_dir}/${name}
        COMMENT "Checking the product's ${name}"
        VERBATIM)
    endif()
  endforeach()
  if(painted)
    list(TRANSFORM painted PREPEND ${out}/ OUTPUT_VARIABLE painted_files)
    set(only_args)
    foreach(name IN LISTS painted)
      list(APPEND only_args --only ${name})
    endforeach()
    add_custom_command(
      OUTPUT ${painted_files}
      COMMAND ${ART_ARTGEN} --title "${ART_TITLE}" ${tagline_args} ${only_args} ${out}
      DEPENDS ${depends}
      COMMENT "Painting the setup program's pictures (${painted})"
      VERBATIM)
  endif()
  set(VEXLO_ART_FILES ${out}/autoplay.bmp ${out}/wizard.bmp ${out}/setup.ico PARENT_SCOPE)
endfunction()
