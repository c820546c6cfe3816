# The layers of ARCHITECTURE.md, lowest row first. A library may link or include only
# libraries on rows below its own; the test layers_hold checks both. Every library
# of the program's folders must have a row.
set(BYTEWAY_LAYERS
    "base_core"
    "net text_core"
    "serial"
    "settings_core capture_core"
    "document_core sendbar_core session_core"
    "textview_store linetest_core"
    "receive_core send_core automation_core"
    "transfer_core"
    "text_ui"
    "settings_config"
    "textview_ui controllines_ui sendbar_ui linetest_ui session_ui automation_ui"
    "document_ui transfer_ui"
    "receive_ui send_ui settings_ui"
    "app_ui")

# Writes what the check needs (each library's row, links and sources) and declares the
# test. Call it once every library is defined.
function(byteway_check_layers)
    set(data "")
    set(row 0)
    set(layered "")
    foreach(line IN LISTS BYTEWAY_LAYERS)
        string(REPLACE " " ";" names "${line}")
        foreach(name IN LISTS names)
            if(TARGET ${name})
                get_target_property(links ${name} LINK_LIBRARIES)
                get_target_property(sources ${name} SOURCES)
                get_target_property(dir ${name} SOURCE_DIR)
                set(files "")
                foreach(source IN LISTS sources)
                    if(NOT IS_ABSOLUTE ${source})
                        set(source ${dir}/${source})
                    endif()
                    if(source MATCHES "\\.(cpp|h)$")
                        list(APPEND files ${source})
                    endif()
                endforeach()
                string(APPEND data "set(ROW_${name} ${row})\nset(DIR_${name} \"${dir}\")\n"
                    "set(LINKS_${name} \"${links}\")\nset(FILES_${name} \"${files}\")\n")
                list(APPEND layered ${name})
            endif()
        endforeach()
        math(EXPR row "${row} + 1")
    endforeach()
    # Libraries of the program's folders that the table leaves out.
    set(unplaced "")
    get_property(folders DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
    foreach(folder IN LISTS folders)
        byteway_collect_libraries(${folder} found)
        foreach(name IN LISTS found)
            if(NOT name IN_LIST layered)
                list(APPEND unplaced ${name})
            endif()
        endforeach()
    endforeach()
    string(APPEND data "set(LAYERED \"${layered}\")\nset(UNPLACED \"${unplaced}\")\n")
    file(WRITE ${CMAKE_BINARY_DIR}/layers-data.cmake "${data}")
    add_test(NAME layers_hold
        COMMAND ${CMAKE_COMMAND} -DDATA=${CMAKE_BINARY_DIR}/layers-data.cmake
            -DROOT=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake)
    set_tests_properties(layers_hold PROPERTIES LABELS "core")
endfunction()

# The static libraries defined in FOLDER and below it, except tests, benchmarks, tools
# and what comes from outside the tree (GoogleTest in the cross build).
function(byteway_collect_libraries folder out)
    set(result "")
    string(FIND "${folder}/" "${PROJECT_SOURCE_DIR}/" inside)
    if(inside EQUAL 0 AND NOT folder MATCHES "^${PROJECT_SOURCE_DIR}/(tests|bench|tools|packaging)(/|$)")
        get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(name IN LISTS targets)
            get_target_property(type ${name} TYPE)
            if(type STREQUAL "STATIC_LIBRARY")
                list(APPEND result ${name})
            endif()
        endforeach()
        get_property(children DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
        foreach(child IN LISTS children)
            byteway_collect_libraries(${child} found)
            list(APPEND result ${found})
        endforeach()
    endif()
    set(${out} ${result} PARENT_SCOPE)
endfunction()
