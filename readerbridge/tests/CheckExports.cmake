# cmake -DNM=... -DLIBRARY=... -DPREFIX=... -P CheckExports.cmake
# Fails unless the library's dynamic symbol table defines exactly the four natives under PREFIX.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(exported)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND exported "${name}")
endforeach()
list(SORT exported)
set(expected ${PREFIX}winCancelaLeituraDQ4HN ${PREFIX}winLeAssincronoDQ4HN
  ${PREFIX}winLeSincronoDQ4HN ${PREFIX}winStartLeAssincronoDQ4HN)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "${LIBRARY} exports\n  ${exported}\nexpected\n  ${expected}")
endif()
