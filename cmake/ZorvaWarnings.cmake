# The one place warnings are set: every target of the project, tests included, compiles with -Wall -Wextra (and C
# hosts of the public header with -Wpedantic), and with -Werror when ZORVA_WARNINGS_AS_ERRORS is on, as the presets
# and CI have it. A consumer's plain build leaves it off: a newer compiler may warn where ours does not.
#   zorva_warnings(target [PEDANTIC_C])
function(zorva_warnings target)
  cmake_parse_arguments(PARSE_ARGV 1 option "PEDANTIC_C" "" "")
  set(flags -Wall -Wextra)
  if(option_PEDANTIC_C)
    list(APPEND flags $<$<COMPILE_LANGUAGE:C>:-Wpedantic>)
  endif()
  if(ZORVA_WARNINGS_AS_ERRORS)
    list(APPEND flags -Werror)
  endif()
  target_compile_options(${target} PRIVATE ${flags})
endfunction()
