# Cross-compiles for 64-bit Windows with mingw-w64 (win32 thread model, so the
# runtime needs no winpthread DLL). The product is the 32-bit build; this one
# runs the end-to-end tests where Wine cannot run 32-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP      ${MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Debian's wine script takes the 32-bit loader whenever it is installed.
find_program(MOVARA_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MOVARA_WINE64})
