// SPDX-License-Identifier: MIT
// Drives the real window on an X server (run under with_xvfb.sh) and reads the title the X server
// holds for it, _NET_WM_NAME and WM_NAME, rather than what Qt reports.
#include "window/form1_window.hpp"

#include "form1_test_support.hpp"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

using namespace quillmere;
using namespace quillmere::test;

class Form1TitleTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;

  static xcb_connection_t* connection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  }
  static xcb_atom_t atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection(),
        xcb_intern_atom(connection(), 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  }
  // Returns the property `name` of the window as its type and bytes; the type is XCB_NONE when the
  // window has no such property.
  std::pair<xcb_atom_t, QByteArray> property(const char* name) const {
    auto* reply = xcb_get_property_reply(
        connection(),
        xcb_get_property(connection(), 0, static_cast<xcb_window_t>(window->winId()), atom(name),
                         XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
        nullptr);
    std::pair<xcb_atom_t, QByteArray> result{
        reply->type, QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                                xcb_get_property_value_length(reply))};
    std::free(reply);
    return result;
  }
  void verifyTitleOnTheServer(const QString& title) const {
    const auto [netType, netName] = property("_NET_WM_NAME");
    QCOMPARE(netType, atom("UTF8_STRING"));
    QCOMPARE(netName, title.toUtf8());
    const auto [type, name] = property("WM_NAME");
    QCOMPARE(type, xcb_atom_t{XCB_ATOM_STRING});
    QCOMPARE(name, title.toLatin1());
  }
  void click(Control id) {
    QTest::mouseClick(static_cast<QPushButton*>(window->control(id)), Qt::LeftButton);
  }

private slots:
  void initTestCase() {
    QVERIFY(qGuiApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr);
    ConfigureApplication();
  }

  void init() { QVERIFY(ShowNewUnlockedForm1(window)); }

  void cleanup() { window.reset(); }

  void startTitleReachesTheServerExactly() {
    verifyTitleOnTheServer(QStringLiteral("Verschlüsselungsdemo"));
  }

  void decodeOfATextWithoutGapsGivesAnEmptyTitleNotTheProgramName() {
    window->control(Control::Text1)->setFocus();
    QTest::keyClick(window->control(Control::Text1), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(window->control(Control::Text1), QStringLiteral("Lueckenlos"));
    click(Control::Command1);
    verifyTitleOnTheServer(QString());
  }

  // Last, as a display name once set stays for the rest of the run.
  void encodeTitlesReachTheServerExactly_data() {
    QTest::addColumn<QString>("displayName");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    const QString abc = QStringLiteral("011000010110001001100011");
    QTest::newRow("empty message") << QString() << QString() << QString();
    QTest::newRow("abc") << QString() << QStringLiteral("abc") << abc;
    QTest::newRow("display name, empty message")
        << QStringLiteral("quillmere") << QString() << QString();
    QTest::newRow("display name, abc")
        << QStringLiteral("quillmere") << QStringLiteral("abc") << abc;
    QTest::newRow("zero-width display name, abc")
        << QString(QChar(0x200B)) << QStringLiteral("abc") << abc;
  }

  void encodeTitlesReachTheServerExactly() {
    QFETCH(QString, displayName);
    QFETCH(QString, message);
    QFETCH(QString, title);
    verifyTitleOnTheServer(QStringLiteral("Verschlüsselungsdemo"));
    if (!displayName.isNull()) {
      QGuiApplication::setApplicationDisplayName(displayName);
    }
    QTest::keyClicks(window->control(Control::Text2), message);
    click(Control::Command2);
    verifyTitleOnTheServer(title);
  }
};

QTEST_MAIN(Form1TitleTest)
#include "form1_title_test.moc"
