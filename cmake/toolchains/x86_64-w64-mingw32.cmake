# Cross-compiling the Windows DLL with mingw-w64 (x86_64). The -posix compilers give libstdc++ its full thread
# support; everything is linked statically, so the DLL needs no mingw runtime DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZORVA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
