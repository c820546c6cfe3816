# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model,
# which std::thread needs). Programs are linked statically, so they run under Wine
# or on Windows without the MinGW runtime DLLs; tests run through Wine when present.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BYTEWAY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BYTEWAY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BYTEWAY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BYTEWAY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BYTEWAY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(BYTEWAY_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(BYTEWAY_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${BYTEWAY_WINE})
endif()
