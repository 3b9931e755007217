# SPDX-License-Identifier: MIT
# Windows with MinGW: what the install step puts beside quillmere.exe, and nothing more. The program
# loads Qt's Core, Gui and Widgets DLLs, the `windows` platform plugin and the `windowsvista` style;
# those need the compiler's runtime DLLs (libstdc++, libgcc, winpthread). The licences of what is
# shipped go along: the program's, the LGPL and GPL that Qt's DLLs come under with the source offer
# for them, and the font's. tests/window/windows_dlls_test.sh checks with objdump that every DLL these
# files import is either among them or a Windows system DLL.

# quillmere.exe shares the runtime DLLs with Qt's DLLs, so the process has one C++ runtime, not a
# copy of its own beside Qt's. The toolchain links programs statically; in this folder that is
# dropped.
separate_arguments(quillmere_link_flags NATIVE_COMMAND "${CMAKE_EXE_LINKER_FLAGS}")
list(REMOVE_ITEM quillmere_link_flags -static)
list(JOIN quillmere_link_flags " " CMAKE_EXE_LINKER_FLAGS)

# The compiler names the runtime DLLs it links against; tests run under wine find them there too.
set(quillmere_runtime_dlls "")
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
  endif()
  file(REAL_PATH "${path}" path)
  list(APPEND quillmere_runtime_dlls "${path}")
endforeach()
set(QUILLMERE_WINDOWS_RUNTIME_DLLS "${quillmere_runtime_dlls}" CACHE INTERNAL
  "The compiler's runtime DLLs that the program and Qt's DLLs load")

install(FILES
    $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
    ${QUILLMERE_WINDOWS_RUNTIME_DLLS}
  DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
  DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
  DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME LICENSE.txt)
install(FILES
    ${QUILLMERE_RESOURCES}/windows/LGPL-3.0.txt
    ${QUILLMERE_RESOURCES}/windows/GPL-3.0.txt
    ${QUILLMERE_RESOURCES}/windows/Qt-source.txt
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
