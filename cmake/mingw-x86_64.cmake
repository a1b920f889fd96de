# Cross-compiles for 64-bit Windows with mingw-w64. The product is the 32-bit
# build; this one runs the end-to-end tests where Wine cannot run 32-bit
# programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Debian's wine script takes the 32-bit loader whenever it is installed.
find_program(MOVARA_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MOVARA_WINE64})
