// SPDX-License-Identifier: MIT
// Drives the real window, offscreen, with key and mouse clicks.
#include "window/form1_window.hpp"
#include "window/text_boxes.hpp"

#include "codec/gap_carriers.hpp"

#include "form1_test_support.hpp"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QtMath>

#include <memory>
#include <random>

using namespace quillmere;
using namespace quillmere::test;

namespace {

QString Q(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// Returns what the document of `box` holds, with CR LF between its blocks, read from the document
// itself.
QString DocumentText(const CoverTextBox* box) {
  return box->document()->toRawText().replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
}

} // namespace

class Form1WindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;

  QWidget* widget(Control id) const { return window->control(id); }
  CoverTextBox* text1() const { return static_cast<CoverTextBox*>(widget(Control::Text1)); }
  QLineEdit* lineBox(Control id) const { return static_cast<QLineEdit*>(widget(id)); }
  QPushButton* button(Control id) const { return static_cast<QPushButton*>(widget(id)); }
  QString text(TextBox box) const { return Q(window->ReadText(box)); }

  void click(Control id) { QTest::mouseClick(button(id), Qt::LeftButton); }
  void unlock() { TypeAccessCode(*window); }
  // Types `text` as one key press, as an input method or a compose key does.
  static void typeText(QWidget* target, const QString& text) {
    QTest::sendKeyEvent(QTest::Press, target, Qt::Key_unknown, text, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, target, Qt::Key_unknown, text, Qt::NoModifier);
  }
  void pasteInto(QWidget* target, const QString& clip) {
    QGuiApplication::clipboard()->setText(clip);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
  }
  QStringList tabCycle() {
    QStringList names;
    widget(Control::Text1)->setFocus();
    for (int i = 0; i < 10; ++i) {
      names << QApplication::focusWidget()->objectName();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      if (QApplication::focusWidget() == widget(Control::Text1)) {
        break;
      }
    }
    return names;
  }

private slots:
  void initTestCase() { ConfigureApplication(); }

  void init() { QVERIFY(ShowNewActiveForm1(window)); }

  void cleanup() { window.reset(); }

  void startsWithFocusOnTheCoverAndLockedCipherButtons() {
    QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.00"));
    QVERIFY(QApplication::applicationDisplayName() == QApplication::applicationName());
    QCOMPARE(window->windowTitle(), QStringLiteral("Verschlüsselungsdemo"));
    QCOMPARE(QApplication::focusWidget(), widget(Control::Text1));
    QVERIFY(!button(Control::Command1)->isEnabled());
    QVERIFY(!button(Control::Command2)->isEnabled());
    QCOMPARE(text(TextBox::Text1), Q(StartupCoverText()));
    QCOMPARE(text(TextBox::Text1).size(), 350);
    QVERIFY(text(TextBox::Text2).isEmpty() && text(TextBox::Text3).isEmpty() &&
            text(TextBox::Text4).isEmpty());
  }

  void controlsSitAtTheirTwipPlaces() {
    QCOMPARE(window->size(), QSize(250, 210));
    QCOMPARE(widget(Control::Text1)->geometry(), QRect(8, 4, 241, 117));
    QCOMPARE(widget(Control::Command3)->geometry(), QRect(8, 128, 109, 17));
    QCOMPARE(widget(Control::Command4)->geometry(), QRect(120, 128, 109, 17));
    QCOMPARE(widget(Control::Text3)->geometry(), QRect(52, 188, 65, 15));
    QCOMPARE(widget(Control::Command5)->geometry(), QRect(180, 188, 49, 17));
    QCOMPARE(widget(Control::Label1)->focusPolicy(), Qt::NoFocus);
  }

