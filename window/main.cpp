// SPDX-License-Identifier: MIT
// Starts the program: one window, Form1, until it is closed.
#include "window/form1_window.hpp"
#include "window/platform_choice.hpp"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Messages Qt gives while it starts its platform plugin, held back until it is known whether the
// start failed (see ReportStartFailure).
std::vector<QByteArray>& HeldStartMessages() {
  static std::vector<QByteArray> messages;
  return messages;
}

// Says in plain words, in one line, that the window cannot open when Qt fails to reach the window
// system at start, and ends the program with status 1. Qt would first warn that it could not
// connect and could not load the platform plugin, then abort with advice about reinstalling: those
// messages are dropped. Any other message of the start is held and printed once it has succeeded
// (PrintHeldStartMessages).
void ReportStartFailure(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    HeldStartMessages().push_back(qFormatLogMessage(type, context, message).toLocal8Bit());
    return;
  }
  QByteArray where;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    if (!qEnvironmentVariableIsEmpty(name)) {
      where += (where.isEmpty() ? " (" : ", ") + QByteArray(name) + "=\"" + qgetenv(name) + '"';
    }
  }
  if (!where.isEmpty()) {
    where += ')';
  }
  std::fprintf(stderr,
               "quillmere: cannot open the display%s: no window system answers there; quillmere is "
               "a desktop program: start it in a graphical session.\n",
               where.constData());
  std::fflush(stderr);
  std::_Exit(1);
}

// Prints the messages held during a start that succeeded, as Qt would have printed them.
void PrintHeldStartMessages() {
  for (const QByteArray& message : HeldStartMessages()) {
    std::fprintf(stderr, "%s\n", message.constData());
  }
  HeldStartMessages().clear();
}

} // namespace

int main(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  // Without a display Qt would abort with a message about platform plugins; say what is missing.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fputs(
        "quillmere: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); quillmere is a "
        "desktop program: start it in a graphical session.\n",
        stderr);
    return 1;
  }
#endif
#if defined(__GLIBC__)
  // Buffers of megabytes (a pasted text, the clipboard's copy of it) go straight back to the system
  // when freed. Left to itself, glibc raises this threshold to the size of the largest buffer freed
  // so far, serves later ones from the heap and keeps that memory: tens of MB after a few pastes.
  // Smaller ones, such as the gaps of a 5 MB text, stay in the heap, where they cost no page
  // faults.
  mallopt(M_MMAP_THRESHOLD, 1536 * 1024);
#endif
  // The program takes no command line: Qt sees only the program's name, so options such as
  // -platform, -style or -qwindowtitle change nothing. Qt's environment variables still apply.
  int qtArgc = argc > 0 ? 1 : 0;
  char* qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
  qInstallMessageHandler(ReportStartFailure);
  quillmere::PreferFreeTypeOnWindows();
  QApplication application(qtArgc, qtArgv);
  qInstallMessageHandler(nullptr);
  PrintHeldStartMessages();

  quillmere::ConfigureApplication();
  quillmere::Form1 form1;
  form1.show();
  return QApplication::exec();
}
