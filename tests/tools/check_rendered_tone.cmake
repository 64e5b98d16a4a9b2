# The play command's path on a machine without sound hardware: zorva-play renders a one-second tone into a WAVE file,
# which must be whole once it exits (the header's sizes are written last) and hold the tone, not silence.
# Usage: cmake -DPLAYER=zorva-play -DSOUND=tone.wav -DOUT=render.wav -P check_rendered_tone.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE ${OUT})
execute_process(COMMAND ${PLAYER} --output ${OUT} ${SOUND} RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "zorva-play answered ${result} and rendered ${OUT}: no")
endif()

# A little-endian 32-bit field of the file.
function(read_u32 offset out)
  file(READ ${OUT} hex OFFSET ${offset} LIMIT 4 HEX)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" hex "${hex}")
  math(EXPR value "0x${hex}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

file(SIZE ${OUT} size)
read_u32(4 riff)
read_u32(24 rate)
read_u32(28 bytes_per_second)
read_u32(40 data)
math(EXPR riff_wanted "${size} - 8")
math(EXPR data_wanted "${size} - 44")
if(NOT riff EQUAL riff_wanted OR NOT data EQUAL data_wanted)
  message(FATAL_ERROR "${size}-byte file whose header says RIFF ${riff} and data ${data}")
endif()
if(data LESS bytes_per_second OR NOT rate EQUAL 44100)
  message(FATAL_ERROR "${data} bytes at ${rate} Hz: less than the tone's second")
endif()
# Half a second in, the tone plays.
math(EXPR middle "44 + ${bytes_per_second} / 2")
file(READ ${OUT} samples OFFSET ${middle} LIMIT 64 HEX)
if(samples MATCHES "^0*$")
  message(FATAL_ERROR "silence half a second in")
endif()
message(STATUS "${OUT}: ${data} bytes at ${rate} Hz, whole")
