// SPDX-License-Identifier: MIT
// For os_files_test on Windows: creates the temporary file named by its argument, writes to it,
// sends Ctrl+C to its console and waits for the console handler to end it. Exits with 2 to 4 when
// a step fails, and with 0 when the handler never came.
#include "cli/os_files.hpp"
#include "cli/platform.hpp"
#include "cli/temporary_file.hpp"

#include <windows.h>

int main(int argc, char** argv) {
  quillmere::cli::Utf8Arguments arguments(argc, argv);
  if (arguments.Count() != 2) {
    return 2;
  }
  const quillmere::cli::os::TemporaryFile file(arguments.Values()[1]);
  if (file.Descriptor() < 0 || !quillmere::cli::os::WriteFully(file.Descriptor(), "Teil")) {
    return 3;
  }
  // Every program of its console receives the event: it must be started with a console of its own.
  if (GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) == 0) {
    return 4;
  }
  Sleep(30000);
  return 0;
}
