# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread and std::mutex need) and runs what it builds under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(quillmere_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${quillmere_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quillmere_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${quillmere_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${quillmere_mingw})
# A Qt for this compiler lives in a folder of its own (scripts/build-qt-windows.sh makes one):
# packages are searched only under the roots, so its folder is one of them.
set(QUILLMERE_MINGW_QT "" CACHE PATH "Qt for x86_64-w64-mingw32, for the window")
if(QUILLMERE_MINGW_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH "${QUILLMERE_MINGW_QT}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libstdc++, libgcc, winpthread) is linked in, so that the programs run
# on any Windows, and under wine, without DLLs next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# wine64 alone is enough for 64-bit programs; Debian's wine starter picks it when wine32 is missing.
find_program(QUILLMERE_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(QUILLMERE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMERE_WINE})
endif()
