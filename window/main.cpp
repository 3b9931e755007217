// SPDX-License-Identifier: MIT
// Starts the program: one window, Form1, until it is closed.
#include "window/form1_window.hpp"
#include "window/platform_choice.hpp"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Says in plain words that the window cannot open when Qt fails to reach the window system at
// start (it would abort with advice about platform plugins), and ends the program with status 1.
// Other messages are printed as Qt prints them.
void ReportStartFailure(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
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
               "quillmere: cannot open the display%s: no window system answers there.\n"
               "quillmere is a desktop program: start it in a graphical session.\n",
               where.constData());
  std::fflush(stderr);
  std::_Exit(1);
}

} // namespace

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

  quillmere::ConfigureApplication();
  quillmere::Form1 form1;
  form1.show();
  return QApplication::exec();
}
