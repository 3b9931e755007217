# SPDX-License-Identifier: MIT
# Compiler settings shared by every target of the project, as one interface target to link.
add_library(quillmere_options INTERFACE)
add_library(quillmere::options ALIAS quillmere_options)

if(MSVC)
  target_compile_options(quillmere_options INTERFACE /W4 /permissive- /utf-8)
  if(QUILLMERE_WARNINGS_AS_ERRORS)
    target_compile_options(quillmere_options INTERFACE /WX)
  endif()
else()
  target_compile_options(quillmere_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
  if(QUILLMERE_WARNINGS_AS_ERRORS)
    target_compile_options(quillmere_options INTERFACE -Werror)
  endif()
endif()

if(QUILLMERE_SANITIZE)
  set(quillmere_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(quillmere_options INTERFACE ${quillmere_sanitizers})
  target_link_options(quillmere_options INTERFACE ${quillmere_sanitizers})
endif()
