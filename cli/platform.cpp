// SPDX-License-Identifier: MIT
#include "platform.hpp"

#include "wide_text.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs the declarations of windows.h first.
#include <shellapi.h>

#include <cstdlib>
#endif

namespace quillmere::cli {
namespace {

#ifdef _WIN32
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
      // An unpaired surrogate, which a Windows command line may hold, becomes U+FFFD.
      arguments_.push_back(Utf8FromWide(wide[i]));
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

void UseBinaryMode([[maybe_unused]] std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

void PrepareStandardStreams() {
#ifdef _WIN32
  for (std::FILE* stream : {stdin, stdout, stderr}) {
    UseBinaryMode(stream);
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
