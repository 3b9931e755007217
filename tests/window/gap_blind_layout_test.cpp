// SPDX-License-Identifier: MIT
// Drives Text1 of the real window, offscreen: whatever bits its gaps carry, it wraps, draws, moves
// the cursor and hit-tests exactly as it does with every gap 0.
#include "window/form1_window.hpp"
#include "window/text_boxes.hpp"

#include "form1_test_support.hpp"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPaintEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <memory>

using namespace quillmere;
using namespace quillmere::test;

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

// A paragraph with U+00A0 right before tabs: German words around a piece of a pasted text that
// hung the window.
QString NoBreakSpacesBeforeTabs() {
  return QStringLiteral(
      "Die Schifffahrt findet statt, und\u00A0\tder Rest folgt bald.\u00A0\tDann geht es "
      "weiter\u00A0\tbis zum Ende des Tages: ydi?,!\u00DFshrxhbdd!\u00F6n.?\tf;v\u20AC!\u00DC-"
      "\u00C4sk;uyron!\u20AC\u00DFw?u?\u00FC!df!\u00FC\u00E4vxl!vmy\u00A0bw?m\u00FCdbuymu"
      "\u00F6\u00A0\tb?;\tsm?mru,?\u00A0\u00D6m-cfz und noch\u00A0\tein Satz.");
}

// Collects the regions a widget paints.
class PaintRecorder final : public QObject {
public:
  explicit PaintRecorder(QRegion* painted) : painted_(painted) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      *painted_ += static_cast<QPaintEvent*>(event)->region();
    }
    return QObject::eventFilter(watched, event);
  }

