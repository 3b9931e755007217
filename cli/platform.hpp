// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What the tool needs at its start so that it behaves alike on every system: its arguments in
// UTF-8, and standard streams that carry bytes unchanged.
namespace quillmere::cli {

// The program's arguments in UTF-8. On Windows, main() receives them in the ANSI code page, which
// cannot hold most characters, so there they are taken from the wide-character command line
// instead; elsewhere they are main()'s own, which are UTF-8 already.
class Utf8Arguments {
public:
  Utf8Arguments(int argc, char** argv);
  Utf8Arguments(const Utf8Arguments&) = delete;
  Utf8Arguments& operator=(const Utf8Arguments&) = delete;

  // Returns the number of arguments, the program's name included: at least 1.
  [[nodiscard]] int Count() const noexcept { return static_cast<int>(arguments_.size()); }
  // Returns the arguments as main() takes them, followed by a null pointer; valid as long as this
  // object.
  [[nodiscard]] char** Values() noexcept { return pointers_.data(); }

private:
  std::vector<std::string> arguments_;
  std::vector<char*> pointers_;
};

// Makes `stream` carry bytes unchanged: on Windows a text stream would write LF as CR LF and read
// CR LF as LF, so that CR LF could not survive. Does nothing elsewhere.
void UseBinaryMode(std::FILE* stream);

// Makes standard input, output and error carry bytes unchanged, so that every line end the tool
// writes is LF: on Windows they would otherwise be text streams that write LF as CR LF. When
// standard output or error is a Windows console, the console shows UTF-8 until the program ends.
// Does nothing elsewhere.
void PrepareStandardStreams();

} // namespace quillmere::cli
