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

# The codec's plain loops on any processor. Defined for the whole build, since the tests and fuzz
# targets include the codec's processor-specific header too and must see the same forms.
if(QUILLMERE_NO_SIMD)
  target_compile_definitions(quillmere_options INTERFACE QUILLMERE_NO_SIMD)
endif()

if(QUILLMERE_SANITIZE)
  set(quillmere_sanitizers -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(quillmere_options INTERFACE ${quillmere_sanitizers})
  target_link_options(quillmere_options INTERFACE ${quillmere_sanitizers})
endif()

# Hardening as Debian builds its packages: fortified libc calls where the code is optimised, and a
# read-only global offset table.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT QUILLMERE_SANITIZE AND NOT QUILLMERE_BUILD_FUZZ)
  target_compile_definitions(quillmere_options INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  target_link_options(quillmere_options INTERFACE LINKER:-z,relro,-z,now)
endif()
