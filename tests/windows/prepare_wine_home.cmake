# Makes the HOME and WINEPREFIX the Wine tests of one build share, once: an .asoundrc that sends ALSA's default
# device to a file over "null", so Wine's sound output works without sound hardware, and a prefix made by wineboot.
# The file plugin pipes the stream to PACER (paced_capture.c), which holds Wine to real time and writes the file
# that the environment variable ZORVA_CAPTURE names, so each test captures into its own (CAPTURE otherwise).
# Usage: cmake -DWINE_HOME=dir -DWINE=path -DWINEBOOT=path -DWINESERVER=path -DPACER=path -DCAPTURE=file.wav
#        -P prepare_wine_home.cmake
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${WINE_HOME})
# Wine's mix is float, which the file plugin's WAVE header would call integer PCM: the plug in front hands the file
# 32-bit integers instead.
file(WRITE ${WINE_HOME}/.asoundrc "pcm.!default {
    type plug
    slave {
        pcm \"zorva_capture\"
        format S32_LE
    }
}
pcm.zorva_capture {
    type file
    slave.pcm \"null\"
    file \"|${PACER} ${CAPTURE}\"
    format \"wav\"
}
")
# The server these start outlives them; given our pipes it would keep CTest waiting, so it gets a log file instead.
set(log ${WINE_HOME}/wineserver.log)
if(NOT EXISTS ${WINE_HOME}/prefix/system.reg)
  execute_process(COMMAND ${WINEBOOT} -i RESULT_VARIABLE result OUTPUT_FILE ${log} ERROR_FILE ${log})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "wineboot -i failed: ${result}")
  endif()
  execute_process(COMMAND ${WINESERVER} -w) # the server wineboot started, gone, so ours can start
endif()
# One server for the whole run, so no test pays for starting it; the cleanup fixture stops it.
execute_process(COMMAND ${WINESERVER} -p RESULT_VARIABLE result OUTPUT_FILE ${log} ERROR_FILE ${log})
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wineserver -p failed: ${result}")
endif()
# Wine's own service processes start with the first program and stay with the server; started here, they hold the
# log file and not the pipe of the first test.
execute_process(COMMAND ${WINE} cmd /c exit RESULT_VARIABLE result OUTPUT_FILE ${log} ERROR_FILE ${log})
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wine cmd /c exit failed: ${result}")
endif()
