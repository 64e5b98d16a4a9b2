# Installs the build into a fresh prefix, then builds and runs two hosts against that prefix alone: one found with
# find_package (embedding a WAVE resource), one compiled by hand with the flags pkg-config gives.
# Usage: cmake -DBUILD_TREE=dir -DWORK=dir -DSOURCE=consumer-dir -DWAVE=file -DLIBDIR=lib -DCC=compiler -DPKG_CONFIG=path -P
cmake_minimum_required(VERSION 3.25)

function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${result}): ${command}")
  endif()
endfunction()

set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
run_step(${CMAKE_COMMAND} --install ${BUILD_TREE} --prefix ${prefix})

foreach(installed include/zorva_sound.h ${LIBDIR}/libzorva_sound.so ${LIBDIR}/pkgconfig/zorva_sound.pc
        ${LIBDIR}/cmake/zorva_sound/zorva_sound-config.cmake ${LIBDIR}/cmake/zorva_sound/ZorvaWaveResources.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

# Sound goes nowhere: the hosts need no sound device.
set(ENV{ZORVA_OUTPUT} null)

run_step(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/consumer-build -DCMAKE_PREFIX_PATH=${prefix}
         -DZORVA_CONSUMER_WAVE=${WAVE} -DCMAKE_C_COMPILER=${CC})
run_step(${CMAKE_COMMAND} --build ${WORK}/consumer-build)
run_step(${WORK}/consumer-build/consumer TONE)

set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs zorva_sound
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config finds no zorva_sound in ${prefix}")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run_step(${CC} -std=c11 -Wall -Wextra -Wpedantic -Werror ${SOURCE}/consumer.c ${flags}
         -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK}/pkg-config-consumer)
run_step(${WORK}/pkg-config-consumer)
