// Starts the program: one window, Form1, until it is closed.
#include "window/form1_window.hpp"

#include <QApplication>

#include <cstdio>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

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
  QApplication application(argc, argv);
  quillmere::ConfigureApplication();
  quillmere::Form1 form1;
  form1.show();
  return QApplication::exec();
}
