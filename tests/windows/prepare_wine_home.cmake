# Makes the HOME and WINEPREFIX the Wine tests of one build share, once: a prefix made by wineboot.
# Usage: cmake -DWINE_HOME=dir -DWINE=path -DWINEBOOT=path -DWINESERVER=path -P prepare_wine_home.cmake
cmake_minimum_required(VERSION 3.25)
file(MAKE_DIRECTORY ${WINE_HOME})
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
