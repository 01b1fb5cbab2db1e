# Compares the dynamic symbols that a shared library defines with an expected list.
# Usage: cmake -DNM=<nm> -DLIBRARY=<lib.so> -DEXPECTED=<list.txt> -P CheckExports.cmake
# The list holds one demangled name a line; blank lines and lines starting with # are
# ignored. Symbols that differ only in their mangled variant (complete and base-object
# constructors, for example) count once.
foreach(var NM LIBRARY EXPECTED)
    if(NOT ${var})
        message(FATAL_ERROR "CheckExports.cmake needs -D${var}=...")
    endif()
endforeach()

execute_process(COMMAND ${NM} -D --defined-only -C ${LIBRARY}
    OUTPUT_VARIABLE nm_output ERROR_VARIABLE nm_error RESULT_VARIABLE nm_result)
if(NOT nm_result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${nm_error}")
endif()

string(REPLACE ";" "\\;" nm_output "${nm_output}")
string(REPLACE "\n" ";" nm_lines "${nm_output}")
set(actual "")
foreach(line IN LISTS nm_lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
        list(APPEND actual "${CMAKE_MATCH_1}")
    endif()
endforeach()
list(REMOVE_DUPLICATES actual)
list(SORT actual)

file(STRINGS ${EXPECTED} expected_lines)
set(expected "")
foreach(line IN LISTS expected_lines)
    if(NOT line STREQUAL "" AND NOT line MATCHES "^#")
        list(APPEND expected "${line}")
    endif()
endforeach()
list(REMOVE_DUPLICATES expected)
list(SORT expected)

set(unexpected ${actual})
list(REMOVE_ITEM unexpected ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
list(LENGTH actual actual_count)
if(unexpected OR missing)
    list(JOIN unexpected "\n  " unexpected_text)
    list(JOIN missing "\n  " missing_text)
    message(FATAL_ERROR "${LIBRARY} exports differ from ${EXPECTED}\n"
        "Exported but not expected:\n  ${unexpected_text}\n"
        "Expected but not exported:\n  ${missing_text}")
endif()
message(STATUS "${LIBRARY}: exactly the ${actual_count} expected symbols are exported")
