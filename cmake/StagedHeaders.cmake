# SPDX-License-Identifier: MIT
# CLI11 and utfcpp are header-only, but Debian's CMake files for them put /usr/include and a Linux
# library path on their targets, where a cross compiler must not look. For a cross build their
# headers are copied from the build machine into the build tree instead, and offered as imported
# targets of the same names as the packages' own.

# Copies the `entries` (files or folders) of `source` to `destination` and makes `target` an
# imported header-only target, seen by the whole project, whose include directory is
# `destination`.
function(quillmere_stage_headers target source destination)
  cmake_parse_arguments(arg "" "" "ENTRIES" ${ARGN})
  foreach(entry IN LISTS arg_ENTRIES)
    if(NOT EXISTS "${source}/${entry}")
      message(FATAL_ERROR "${source}/${entry} not found: install the package that holds it")
    endif()
    file(COPY "${source}/${entry}" DESTINATION "${destination}")
  endforeach()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${destination}")
endfunction()

set(QUILLMERE_CLI11_INCLUDE_DIR /usr/include CACHE PATH "Folder holding CLI/CLI.hpp, for cross builds")
set(QUILLMERE_UTFCPP_INCLUDE_DIR /usr/include/utf8cpp CACHE PATH "Folder holding utf8.h, for cross builds")
