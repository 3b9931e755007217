// SPDX-License-Identifier: MIT
// The platform the program asks Qt for before QApplication starts: on Windows the FreeType font
// engine unless QT_QPA_PLATFORM already names a platform, elsewhere nothing.
#include "window/platform_choice.hpp"

#include <QTest>

using namespace quillmere;

class PlatformChoiceTest : public QObject {
  Q_OBJECT

private slots:
  void cleanup() { qunsetenv("QT_QPA_PLATFORM"); }

  void freeTypeIsChosenOnlyWhenNoPlatformIs_data() {
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QByteArray>("expected");
#if defined(Q_OS_WIN)
    const QByteArray freeType("windows:fontengine=freetype");
#else
    const QByteArray freeType;
#endif
    QTest::newRow("unset") << QByteArray() << freeType;
    QTest::newRow("offscreen kept") << QByteArray("offscreen") << QByteArray("offscreen");
    QTest::newRow("windows with GDI kept")
        << QByteArray("windows:fontengine=gdi") << QByteArray("windows:fontengine=gdi");
  }
  void freeTypeIsChosenOnlyWhenNoPlatformIs() {
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, expected);
    if (chosen.isEmpty()) {
      qunsetenv("QT_QPA_PLATFORM");
    } else {
      qputenv("QT_QPA_PLATFORM", chosen);
    }
    PreferFreeTypeOnWindows();
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), expected);
  }
};

QTEST_APPLESS_MAIN(PlatformChoiceTest)
#include "platform_choice_test.moc"
