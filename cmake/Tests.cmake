# Helpers to declare test executables.
#
# byteway_core_test(NAME LABEL SOURCES... LIBS ...): a GoogleTest executable on the
# Qt-free core. THREADED marks tests that also run under ThreadSanitizer.
# byteway_ui_test(NAME LABEL SOURCES... LIBS ...): a Qt Test executable, run offscreen.
# Both see the shared helpers of tests/common (test_common, test_common_ui); tests on
# pseudo-terminals add test_pty to LIBS.
include(GoogleTest)

function(byteway_core_test name label)
    cmake_parse_arguments(T "THREADED" "" "SOURCES;LIBS" ${ARGN})
    if(BYTEWAY_TSAN_ONLY AND NOT T_THREADED)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} test_common GTest::gtest GTest::gtest_main warnings)
    set(labels ${label} core)
    if(T_THREADED)
        list(APPEND labels threaded)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 300)
endfunction()

function(byteway_ui_test name label)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    if(BYTEWAY_CORE_ONLY OR BYTEWAY_TSAN_ONLY)
        return()
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} test_common_ui Qt6::Test Qt6::Widgets warnings)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${label};ui" TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# byteway_modemsim_environment(VAR): the ctest ENVIRONMENT entries that preload
# libbyteway-modemsim (tools/modemsim) into a test and the devices it starts. Under
# AddressSanitizer its runtime must come first in the preload list.
function(byteway_modemsim_environment var)
    set(preload "$<TARGET_FILE:byteway-modemsim>")
    if(CMAKE_CXX_FLAGS MATCHES "sanitize=[a-z,]*address")
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
            OUTPUT_VARIABLE asan OUTPUT_STRIP_TRAILING_WHITESPACE)
        set(preload "${asan}:${preload}")
    endif()
    set(${var} "LD_PRELOAD=${preload};BYTEWAY_MODEMSIM_DIR=${CMAKE_CURRENT_BINARY_DIR}" PARENT_SCOPE)
endfunction()
