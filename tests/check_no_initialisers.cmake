# The kernel tables are constants: the libraries run no code of their own when they are loaded
# (a table filled at load time would also be a null kernel for a caller whose own static
# constructors run first). Static initialisation functions are named _GLOBAL__sub_I_<file>.
foreach(lib ${LIBS})
  execute_process(COMMAND nm ${lib} OUTPUT_VARIABLE nm_out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${lib}")
  endif()
  string(REGEX MATCHALL "_GLOBAL__sub_I_[^\n]+" inits "${nm_out}")
  if(inits)
    message(FATAL_ERROR "${lib} initialises at load time: ${inits}")
  endif()
endforeach()
message(STATUS "no load-time initialisers in ${LIBS}")
