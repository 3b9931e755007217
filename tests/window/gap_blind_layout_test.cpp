// SPDX-License-Identifier: MIT
// Drives Text1 of the real window, offscreen: whatever bits its gaps carry, it wraps, draws, moves
// the cursor and hit-tests exactly as it does with every gap 0.
#include "window/form1_window.hpp"
#include "window/text_boxes.hpp"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

using namespace quillmere;

namespace {

constexpr QChar kNoBreakSpace(u'\u00A0');

QString Q(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

QString AllZero(QString text) {
  return text.replace(kNoBreakSpace, u' ');
}

QString AllOne(QString text) {
  return text.replace(u' ', kNoBreakSpace);
}

// Paragraphs with what makes wrapping hard: ligatures ("fi", "ffl"), a word longer than a row, a
// tab, runs of gaps, an empty paragraph and a gap at a paragraph's end; half the gaps carry 1.
QString Paragraphs() {
  const QString words = QStringLiteral(
      "Die Schifffahrt auf dem Fluss findet  statt, offiziell pünktlich; die Auflage fiel "
      "flach. Donaudampfschifffahrtsgesellschaftskapitänswitwenrentenberechnungsformular "
      "liegt\tbei, und\u00A0\u00A0der Rest folgt. ");
  QString text;
  for (int i = 0; i < 6; ++i) {
    text += words + Q(PlainCoverText) + QStringLiteral("\r\n");
    if (i == 2) {
      text += QStringLiteral("\r\n");
    }
  }
  for (qsizetype i = 0, gap = 0; i < text.size(); ++i) {
    if (text[i] == u' ' && (gap++ % 2) == 0) {
      text[i] = kNoBreakSpace;
    }
  }
  return text;
}

QString CoverNamed(const QString& name) {
  if (name == u"PlainCoverText with every gap 1") {
    return AllOne(Q(PlainCoverText));
  }
  if (name == u"SampleCoverText") {
    return Q(SampleCoverText());
  }
  if (name == u"StartupCoverText") {
    return Q(StartupCoverText());
  }
  return Paragraphs();
}

} // namespace

class GapBlindLayoutTest : public QObject {
  Q_OBJECT

  std::unique_ptr<Form1> window;

  CoverTextBox* text1() const {
    return static_cast<CoverTextBox*>(window->control(Control::Text1));
  }
  QString text() const { return Q(window->ReadText(TextBox::Text1)); }

