// SPDX-License-Identifier: MIT
#include "terminal.hpp"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace quillmere::cli {
namespace {

#ifdef _WIN32
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

DWORD consoleModeAtStart = 0;

void RestoreConsoleMode() {
  SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), consoleModeAtStart);
}
#endif

} // namespace

bool StandardOutputIsTerminal() noexcept {
#ifdef _WIN32
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

bool StandardOutputDrawsColour() noexcept {
#ifdef _WIN32
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(output, &mode) == 0) {
    return true; // a file or a pipe: the bytes go on as they are
  }
  if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
    return true;
  }
  if (SetConsoleMode(output, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0) {
    return false; // a console before Windows 10, which would print the escapes as text
  }
  consoleModeAtStart = mode;
  std::atexit(RestoreConsoleMode);
  return true;
#else
  return true;
#endif
}

} // namespace quillmere::cli
