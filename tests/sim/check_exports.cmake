# Fails unless LIBRARY's dynamic symbol table defines exactly the expected
# functions.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(found)
foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
        list(APPEND found "${CMAKE_MATCH_1}")
    endif()
endforeach()
list(SORT found)
set(expected SDT_ClosePort SDT_GetSAMIDToStr SDT_OpenPort SDT_ReadBaseFPMsg SDT_ReadBaseMsg
    SDT_ReadNewAppMsg SDT_SelectIDCard SDT_StartFindIDCard TermbVirtualAdvanceClock
    TermbVirtualReaderInfo TermbVirtualReset Wlt2Bmp)
if(NOT found STREQUAL expected)
    message(FATAL_ERROR "exports: ${found}\nexpected: ${expected}")
endif()
