// SPDX-License-Identifier: MIT
// Starts the program: one window, Form1, until it is closed.
#include "window/form1_window.hpp"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // Without a display Qt would abort with a message about platform plugins; say what is missing.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fputs(
        "quillmere: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
        "quillmere is a desktop program: start it in a graphical session.\n",
        stderr);
    return 1;
  }
#endif
  QApplication application(argc, argv);
  quillmere::ConfigureApplication();
  quillmere::Form1 form1;
  form1.show();
  return QApplication::exec();
}