  // Returns every line of every block of Text1 as "start+length@y", blocks separated by "|".
  QString lineBreaks() const {
    QString lines;
    QTextDocument* document = text1()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
      document->documentLayout()->blockBoundingRect(block); // lays the block out
      const QTextLayout* layout = block.layout();
      for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        lines += QStringLiteral("%1+%2@%3 ")
                     .arg(block.position() + line.textStart())
                     .arg(line.textLength())
                     .arg(line.y());
      }
      lines += u'|';
    }
    return lines;
  }

  QImage picture() const {
    QApplication::processEvents();
    return text1()->grab().toImage();
  }

  // Returns the picture scrolled to row `scroll` from the top. (The editor keeps a fraction of a
  // pixel from its scrolling history; scrolling from the top makes the picture independent of it.)
  QImage pictureAt(int scroll) const {
    text1()->verticalScrollBar()->setValue(0);
    text1()->verticalScrollBar()->setValue(scroll);
    return picture();
  }

  void select(int anchor, int position) {
    QTextCursor cursor = text1()->textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    text1()->setTextCursor(cursor);
    text1()->ensureCursorVisible();
  }

  // Returns where Up, Down and End take the cursor from each position of the text. (Page Down
  // depends on the fraction of a pixel the editor keeps from its scrolling history.)
  QList<int> cursorMoves() {
    QList<int> positions;
    for (int start = 0; start < text1()->document()->characterCount(); ++start) {
      for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_End}) {
        select(start, start);
        QTest::keyClick(text1(), key);
        positions << text1()->textCursor().position();
      }
    }
    return positions;
  }

  // Returns where clicks all over the visible text put the cursor.
  QList<int> clicks() {
    select(0, 0);
    text1()->verticalScrollBar()->setValue(0);
    QList<int> positions;
    const QRect area = text1()->viewport()->rect();
    for (int y = 1; y < area.height(); y += 4) {
      for (int x = 0; x < area.width(); ++x) {
        QTest::mouseClick(text1()->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        positions << text1()->textCursor().position();
      }
    }
    return positions;
  }

  // Returns where text dropped at points along the first rows lands.
  QList<int> drops() {
    QList<int> positions;
    QMimeData dragged;
    dragged.setText(QStringLiteral("#"));
    QWidget* viewport = text1()->viewport();
    for (const int y : {10, 23, 36}) {
      for (int x = 0; x < viewport->width(); ++x) {
        QDragEnterEvent enter(QPoint(x, y), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QDragMoveEvent move(QPoint(x, y), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        QDropEvent drop(QPointF(x, y), Qt::CopyAction, &dragged, Qt::LeftButton, {});
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop}) {
          QApplication::sendEvent(viewport, event);
        }
        positions << static_cast<int>(text().indexOf(u'#'));
        text1()->undo();
      }
    }
    return positions;
  }

  static void setFontAndWidth(QWidget* box, const QString& family, int pointSize, int width) {
    if (!family.isEmpty()) {
      box->setFont(QFont(family, pointSize));
    }
    box->resize(width, box->height());
  }

private slots:
  void initTestCase() {
    ConfigureApplication();
    // A cursor that does not blink draws the same in every picture.
    QApplication::setCursorFlashTime(0);
  }

  void init() {
    window = std::make_unique<Form1>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    text1()->setFocus();
  }

  void cleanup() { window.reset(); }

  void drawsAndBreaksAsWithEveryGapZero_data() {
    QTest::addColumn<QString>("cover");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("margin"); // the document margin, -1 for the box's own
    for (const char* cover :
         {"PlainCoverText with every gap 1", "SampleCoverText", "StartupCoverText", "paragraphs"}) {
      for (const int width : {241, 173, 97, 330}) {
        QTest::addRow("%s, window font, %d px", cover, width)
            << cover << QString() << 0 << width << -1;
      }
      QTest::addRow("%s, serif 11", cover) << cover << "DejaVu Serif" << 11 << 260 << -1;
      QTest::addRow("%s, sans 10, margin 1", cover) << cover << "DejaVu Sans" << 10 << 205 << 1;
      QTest::addRow("%s, mono 9", cover) << cover << "DejaVu Sans Mono" << 9 << 241 << -1;
    }
  }

  void drawsAndBreaksAsWithEveryGapZero() {
    QFETCH(QString, cover);
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(int, width);
    QFETCH(int, margin);
    setFontAndWidth(text1(), family, pointSize, width);
    if (margin >= 0) {
      text1()->document()->setDocumentMargin(margin);
    }
    const QString ones = CoverNamed(cover);
    const QString zeros = AllZero(ones);
    QVERIFY(ones != zeros);

    // A selection across rows, ending far enough in to scroll a long text.
    text1()->replaceText(zeros);
    select(static_cast<int>(zeros.size() / 5), static_cast<int>(zeros.size() * 3 / 5));
    const int scroll = text1()->verticalScrollBar()->value();
    const QImage shownZeros = pictureAt(scroll);
    const QString zeroBreaks = lineBreaks();

    // As encoding does: the same length, so selection and scroll position stay.
    text1()->replaceText(ones);
    QCOMPARE(text(), ones);
    QCOMPARE(text1()->textCursor().anchor(), static_cast<int>(zeros.size() / 5));
    QCOMPARE(text1()->textCursor().position(), static_cast<int>(zeros.size() * 3 / 5));
    QCOMPARE(text1()->verticalScrollBar()->value(), scroll);
    QCOMPARE(lineBreaks(), zeroBreaks);
    QVERIFY(pictureAt(scroll) == shownZeros);

    // Laid out again after a change of width, from scratch.
    text1()->resize(width + 41, text1()->height());
    QApplication::processEvents();
    text1()->resize(width, text1()->height());
    QCOMPARE(lineBreaks(), zeroBreaks);
    QVERIFY(pictureAt(scroll) == shownZeros);
  }

  void cursorKeysAndClicksLandAsWithEveryGapZero_data() {
    QTest::addColumn<QString>("cover");
    QTest::addColumn<int>("width");
    QTest::addRow("PlainCoverText with every gap 1") << "PlainCoverText with every gap 1" << 241;
    QTest::addRow("paragraphs, narrow") << "paragraphs" << 131;
    QTest::addRow("paragraphs, wide") << "paragraphs" << 330;
  }

  void cursorKeysAndClicksLandAsWithEveryGapZero() {
    QFETCH(QString, cover);
    QFETCH(int, width);
    setFontAndWidth(text1(), QString(), 0, width);
    const QString ones = CoverNamed(cover);
    text1()->replaceText(AllZero(ones));
    const QList<int> zeroClicks = clicks();
    const QList<int> zeroMoves = cursorMoves();
    text1()->replaceText(ones);
    QCOMPARE(clicks(), zeroClicks);
    QCOMPARE(cursorMoves(), zeroMoves);
  }

  void dropsLandAsWithEveryGapZero() {
    const QString ones = AllOne(Q(PlainCoverText));
    text1()->replaceText(AllZero(ones));
    const QList<int> zeroDrops = drops();
    QVERIFY(!zeroDrops.contains(-1));
    text1()->replaceText(ones);
    QCOMPARE(drops(), zeroDrops);
  }

  void typingUndoAndComposingShowAsWithEveryGapZero() {
    const QString ones = Paragraphs();
    QImage shown[2][2];
    for (const int withOnes : {0, 1}) {
      init();
      text1()->replaceText(withOnes ? ones : AllZero(ones));
      text1()->document()->clearUndoRedoStacks();
      select(40, 40);
      QTest::keyClicks(text1(), QStringLiteral("fi x"));
      QTest::keyClick(text1(), Qt::Key_Backspace);
      QTest::keyClick(text1(), Qt::Key_Return);
      select(400, 400);
      QTest::keyClick(text1(), Qt::Key_Delete);
      QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
      QTest::keyClick(text1(), Qt::Key_Z, Qt::ControlModifier);
      QTest::keyClick(text1(), Qt::Key_Y, Qt::ControlModifier);
      shown[withOnes][0] = picture();

      // An input method's text being composed, underlined, in the middle of a row.
      QTextCharFormat underlined;
      underlined.setFontUnderline(true);
      const QString composed = QStringLiteral("Schiff fahrt");
      QInputMethodEvent composing(withOnes ? AllOne(composed) : composed,
                                  {{QInputMethodEvent::TextFormat, 0, 12, underlined}});
      select(60, 60);
      QApplication::sendEvent(text1(), &composing);
      shown[withOnes][1] = picture();
    }
    QVERIFY(shown[1][0] == shown[0][0]);
    QVERIFY(shown[0][1] != shown[0][0]);
    QVERIFY(shown[1][1] == shown[0][1]);
  }

  void typedSpaceIsOrdinaryAndTypedNoBreakSpaceStays() {
    text1()->replaceText(AllOne(Q(PlainCoverText)));
    const int afterGap = static_cast<int>(text().indexOf(kNoBreakSpace)) + 1;
    select(afterGap, afterGap);
    QTest::keyClick(text1(), Qt::Key_Space);
    QCOMPARE(text().mid(afterGap - 1, 2), QString::fromUtf16(u"\u00A0 "));
    // A no-break space key, a compose sequence or an input method.
    QTest::sendKeyEvent(QTest::Press, text1(), Qt::Key_nobreakspace, kNoBreakSpace, Qt::NoModifier);
    QCOMPARE(text().mid(afterGap - 1, 3), QString::fromUtf16(u"\u00A0 \u00A0"));
  }

  void copyCutAndPasteCarryEveryNoBreakSpace() {
    const QString ones = Paragraphs();
    text1()->replaceText(ones);
    QTest::keyClick(text1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(text1(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), ones);
    QTest::keyClick(text1(), Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), ones);
    QVERIFY(text().isEmpty());
    QTest::keyClick(text1(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(text(), ones);
  }

  void hidingAMessageInTheOriginalTextKeepsItsPicture() {
    QTest::mouseClick(window->control(Control::Command3), Qt::LeftButton);
    const QImage original = picture();
    const QString originalBreaks = lineBreaks();
    QTest::keyClicks(window->control(Control::Text3), QStringLiteral("TULPEN"));
    static_cast<QLineEdit*>(window->control(Control::Text2))->setText(QString(7, QChar(0xFF)));
    QTest::mouseClick(window->control(Control::Command2), Qt::LeftButton);
    QCOMPARE(text().count(kNoBreakSpace), 56);
    QCOMPARE(lineBreaks(), originalBreaks);
    QVERIFY(picture() == original);
  }
};

QTEST_MAIN(GapBlindLayoutTest)
#include "gap_blind_layout_test.moc"
