// SPDX-License-Identifier: MIT
// Qt's own texts in the real window, offscreen: the context menus opened by a right click, the
// message box's button and the controls' actions read German, as Qt's German translation words
// them, in an English locale and without any of Qt's translation files.
#include "window/form1_window.hpp"

#include "form1_test_support.hpp"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace quillmere;
using namespace quillmere::test;

Q_DECLARE_METATYPE(quillmere::Control)

class GermanQtTextsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;

  // Right-clicks `id` through the window, as the window system delivers a click, and returns the
  // texts of the context menu that opens, separators left out; Esc closes the menu again.
  QStringList contextMenuTexts(Control id) {
    QStringList texts;
    QTimer::singleShot(0, this, [&texts] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu != nullptr);
      for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
          texts << action->text();
        }
      }
      QTest::keyClick(menu, Qt::Key_Escape);
    });
    QWidget* box = window->control(id);
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, {},
                      box->mapTo(window.get(), box->rect().center()));
    return texts;
  }

private slots:
  void initTestCase() { ConfigureApplication(); }

  void init() { QVERIFY(ShowNewForm1(window)); }

  void cleanup() { window.reset(); }

  void contextMenusReadGermanInEveryTextBox_data() {
    QTest::addColumn<Control>("box");
    QTest::newRow("cover box Text1") << Control::Text1;
    QTest::newRow("message box Text2") << Control::Text2;
    QTest::newRow("code box Text3") << Control::Text3;
    QTest::newRow("result box Text4") << Control::Text4;
  }

  void contextMenusReadGermanInEveryTextBox() {
    QFETCH(Control, box);
    const QStringList texts = contextMenuTexts(box);
    // Each entry with the shortcut Qt shows beside it, if any; Redo's differs by platform.
    const QStringList names = {QStringLiteral("&Rückgängig"),  QStringLiteral("Wieder&herstellen"), QStringLiteral("&Ausschneiden"),
                               QStringLiteral("&Kopieren"),    QStringLiteral("Einf&ügen"),         QStringLiteral("Löschen"),
                               QStringLiteral("Alles auswählen")};
    const QStringList shortcuts = {QStringLiteral("Strg+Z"), {}, QStringLiteral("Strg+X"), QStringLiteral("Strg+C"),
                                   QStringLiteral("Strg+V"), {}, QStringLiteral("Strg+A")};
    QCOMPARE(texts.size(), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
      const QString name = texts[i].section(QLatin1Char('\t'), 0, 0);
      const QString shortcut = texts[i].section(QLatin1Char('\t'), 1);
      QCOMPARE(name, names[i]);
      if (!shortcuts[i].isEmpty() && !shortcut.isEmpty()) {
        QCOMPARE(shortcut, shortcuts[i]);
      }
      QVERIFY2(!shortcut.contains(QStringLiteral("Ctrl")) && !shortcut.contains(QStringLiteral("Shift")),
               qPrintable(texts[i]));
    }
  }

  void messageBoxButtonReadsGerman() {
    QString okText;
    QTimer::singleShot(0, this, [&okText] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      okText = box->button(QMessageBox::Ok)->text();
      QTest::keyClick(box, Qt::Key_Escape);
    });
    QTest::mouseClick(window->control(Control::Command5), Qt::LeftButton);
    // qtbase_de keeps Qt's "OK" (and the GNOME theme's "&OK") as it is.
    QVERIFY2(okText == QStringLiteral("OK") || okText == QStringLiteral("&OK"), qPrintable(okText));
  }

  void screenReaderActionNamesReadGerman() {
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(
        window->control(Control::Command5));
    QVERIFY(button != nullptr && button->actionInterface() != nullptr);
    const QString press = QAccessibleActionInterface::pressAction();
    QCOMPARE(button->actionInterface()->localizedActionName(press), QStringLiteral("Drücken"));
    QCOMPARE(button->actionInterface()->localizedActionDescription(press), QStringLiteral("Aktion auslösen"));
    const QString focus = QAccessibleActionInterface::setFocusAction();
    QCOMPARE(button->actionInterface()->localizedActionName(focus), QStringLiteral("Fokus setzen"));
  }
};

QTEST_MAIN(GermanQtTextsTest)
#include "german_qt_texts_test.moc"
