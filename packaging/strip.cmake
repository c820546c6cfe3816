# Run by CPack on the staged files before it builds the package: strips the programs
# as Debian's dh_strip does, also of the compiler's .comment and .note sections that
# a plain strip leaves in place.
cmake_minimum_required(VERSION 3.25)
find_program(strip NAMES strip REQUIRED)
file(GLOB programs ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*)
if(NOT programs)
    message(FATAL_ERROR "no programs staged in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(program IN LISTS programs)
    execute_process(COMMAND ${strip} --strip-unneeded --remove-section=.comment
        --remove-section=.note ${program} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
