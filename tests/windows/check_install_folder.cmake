# Installs a Windows build into a fresh folder and checks that it holds what a Windows host developer takes:
# the DLL, its import library, the export list and the header.
# Usage: cmake -DBUILD_TREE=dir -DPREFIX=dir -DBINDIR=bin -DLIBDIR=lib -DINCLUDEDIR=include -P check_install_folder.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_TREE} --prefix ${PREFIX} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install ${BUILD_TREE} failed: ${result}")
endif()
foreach(installed ${BINDIR}/ZORVA_Sound.dll ${LIBDIR}/libZORVA_Sound.dll.a ${LIBDIR}/ZORVA_Sound.def
        ${INCLUDEDIR}/zorva_sound.h)
  if(NOT EXISTS ${PREFIX}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()
