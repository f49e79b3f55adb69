# Plays screenshot.script through zarn-trace and turns the shot it takes into
# the PNG shown on the software centre's page, enlarged three times with hard
# pixel edges: cmake -DTRACE=zarn-trace -DPACK=zarn.dat -DCONVERT=convert
# -DSCRIPT=screenshot.script -DWORK=DIR -DOUTPUT=out.png -P make_screenshot.cmake

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/shots)
# zarn-trace, like the game, loads the pack from the folder it runs in.
file(COPY ${PACK} DESTINATION ${WORK})
execute_process(COMMAND ${TRACE} --seed 3 --no-sound --shots shots ${SCRIPT}
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/shots/playfield.bmp)
  message(FATAL_ERROR "make_screenshot.cmake: zarn-trace failed (${rc}): ${err}")
endif()
execute_process(COMMAND ${CONVERT} ${WORK}/shots/playfield.bmp -filter point -resize 300% ${OUTPUT}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_screenshot.cmake: convert failed (${rc}): ${err}")
endif()
file(REMOVE ${WORK}/zarn.dat)
