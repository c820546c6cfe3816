# Checks that a translation catalogue is complete and in step with the sources:
# lupdate run on a copy finds no text without a translation, and changes nothing.
#   cmake -DLUPDATE=... -DTS=catalogue.ts -DWORK=folder -DSOURCES="a.cpp|b.h" -P CheckTranslations.cmake
string(REPLACE "|" ";" sources "${SOURCES}")
get_filename_component(name "${TS}" NAME)
set(copy "${WORK}/${name}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY_FILE "${TS}" "${copy}")
execute_process(
    COMMAND "${LUPDATE}" -no-obsolete -locations none ${sources} -ts "${copy}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed:\n${output}")
endif()
file(READ "${copy}" updated)
foreach(mark unfinished vanished obsolete)
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"${mark}\"" found "${updated}")
    if(found)
        message(FATAL_ERROR "${name}: texts marked ${mark}:\n${found}")
    endif()
endforeach()
file(READ "${TS}" committed)
if(NOT updated STREQUAL committed)
    message(FATAL_ERROR "${name} is not in step with the sources: run `make translations`.\n${output}")
endif()
message(STATUS "${name}: complete")