  void everyCaptionFitsItsControl() {
    for (const ControlEntry& entry : Form1Controls) {
      QWidget* control = widget(entry.id);
      if (entry.kind == ControlKind::Button) {
        // The caption must fit where the style draws it, inside the button's frame.
        QStyleOptionButton option;
        option.initFrom(control);
        const QRect inside =
            control->style()->subElementRect(QStyle::SE_PushButtonContents, &option, control);
        const int caption = control->fontMetrics().horizontalAdvance(Q(entry.caption));
        QVERIFY2(caption <= inside.width(), entry.name.data());
        QVERIFY2(control->fontMetrics().height() <= control->height(), entry.name.data());
      } else if (entry.kind == ControlKind::Label) {
        QVERIFY2(control->sizeHint().width() <= control->width(), entry.name.data());
        QVERIFY2(control->fontMetrics().height() <= control->height(), entry.name.data());
      } else if (entry.kind == ControlKind::LineTextBox) {
        // The text line must fit inside the box's frame, where the box draws it.
        const int frame =
            control->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, control);
        QVERIFY2(control->fontMetrics().height() <= control->height() - 2 * frame,
                 entry.name.data());
      }
      // One font for every control: the program's own.
      QVERIFY2(!control->testAttribute(Qt::WA_SetFont), entry.name.data());
      QCOMPARE(QFontInfo(control->font()).family(), QStringLiteral("DejaVu Sans Condensed"));
    }
  }

  void startUpTextShowsAsItsEightLines() {
    const QStringList lines = Q(StartupCoverText()).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 9);
    const QFontMetrics metrics(text1()->font());
    const int usable =
        text1()->viewport()->width() - 2 * qCeil(text1()->document()->documentMargin());
    for (int i = 0; i < 8; ++i) {
      // Each line fits with its final gap, whether that is a U+0020 or a U+00A0.
      QVERIFY2(metrics.horizontalAdvance(lines[i]) <= usable, qPrintable(lines[i]));
      const QTextBlock block = text1()->document()->findBlockByNumber(i);
      QCOMPARE(block.text(), lines[i]);
      QCOMPARE(block.layout()->lineCount(), 1);
    }
    QTextCursor end(text1()->document()->findBlockByNumber(7));
    end.movePosition(QTextCursor::EndOfBlock);
    QVERIFY(text1()->cursorRect(end).bottom() < text1()->viewport()->height());
  }

  void everyControlHasAnAccessibleName() {
    for (const ControlEntry& entry : Form1Controls) {
      QWidget* control = widget(entry.id);
      const auto* asButton = qobject_cast<QAbstractButton*>(control);
      const auto* asLabel = qobject_cast<QLabel*>(control);
      const QString announced = !control->accessibleName().isEmpty() ? control->accessibleName()
                                : asButton                           ? asButton->text()
                                : asLabel                            ? asLabel->text()
                                                                     : QString();
      QVERIFY2(!announced.isEmpty(), entry.name.data());
    }
  }

  void tabSkipsLockedButtonsUntilTheCodeUnlocksThem() {
    QCOMPARE(tabCycle(),
             QStringList({"Text1", "Text2", "Text3", "Command3", "Text4", "Command4", "Command5"}));
    unlock();
    QCOMPARE(tabCycle(), QStringList({"Text1", "Command1", "Text2", "Text3", "Command2", "Command3",
                                      "Text4", "Command4", "Command5"}));
  }

  void enterAndEscapeTriggerNothing() {
    unlock();
    const QString title = window->windowTitle();
    for (const Control id :
         {Control::Command1, Control::Command2, Control::Command3, Control::Command4,
          Control::Command5, Control::Text2, Control::Text3, Control::Text4}) {
      widget(id)->setFocus();
      QTest::keyClick(widget(id), Qt::Key_Return);
      QTest::keyClick(widget(id), Qt::Key_Enter);
      QTest::keyClick(widget(id), Qt::Key_Escape);
    }
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(text(TextBox::Text1), Q(StartupCoverText()));
    QCOMPARE(text(TextBox::Text3), QStringLiteral("TULPEN"));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  void enterInTheCoverStartsALineWithCrLf() {
    QTextCursor cursor = text1()->textCursor();
    cursor.setPosition(3);
    text1()->setTextCursor(cursor);
    QTest::keyClick(text1(), Qt::Key_Return);
    QTest::keyClick(text1(), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(text(TextBox::Text1), Q(StartupCoverText()).insert(3, QStringLiteral("\r\n\r\n")));
    QTest::keyClick(text1(), Qt::Key_Escape);
    QVERIFY(window->isVisible());
  }

  void accessCodeUnlocksWhenTypedNotWhenPastedWithMore() {
    QTest::keyClicks(widget(Control::Text3), QStringLiteral("TULPEN "));
    QVERIFY(button(Control::Command1)->isEnabled() && button(Control::Command2)->isEnabled());
    QTest::keyClick(widget(Control::Text3), Qt::Key_Backspace);
    QTest::keyClick(widget(Control::Text3), Qt::Key_Backspace);
    QVERIFY(button(Control::Command1)->isEnabled());

    init();
    pasteInto(widget(Control::Text3), QStringLiteral("TULPEN "));
    QCOMPARE(text(TextBox::Text3), QStringLiteral("TULPEN "));
    QVERIFY(!button(Control::Command1)->isEnabled() && !button(Control::Command2)->isEnabled());
    QTest::keyClicks(widget(Control::Text3), QStringLiteral("tulpen"));
    QVERIFY(!button(Control::Command1)->isEnabled());
  }

  void lockedButtonsIgnoreClicks() {
    lineBox(Control::Text2)->setText(QStringLiteral("abc"));
    click(Control::Command2);
    click(Control::Command1);
    QCOMPARE(window->windowTitle(), QStringLiteral("Verschlüsselungsdemo"));
    QCOMPARE(text(TextBox::Text1), Q(StartupCoverText()));
    QVERIFY(text(TextBox::Text4).isEmpty());
  }

  void roadOfOneMessage() {
    unlock();
    click(Control::Command3);
    QCOMPARE(text(TextBox::Text1), Q(PlainCoverText));
    QTest::keyClicks(widget(Control::Text2), QStringLiteral("abc"));
    click(Control::Command2);
    QCOMPARE(window->windowTitle(), QStringLiteral("011000010110001001100011"));
    click(Control::Command1);
    QCOMPARE(window->windowTitle(), QStringLiteral("011000010110001001100011") + QString(34, u'0'));
    QCOMPARE(text(TextBox::Text4), QStringLiteral("abc"));
  }

  void storedTextsDecodeToTheirSampleMessages() {
    unlock();
    click(Control::Command1);
    QCOMPARE(window->windowTitle().size(), 58);
    QCOMPARE(text(TextBox::Text4), Q(StartupMessage));
    click(Control::Command4);
    QCOMPARE(text(TextBox::Text1), Q(SampleCoverText()));
    click(Control::Command1);
    QCOMPARE(window->windowTitle().size(), 57);
    QCOMPARE(text(TextBox::Text4), Q(SampleMessage));
  }

  void copyAndPasteKeepEveryNoBreakSpaceAndCrLf() {
    unlock();
    text1()->setFocus();
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), Q(StartupCoverText()));
    click(Control::Command3);
    text1()->setFocus();
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text1(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(text(TextBox::Text1), Q(StartupCoverText()));
    click(Control::Command1);
    QCOMPARE(text(TextBox::Text4), Q(StartupMessage));

    // Cut carries the same, and text from another program with LF line breaks keeps its U+00A0.
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text1(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), Q(StartupCoverText()));
    QVERIFY(text(TextBox::Text1).isEmpty());
    pasteInto(text1(), QString::fromUtf16(u"a\u00A0b \nc\u00A0"));
    QCOMPARE(text(TextBox::Text1), QString::fromUtf16(u"a\u00A0b \r\nc\u00A0"));
  }

  void singleLineBoxesKeepNoBreakSpacesThroughTheClipboard() {
    const QString message = QString::fromUtf16(u"x\u00A0y z");
    pasteInto(widget(Control::Text2), message);
    QTest::keyClick(widget(Control::Text2), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget(Control::Text2), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), message);
    QCOMPARE(text(TextBox::Text2), message);
  }

  void boxesCutTextsAtNulAndReplaceCharactersOutsideTheCodePage() {
    pasteInto(widget(Control::Text2), QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd"));
    QCOMPARE(text(TextBox::Text2), QStringLiteral("ab"));
    typeText(widget(Control::Text2), QString::fromUtf16(u"\u0101"));
    typeText(widget(Control::Text2), QString::fromUtf16(u"\u20AC"));
    QCOMPARE(text(TextBox::Text2), QString::fromUtf16(u"ab?\u20AC"));

    QTextCursor cursor = text1()->textCursor();
    cursor.setPosition(4);
    text1()->setTextCursor(cursor);
    typeText(text1(), QString::fromUtf16(u"\u0101"));
    QCOMPARE(text(TextBox::Text1).left(6), QStringLiteral("Das ?w"));
    pasteInto(text1(), QString::fromUtf16(u"\U0001F337") + QChar(u'\0') + QStringLiteral("rest"));
    QCOMPARE(text(TextBox::Text1), QStringLiteral("Das ??") + Q(StartupCoverText()).mid(4));
  }

  void insertionsEndAtTheirNulAndKeepTheRestOfTheBox_data() {
    QTest::addColumn<Control>("box");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("paste"); // else an input method commits the text
    for (const bool paste : {true, false}) {
      const char* way = paste ? "paste" : "input method";
      QTest::addRow("%s at the start of Text1", way) << Control::Text1 << 0 << paste;
      QTest::addRow("%s inside Text1", way) << Control::Text1 << 75 << paste;
      QTest::addRow("%s at the end of Text1", way) << Control::Text1 << 350 << paste;
      for (const Control line : {Control::Text2, Control::Text3, Control::Text4}) {
        const char* name = Form1Controls[static_cast<std::size_t>(line)].name.data();
        QTest::addRow("%s at the start of %s", way, name) << line << 0 << paste;
        QTest::addRow("%s inside %s", way, name) << line << 3 << paste;
      }
    }
  }

  void insertionsEndAtTheirNulAndKeepTheRestOfTheBox() {
    QFETCH(Control, box);
    QFETCH(int, position);
    QFETCH(bool, paste);
    QWidget* target = widget(box);
    auto* line = qobject_cast<QLineEdit*>(target);
    if (line != nullptr) {
      QTest::keyClicks(target, QStringLiteral("abcdef"));
    }
    const QString before = line != nullptr ? line->text() : text1()->text();
    // In the document a CR LF is one character.
    const int place =
        position - static_cast<int>(before.left(position).count(QStringLiteral("\r\n")));
    if (line != nullptr) {
      line->setCursorPosition(place);
    } else {
      QTextCursor cursor = text1()->textCursor();
      cursor.setPosition(place);
      text1()->setTextCursor(cursor);
    }
    const QString inserted = QStringLiteral("XY") + QChar(u'\0') + QStringLiteral("Z");
    if (paste) {
      pasteInto(target, inserted);
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(inserted);
      QCoreApplication::sendEvent(target, &commit);
    }
    const QString after = line != nullptr ? line->text() : text1()->text();
    QCOMPARE(after, QString(before).insert(position, QStringLiteral("XY")));
    if (line == nullptr) {
      QCOMPARE(text1()->textCursor().position(), place + 2);
      QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(text1()->text(), before);
    } else {
      QCOMPARE(line->cursorPosition(), place + 2);
    }
  }

  void replacedTextsStillEndAtTheirFirstNul() {
    const QString given = QStringLiteral("XY") + QChar(u'\0') + QStringLiteral("Z");
    for (const TextBox box : {TextBox::Text1, TextBox::Text4}) {
      window->ReplaceText(box, given.toStdU16String());
      QCOMPARE(text(box), QStringLiteral("XY"));
    }
  }

  void longTextsAreNotCut() {
    const QString longText(40000, u'w');
    pasteInto(widget(Control::Text2), longText);
    QCOMPARE(text(TextBox::Text2).size(), 40000);
    QString cover;
    for (int i = 0; i < 6000; ++i) {
      cover += QStringLiteral("Wort ");
    }
    pasteInto(text1(), cover);
    QCOMPARE(text(TextBox::Text1).size(), 350 + 30000);
  }

  void encodeKeepsTheCursorAndScrollPosition() {
    unlock();
    QString cover;
    for (int i = 0; i < 200; ++i) {
      cover += QStringLiteral("Zeile mit ein paar Worten \r\n");
    }
    window->ReplaceText(TextBox::Text1, cover.toStdU16String());
    QTextCursor cursor = text1()->textCursor();
    cursor.setPosition(2000);
    cursor.setPosition(2010, QTextCursor::KeepAnchor);
    text1()->setTextCursor(cursor);
    text1()->ensureCursorVisible();
    const int scroll = text1()->verticalScrollBar()->value();
    QVERIFY(scroll > 0);
    QTest::keyClicks(widget(Control::Text2), QStringLiteral("Hallo Welt"));
    click(Control::Command2);
    QVERIFY(text(TextBox::Text1) != cover);
    QCOMPARE(text1()->textCursor().anchor(), 2000);
    QCOMPARE(text1()->textCursor().position(), 2010);
    QCOMPARE(text1()->verticalScrollBar()->value(), scroll);
    QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text(TextBox::Text1), cover);
  }

  // The clipboard data of a selection is made when it is read; it must still be the selection
  // as it stood when copied, whatever the box went through since.
  void copiedTextStaysAsCopiedWhenTheBoxChangesBeforeItIsRead() {
    unlock();
    text1()->setFocus();
    QTextCursor cursor = text1()->textCursor();
    cursor.setPosition(40);
    cursor.setPosition(120, QTextCursor::KeepAnchor);
    text1()->setTextCursor(cursor);
    const QString selected = text1()->document()->toRawText().mid(40, 80).replace(
        QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    QVERIFY(selected.contains(QStringLiteral("\r\n")) && selected.contains(QChar(kNoBreakSpace)));
    QTest::keyClick(text1(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasText());

    QTest::keyClick(text1(), Qt::Key_Z);
    QTest::keyClicks(widget(Control::Text2), QStringLiteral("abc"));
    click(Control::Command2);
    click(Control::Command3);
    QCOMPARE(QGuiApplication::clipboard()->text(), selected);
    QCOMPARE(QGuiApplication::clipboard()->text(), selected);

    // Read before any change, it is the selection too.
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), Q(PlainCoverText));
  }

  // Encode rewrites only gaps: one undo step, undone and redone by key; an encode that changes
  // no gap adds no step.
  void encodeIsOneUndoStepOfGapsOnly() {
    unlock();
    QString cover;
    for (int i = 0; i < 60; ++i) {
      cover += QStringLiteral("Zeile %1 mit ein paar Worten \r\n").arg(i);
    }
    window->ReplaceText(TextBox::Text1, cover.toStdU16String());
    text1()->document()->clearUndoRedoStacks();
    QTest::keyClicks(widget(Control::Text2), QStringLiteral("Hallo Welt, wie geht es?"));
    click(Control::Command2);
    const std::u16string bits = MessageToBits(u"Hallo Welt, wie geht es?");
    const QString encoded = Q(EmbedBits(cover.toStdU16String(), bits));
    QCOMPARE(text(TextBox::Text1), encoded);
    QCOMPARE(DocumentText(text1()), encoded);

    text1()->setFocus();
    QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(text(TextBox::Text1), cover);
    QVERIFY(!text1()->document()->isUndoAvailable());
    QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(text(TextBox::Text1), encoded);

    // A second encode goes into the gaps still ordinary, as in the toolkit-free window.
    Form1State state;
    state.text1 = encoded.toStdU16String();
    state.text2 = u"Hallo Welt, wie geht es?";
    Encode(state);
    click(Control::Command2);
    QCOMPARE(text(TextBox::Text1), Q(state.text1));
    const int steps = text1()->document()->availableUndoSteps();

    lineBox(Control::Text2)->clear();
    click(Control::Command2);
    QCOMPARE(window->windowTitle(), QString());
    QCOMPARE(text1()->document()->availableUndoSteps(), steps);
  }

  // CR LF, CR and LF each make one line break, in any mix, read back as CR LF.
  void pastedLineBreaksOfEveryKindReadAsCrLf() {
    text1()->setFocus();
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    pasteInto(text1(), QStringLiteral("a\rb\r\n\r\nc\n\rd\n"));
    QCOMPARE(text(TextBox::Text1), QStringLiteral("a\r\nb\r\n\r\nc\r\n\r\nd\r\n"));
    QCOMPARE(text1()->document()->blockCount(), 7);
    window->ReplaceText(TextBox::Text1, u"\r\rx\n\ny\r");
    QCOMPARE(text(TextBox::Text1), QStringLiteral("\r\n\r\nx\r\n\r\ny\r\n"));
  }

  // A paste over the whole text, and over a part of it, is one undo step either way.
  void pasteOverASelectionIsOneUndoStep() {
    const QString pasted = QString::fromUtf16(u"eins\u00A0zwei\r\ndrei vier\r\nf\u00FCnf\r\n");
    const QString before = text(TextBox::Text1);
    for (const bool whole : {true, false}) {
      text1()->setFocus();
      QTextCursor cursor = text1()->textCursor();
      cursor.setPosition(whole ? 0 : 50);
      cursor.movePosition(whole ? QTextCursor::End : QTextCursor::Down, QTextCursor::KeepAnchor);
      text1()->setTextCursor(cursor);
      const QString raw = text1()->document()->toRawText();
      QString expected = raw.left(cursor.selectionStart());
      expected +=
          QString(pasted).replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
      expected += raw.mid(cursor.selectionEnd());
      expected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
      pasteInto(text1(), pasted);
      QCOMPARE(text(TextBox::Text1), expected);
      QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
      QCOMPARE(text(TextBox::Text1), before);
      QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(text(TextBox::Text1), expected);
      QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
    }
  }

  // The box reads its text and gaps from a copy it keeps; after any edit, by whatever way, the
  // copy must be what the document holds.
  void readTextFollowsEveryKindOfEdit() {
    unlock();
    QTest::keyClicks(widget(Control::Text2), QStringLiteral("Um acht"));
    std::mt19937 random(1208);
    const QString typed = QStringLiteral("ab cd");
    for (int step = 0; step < 300; ++step) {
      text1()->setFocus();
      switch (random() % 12) {
      case 0:
        QTest::keyClick(text1(), typed[static_cast<qsizetype>(random() % 5)].toLatin1());
        break;
      case 1:
        typeText(text1(), QString(QChar(kNoBreakSpace)));
        break;
      case 2:
        QTest::keyClick(text1(), Qt::Key_Return);
        break;
      case 3:
        QTest::keyClick(text1(), random() % 2 != 0 ? Qt::Key_Backspace : Qt::Key_Delete);
        break;
      case 4:
        QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
        break;
      case 5:
        QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        break;
      case 6:
        pasteInto(text1(), QString::fromUtf16(u"x\u00A0y \nz\r\n"));
        break;
      case 7:
        QTest::keyClick(text1(), Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(text1(), Qt::Key_Up, Qt::ShiftModifier);
        QTest::keyClick(text1(), Qt::Key_X, Qt::ControlModifier);
        break;
      case 8:
        QTest::keyClick(text1(), random() % 2 != 0 ? Qt::Key_Home : Qt::Key_Down,
                        Qt::ControlModifier);
        break;
      case 9:
        click(Control::Command2);
        break;
      case 10:
        QTest::keyClick(text1(), Qt::Key_Backspace, Qt::ControlModifier);
        break;
      default:
        click(random() % 2 != 0 ? Control::Command4 : Control::Command1);
        break;
      }
      const QString expected = DocumentText(text1());
      QCOMPARE(text(TextBox::Text1), expected);
      QCOMPARE(Q(window->ReadGaps(TextBox::Text1)), Q(CarriersOf(expected.toStdU16String())));
    }
  }

  void infoShowsAModalBoxWithOneOkButton() {
    bool checked = false;
    QTimer::singleShot(0, this, [&checked] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QVERIFY(box != nullptr);
      QCOMPARE(box->windowTitle(), QStringLiteral("quillmere"));
      QCOMPARE(box->text(), Q(InfoText));
      QCOMPARE(box->icon(), QMessageBox::NoIcon);
      QCOMPARE(box->buttons().size(), 1);
      QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
      checked = true;
    });
    click(Control::Command5);
    QVERIFY(checked);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Verschlüsselungsdemo"));
  }

  void iconIsARedDiscWithAWhiteBar() {
    const QImage icon = QApplication::windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.pixelColor(15, 15), QColor(Qt::white));
    QCOMPARE(icon.pixelColor(7, 13), QColor(Qt::white));
    QCOMPARE(icon.pixelColor(23, 17), QColor(Qt::white));
    QCOMPARE(icon.pixelColor(15, 5), QColor(Qt::red));
    QCOMPARE(icon.pixelColor(15, 18), QColor(Qt::red));
    QCOMPARE(icon.pixelColor(4, 15), QColor(Qt::red));
    QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(icon.pixelColor(5, 5).alpha(), 0);
    QCOMPARE(icon.pixelColor(27, 15).alpha(), 0);
  }
};

QTEST_MAIN(Form1WindowTest)
#include "form1_window_test.moc"
