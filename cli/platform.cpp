// SPDX-License-Identifier: MIT
#include "platform.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs the declarations of windows.h first.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#endif

namespace quillmere::cli {
namespace {

#ifdef _WIN32
std::string ToUtf8(const wchar_t* wide) {
  const auto length = static_cast<int>(std::wcslen(wide));
  if (length == 0) {
    return {};
  }
  // An unpaired surrogate, which a Windows command line may hold, becomes U+FFFD.
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

UINT consoleCodePageAtStart = 0;

void RestoreConsoleCodePage() {
  SetConsoleOutputCP(consoleCodePageAtStart);
}
#endif

} // namespace

Utf8Arguments::Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  int count = 0;
  if (wchar_t** const wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) {
      arguments_.push_back(ToUtf8(wide[i]));
    }
    LocalFree(wide);
  }
#endif
  if (arguments_.empty()) {
    arguments_.assign(argv, argv + argc);
  }
  if (arguments_.empty()) {
    arguments_.emplace_back(); // a program started without even its name
  }
  for (std::string& argument : arguments_) {
    pointers_.push_back(argument.data());
  }
  pointers_.push_back(nullptr);
}

void PrepareStandardStreams() {
#ifdef _WIN32
  for (std::FILE* stream : {stdin, stdout, stderr}) {
    _setmode(_fileno(stream), _O_BINARY);
  }
  DWORD mode = 0;
  const bool console = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 ||
                       GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  consoleCodePageAtStart = GetConsoleOutputCP();
  if (console && consoleCodePageAtStart != CP_UTF8 && SetConsoleOutputCP(CP_UTF8) != 0) {
    std::atexit(RestoreConsoleCodePage);
  }
#endif
}

} // namespace quillmere::cli
