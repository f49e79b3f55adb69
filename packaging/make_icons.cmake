# Draws the application icon in every hicolor size from one of the game's own
# pictures: cmake -DCONVERT=convert -DSOURCE=02_ape_stand.bmp -DOUTPUT=DIR
# -DNAME=ICON_NAME -P make_icons.cmake writes DIR/NxN/apps/ICON_NAME.png.
#
# Colour 0 is what the game leaves out when it draws a sprite, so it becomes
# transparent, and the empty margin is cut away. Sizes the picture fits into
# get it enlarged by whole or half steps with hard pixel edges, as it looks
# in the game; smaller sizes get it averaged down, which keeps its shape
# readable where dropping pixels would not.

foreach(var CONVERT SOURCE OUTPUT NAME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_icons.cmake: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "make_icons.cmake: ${ARGN} failed (${rc}): ${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${OUTPUT})
set(cut ${OUTPUT}/cut.png)
# In the ape's picture colour 0 is the only pure black (its outline is a
# near-black of its own), so it can be picked by its colour. PNG32 keeps
# the alpha channel even where no other pixel needs it.
run(${CONVERT} ${SOURCE} -transparent "rgb(0,0,0)" -trim +repage PNG32:${cut})
run(${CONVERT} ${cut} -format "%w %h" info:)
separate_arguments(dims UNIX_COMMAND "${run_output}")
list(GET dims 0 w)
list(GET dims 1 h)
if(w GREATER h)
  set(side ${w})
else()
  set(side ${h})
endif()

foreach(size 16 32 48 64 128 256)
  set(dir ${OUTPUT}/${size}x${size}/apps)
  file(MAKE_DIRECTORY ${dir})
  if(size LESS side)
    set(resize -filter box -resize ${size}x${size})
  else()
    math(EXPR halves "2 * ${size} / ${side}")
    math(EXPR percent "50 * ${halves}")
    set(resize -filter point -resize ${percent}%)
  endif()
  run(${CONVERT} ${cut} ${resize} -background none -gravity center
      -extent ${size}x${size} PNG32:${dir}/${NAME}.png)
endforeach()
file(REMOVE ${cut})
