# Cross-compiling the Windows DLL with mingw-w64 (i686). The -posix compilers give libstdc++ its full thread
# support; everything is linked statically, so the DLL needs no mingw runtime DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZORVA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
