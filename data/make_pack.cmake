# SPDX-License-Identifier: MIT
# Packs the files zarn_packtool wrote into one datafile.
#   cmake -DDAT=dat -DSETARCH=setarch -DPASSWORD=WORD -DSTAGE=DIR -DOUTPUT=FILE
#         -P make_pack.cmake
#
# The same sources must give the same bytes, wherever and by whom it is built:
# - dat runs inside STAGE on bare file names, so no path of the build tree
#   reaches the pack, and with -s1, so no grabber dates or file names are kept;
# - dat stores each palette entry's filler byte straight from memory it got
#   from malloc and never set. What was there depends on the environment and
#   the working directory, so MALLOC_PERTURB_ has glibc fill new memory with
#   a fixed byte, and `setarch -R` turns off address randomisation.
cmake_minimum_required(VERSION 3.16)

foreach(var DAT SETARCH PASSWORD STAGE OUTPUT)
  if(NOT ${var})
    message(FATAL_ERROR "make_pack.cmake needs -D${var}=...")
  endif()
endforeach()

execute_process(COMMAND uname -m OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "uname -m failed")
endif()

file(STRINGS ${STAGE}/pack.lst entries)
set(types BMP FONT PAL SAMP DATA)
foreach(type ${types})
  set(files_${type})
endforeach()
foreach(entry ${entries})
  string(REGEX MATCH "^([A-Z]+) (.+)$" matched "${entry}")
  set(type ${CMAKE_MATCH_1})
  if(NOT matched OR NOT type IN_LIST types)
    message(FATAL_ERROR "pack.lst: cannot read '${entry}'")
  endif()
  list(APPEND files_${type} ${CMAKE_MATCH_2})
endforeach()

file(REMOVE ${STAGE}/zarn.dat)
foreach(type ${types})
  if(NOT files_${type})
    continue()
  endif()
  # -n1 sorts the objects by name after every call, so the NN_ prefixes of
  # the file names become the object indices.
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env MALLOC_PERTURB_=90
            ${SETARCH} ${arch} -R ${DAT} -a -n1 -s1 -007 ${PASSWORD} -t ${type}
            zarn.dat ${files_${type}}
    WORKING_DIRECTORY ${STAGE}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dat failed on the ${type} files (exit ${status}):\n${out}")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E copy ${STAGE}/zarn.dat ${OUTPUT}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot copy the pack to ${OUTPUT}")
endif()
