# Fails when PROGRAM holds code of LIBRARY: the bytes of SIGNATURE (hex, a
# table of the library's) or a defined symbol matching one of SYMBOLS (regular
# expressions over the demangled names NM lists). Both must be found in
# LIBRARY, so that the check cannot pass for want of anything to find.
#   cmake -DNM=... -DPROGRAM=... -DLIBRARY=... -DSIGNATURE=hex "-DSYMBOLS=re;re" -P CheckLinkedCode.cmake
foreach(file ${PROGRAM} ${LIBRARY})
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} does not exist")
  endif()
endforeach()

function(defined_symbols file out)
  execute_process(COMMAND ${NM} -C --defined-only ${file} OUTPUT_VARIABLE listing RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${NM} ${file} failed")
  endif()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

if(SIGNATURE)
  string(TOLOWER "${SIGNATURE}" signature)
  file(READ ${LIBRARY} library_hex HEX)
  string(FIND "${library_hex}" "${signature}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the signature ${signature} is not in ${LIBRARY}: the check has nothing to look for")
  endif()
  file(READ ${PROGRAM} program_hex HEX)
  string(FIND "${program_hex}" "${signature}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} holds a copy of ${LIBRARY}'s table ${signature}")
  endif()
endif()

defined_symbols(${LIBRARY} library_symbols)
defined_symbols(${PROGRAM} program_symbols)
foreach(re ${SYMBOLS})
  if(NOT library_symbols MATCHES "${re}")
    message(FATAL_ERROR "no symbol of ${LIBRARY} matches ${re}: the check has nothing to look for")
  endif()
  if(program_symbols MATCHES "[^\n]*${re}[^\n]*")
    message(FATAL_ERROR "${PROGRAM} holds code of ${LIBRARY}: ${CMAKE_MATCH_0}")
  endif()
endforeach()
message(STATUS "${PROGRAM}: no code of ${LIBRARY}")
