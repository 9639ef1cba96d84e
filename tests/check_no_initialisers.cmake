# The kernel tables are constants: the libraries run no C++ static initialiser when they are
# loaded (a table filled at load time would be a null kernel for a caller whose own static
# constructors run first). Static initialisation functions are named _GLOBAL__sub_I_<file>. The
# one load-time function, the processor check of src/frame/cpu.cpp, only switches from the
# portable tables, which serve until it has run, to the AVX2 ones.
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
