# The Windows DLL: ZORVA_Sound.dll with plain export names, linked against the real Windows libraries.
# It imports only kernel32, user32 and msvcrt at load time; ole32, winmm, msacm32 and DirectSound are loaded by the
# library itself when a device starts, so loading the DLL starts nothing.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ZORVA_DEF_FILE ${ZORVA_EXPORTS_DEF})
else()
  set(ZORVA_DEF_FILE ${CMAKE_CURRENT_BINARY_DIR}/ZORVA_Sound-x64.def)
  zorva_write_undecorated_def(${ZORVA_DEF_FILE})
endif()

add_library(zorva_sound SHARED $<TARGET_OBJECTS:zorva_core> ${ZORVA_DEF_FILE})
target_include_directories(zorva_sound PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(zorva_sound PROPERTIES
  OUTPUT_NAME ZORVA_Sound
  PREFIX ""
  IMPORT_PREFIX "lib"
  IMPORT_SUFFIX ".dll.a")
# --kill-at strips the stdcall decoration from the exported names (32-bit); the mingw runtime libraries are linked
# in, so the DLL stands alone beside any host.
target_link_options(zorva_sound PRIVATE
  -static -static-libgcc -static-libstdc++
  $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>:-Wl,--kill-at>)
add_library(zorva_sound::zorva_sound ALIAS zorva_sound)

# ld names the 32-bit import library's symbols after the undecorated exports, which a host compiled with the header
# (stdcall, so __imp__ZRVA_Init@24) cannot link against; dlltool makes it from the .def with the decorated names.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_custom_command(TARGET zorva_sound POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --def ${ZORVA_DEF_FILE} --dllname ZORVA_Sound.dll --kill-at
            --output-lib $<TARGET_LINKER_FILE:zorva_sound>
    VERBATIM)
endif()

# A folder a Windows host developer can take whole: the DLL, its import library, the export list and the header.
install(TARGETS zorva_sound
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${ZORVA_DEF_FILE} DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME ZORVA_Sound.def)
install(FILES ${PROJECT_SOURCE_DIR}/include/zorva_sound.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
