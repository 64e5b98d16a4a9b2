# The 22 exports are listed once, in src/ZORVA_Sound.def: in the entry table's order, each stdcall name with its
# argument bytes (ZRVA_GetFunction, cdecl, without). Everything else that lists them is made from it or checked
# against it.
set(ZORVA_EXPORTS_DEF ${CMAKE_CURRENT_LIST_DIR}/../src/ZORVA_Sound.def)

# zorva_read_exports(names bytes): the names in order, and each one's argument bytes (-1 for cdecl).
function(zorva_read_exports names_var bytes_var)
  file(STRINGS ${ZORVA_EXPORTS_DEF} lines REGEX "^ +ZRVA_")
  set(names)
  set(bytes)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^([A-Za-z_]+)@([0-9]+)$")
      list(APPEND names ${CMAKE_MATCH_1})
      list(APPEND bytes ${CMAKE_MATCH_2})
    else()
      list(APPEND names ${line})
      list(APPEND bytes -1)
    endif()
  endforeach()
  set(${names_var} ${names} PARENT_SCOPE)
  set(${bytes_var} ${bytes} PARENT_SCOPE)
endfunction()

# zorva_write_undecorated_def(file): the same list without decoration, for the 64-bit DLL.
function(zorva_write_undecorated_def file)
  zorva_read_exports(names bytes)
  set(text "; 64-bit exports, made from ZORVA_Sound.def: one calling convention, no decoration.\nLIBRARY ZORVA_Sound.dll\nEXPORTS\n")
  foreach(name IN LISTS names)
    string(APPEND text "    ${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}")
endfunction()
