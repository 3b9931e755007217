// SPDX-License-Identifier: MIT
#include "platform_choice.hpp"

#include <QByteArray>
#include <QtGlobal>

namespace quillmere {

void PreferFreeTypeOnWindows() {
#if defined(Q_OS_WIN)
  // Qt 6.4 reads the platform and its options from QT_QPA_PLATFORM when QApplication starts; the
  // program takes no command line, so -platform is not the way.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("windows:fontengine=freetype"));
  }
#endif
}

} // namespace quillmere