private:
  QRegion* painted_;
};

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
  if (name == u"paragraphs without tabs") {
    return Paragraphs().replace(u'\t', u' ');
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

  void select(int anchor, int position, QPlainTextEdit* box = nullptr) {
    box = box != nullptr ? box : text1();
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
  }

  // Returns where the keys that move by lines take the cursor from each position of the text, and
  // where a second Down or Up takes it on, keeping its x. (Page keys: see pageMoves.)
  QList<int> cursorMoves(QPlainTextEdit* box = nullptr) {
    box = box != nullptr ? box : text1();
    QList<int> positions;
    for (int start = 0; start < box->document()->characterCount(); ++start) {
      for (const QKeyCombination key : {QKeyCombination(Qt::Key_Up), QKeyCombination(Qt::Key_Down),
                                        QKeyCombination(Qt::Key_End), QKeyCombination(Qt::Key_Home),
                                        QKeyCombination(Qt::ShiftModifier, Qt::Key_Down),
                                        QKeyCombination(Qt::ShiftModifier, Qt::Key_Up)}) {
        select(start, start, box);
        QTest::keyClick(box, key.key(), key.keyboardModifiers());
        positions << box->textCursor().position();
        if (key.key() == Qt::Key_Down || key.key() == Qt::Key_Up) {
          QTest::keyClick(box, key.key(), key.keyboardModifiers());
          positions << box->textCursor().position();
        }
      }
    }
    return positions;
  }

  // Returns where Page Down, then Page Up, take the cursor from every seventh position, each time
  // from the top of the box. (The editor keeps a fraction of a pixel from its scrolling history.)
  QList<int> pageMoves(QPlainTextEdit* box = nullptr) {
    box = box != nullptr ? box : text1();
    QList<int> positions;
    for (int start = 0; start < box->document()->characterCount(); start += 7) {
      box->verticalScrollBar()->setValue(0);
      select(start, start, box);
      QTest::keyClick(box, Qt::Key_PageDown);
      positions << box->textCursor().position();
      QTest::keyClick(box, Qt::Key_PageUp);
      positions << box->textCursor().position();
    }
    return positions;
  }

  // Returns where clicks all over the visible text put the cursor.
  QList<int> clicks(QPlainTextEdit* box = nullptr) {
    box = box != nullptr ? box : text1();
    select(0, 0, box);
    box->verticalScrollBar()->setValue(0);
    QList<int> positions;
    const QRect area = box->viewport()->rect();
    for (int y = 1; y < area.height(); y += 4) {
      for (int x = 0; x < area.width(); ++x) {
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
        positions << box->textCursor().position();
      }
    }
    return positions;
  }

  // Returns a stock QPlainTextEdit set up as Text1 is, in its place: with every gap 0 (and no tab,
  // where Qt's own placing of tabs may change with what it measured before), Text1 must behave as
  // this editor does.
  QPlainTextEdit* stockEditor() {
    auto* stock = new QPlainTextEdit(window.get());
    stock->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    stock->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    stock->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stock->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stock->setGeometry(text1()->geometry());
    stock->show();
    return stock;
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

  // Returns the index of a tab that starts a line of Text1, or -1.
  int tabStartingALine() const {
    const QTextBlock block = text1()->document()->firstBlock();
    (void)text1()->document()->documentLayout()->blockBoundingRect(block);
    const QTextLayout* layout = block.layout();
    for (int i = 1; i < layout->lineCount(); ++i) {
      if (block.text().at(layout->lineAt(i).textStart()) == u'\t') {
        return layout->lineAt(i).textStart();
      }
    }
    return -1;
  }

  // Returns up to `count` widths of Text1, in the window font, at which `ones` with every gap 0
  // wraps right before a tab that follows a U+00A0 in `ones`.
  QList<int> widthsWrappingBeforeATab(const QString& ones, int count) {
    QList<int> widths;
    for (int width = 80; width < 400 && widths.size() < count; ++width) {
      setFontAndWidth(text1(), QString(), 0, width);
      text1()->replaceText(AllZero(ones));
      const int tab = tabStartingALine();
      if (tab > 0 && ones[tab - 1] == kNoBreakSpace) {
        widths << width;
      }
    }
    return widths;
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
    QVERIFY(ShowNewActiveForm1(window));
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
    const QList<int> zeroPages = pageMoves();
    text1()->replaceText(ones);
    QCOMPARE(clicks(), zeroClicks);
    QCOMPARE(cursorMoves(), zeroMoves);
    QCOMPARE(pageMoves(), zeroPages);
  }

  void cursorKeysAndClicksLandAsInTheStockEditor_data() {
    QTest::addColumn<QString>("cover");
    QTest::addColumn<int>("width");
    QTest::addRow("PlainCoverText with every gap 1") << "PlainCoverText with every gap 1" << 241;
    QTest::addRow("SampleCoverText") << "SampleCoverText" << 173;
    QTest::addRow("paragraphs, narrow") << "paragraphs without tabs" << 131;
    QTest::addRow("paragraphs, wide") << "paragraphs without tabs" << 330;
  }

  // Guards the cursor keys and clicks Text1 handles itself against the stock editor's.
  void cursorKeysAndClicksLandAsInTheStockEditor() {
    QFETCH(QString, cover);
    QFETCH(int, width);
    setFontAndWidth(text1(), QString(), 0, width);
    const QString ones = CoverNamed(cover);
    QPlainTextEdit* stock = stockEditor();
    stock->setPlainText(AllZero(ones));
    text1()->replaceText(ones);
    QCOMPARE(clicks(), clicks(stock));
    QCOMPARE(cursorMoves(), cursorMoves(stock));
    QCOMPARE(pageMoves(), pageMoves(stock));
  }

  // Where a line wraps between a U+00A0 and a tab, the block's own layout cannot break as its
  // twin does (a tab after a character always joins that character's line). Laying out a pasted
  // text with such a place once never finished; the box must show it and move the cursor over it
  // as with every gap 0.
  void noBreakSpaceBeforeATabWhereTheLineWraps() {
    const QString ones = NoBreakSpacesBeforeTabs();
    const QString zeros = AllZero(ones);
    const QList<int> widths = widthsWrappingBeforeATab(ones, 4);
    QCOMPARE(widths.size(), 4);
    for (const int width : widths) {
      setFontAndWidth(text1(), QString(), 0, width);
      text1()->replaceText(zeros);
      select(0, 0);
      const QImage shownZeros = pictureAt(0);
      const QList<int> zeroClicks = clicks();
      const QList<int> zeroMoves = cursorMoves();
      const QList<int> zeroPages = pageMoves();
      text1()->replaceText(ones);
      QCOMPARE(text(), ones);
      select(0, 0);
      QVERIFY(pictureAt(0) == shownZeros);
      QCOMPARE(clicks(), zeroClicks);
      QCOMPARE(cursorMoves(), zeroMoves);
      QCOMPARE(pageMoves(), zeroPages);
    }
  }

  // The stock editor repaints the cursor where the block's own layout has it; at the start of a
  // line that begins with a tab after a U+00A0, that is at the end of the line above.
  void cursorIsRepaintedWhereItIsShown() {
    const QString ones = NoBreakSpacesBeforeTabs();
    const QList<int> widths = widthsWrappingBeforeATab(ones, 1);
    QCOMPARE(widths.size(), 1);
    setFontAndWidth(text1(), QString(), 0, widths[0]);
    const int tab = tabStartingALine();
    QVERIFY(tab > 0);
    select(tab, tab);
    const QRect shown = text1()->cursorRect(); // with every gap 0, as shown
    text1()->replaceText(ones);

    select(tab - 1, tab - 1);
    QApplication::processEvents();
    // Onto the start of the line, and off it again: both times the cursor there is repainted.
    for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
      QRegion painted;
      PaintRecorder recorder(&painted);
      text1()->viewport()->installEventFilter(&recorder);
      QTest::keyClick(text1(), key);
      QApplication::processEvents();
      text1()->viewport()->removeEventFilter(&recorder);
      QVERIFY(painted.contains(shown));
    }
  }

  void tabsAfterLigaturesStayPutWhateverWasMeasuredFirst_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("width");
    QTest::addRow("window font, 131 px") << QString() << 131;
    QTest::addRow("sans 11, 173 px") << "DejaVu Sans" << 173;
    QTest::addRow("serif 11, 330 px") << "DejaVu Serif" << 330;
  }

  void tabsAfterLigaturesStayPutWhateverWasMeasuredFirst() {
    QFETCH(QString, family);
    QFETCH(int, width);
    setFontAndWidth(text1(), family, 11, width);
    for (const QString& cover : {AllZero(Paragraphs()), Paragraphs()}) {
      text1()->replaceText(cover);
      QList<QRect> forwards;
      QList<QRect> backwards;
      for (QList<QRect>* rects : {&forwards, &backwards}) {
        // Laid out afresh, then measured from the first position or from the last.
        text1()->resize(width + 41, text1()->height());
        text1()->resize(width, text1()->height());
        const int count = text1()->document()->characterCount();
        for (int i = 0; i < count; ++i) {
          QTextCursor cursor(text1()->document());
          cursor.setPosition(rects == &forwards ? i : count - 1 - i);
          rects->append(text1()->cursorRect(cursor));
        }
      }
      std::reverse(backwards.begin(), backwards.end());
      QCOMPARE(forwards, backwards);
    }
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
    TypeAccessCode(*window);
    static_cast<QLineEdit*>(window->control(Control::Text2))->setText(QString(7, QChar(0xFF)));
    QTest::mouseClick(window->control(Control::Command2), Qt::LeftButton);
    QCOMPARE(text().count(kNoBreakSpace), 56);
    QCOMPARE(lineBreaks(), originalBreaks);
    QVERIFY(picture() == original);
  }
};

QTEST_MAIN(GapBlindLayoutTest)
#include "gap_blind_layout_test.moc"
