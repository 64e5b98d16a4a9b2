# Cross-compiling the Windows DLL with mingw-w64 (x86_64). The -posix compilers give libstdc++ its full thread
# support; everything is linked statically, so the DLL needs no mingw runtime DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORVA_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${ZORVA_MINGW_TRIPLE}-gcc-posix ${ZORVA_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${ZORVA_MINGW_TRIPLE}-g++-posix ${ZORVA_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${ZORVA_MINGW_TRIPLE}-windres REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${ZORVA_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ZORVA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables built for Windows run here under Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ZORVA_WINE NAMES wine)
  if(ZORVA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORVA_WINE})
  endif()
endif()
