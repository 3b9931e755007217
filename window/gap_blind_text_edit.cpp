// SPDX-License-Identifier: MIT
// GapBlindTextEdit mirrors what QPlainTextEdit and its QWidgetTextControl do through the blocks'
// own layouts, doing it through the layouts that show them (GapBlindLayout::shownLayout):
// - Keys, told apart as the stock control tells them (the first of its key sequences that
//   matches). Up and Down, with or without Shift, go to the shown line below or above at the x the
//   last move by lines kept, and Shift+Down on the last line selects to the end; Home and End, with
//   or without Shift, go to the start or end of the shown line, End before the space that ends a
//   wrapped line, as QTextCursor does. The stock editor handles these keys first, for its signals
//   and scrolling, and the cursor then goes where the shown layouts put it. Page Up and Page Down,
//   with or without Shift, are QPlainTextEdit's moves by pages: scroll by a page, then move by
//   shown lines to the row the cursor had; a selection made by pages becomes the X primary one.
// - Mouse press, move, release and double click, and drag moves and drops: the stock editor gets
//   the event at a point moved so that the blocks' own layouts hit-test it, line by line as the
//   stock control does (onto characters in overwrite mode), to the position the shown layout has
//   at the real point.
// - Painting: QPlainTextEdit::paintEvent's, with each block drawn from its shown layout: the
//   placeholder text, selections and full-width selections, the cursor (a block in overwrite
//   mode, and within input method preedit text) and the window colour below the last block. The
//   cursor is also repainted where the shown layout has it, when it moves and when it blinks.
// - Resizing: lines wrap to the viewport's width, as the stock editor lays its document out.
// Checked against the stock editor of Qt 6.4.2 (Debian 12) and Qt 6.8.2 (Debian 13); the window's
// tests pass with both.
#include "gap_blind_text_edit.hpp"

#include "window/gap_blind_layout.hpp"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace quillmere {
namespace {

// Returns the position in its block that `layout` puts at `point` (relative to the block), found
// as the stock editor hit-tests a block's lines.
int HitInBlock(const QTextLayout& layout, QPointF point, QTextLine::CursorPosition mode) {
  int offset = 0;
  for (int i = 0; i < layout.lineCount(); ++i) {
    const QTextLine line = layout.lineAt(i);
    const QRectF rect = line.naturalTextRect();
    if (rect.top() > point.y()) {
      offset = qMin(offset, line.textStart());
    } else if (rect.bottom() <= point.y()) {
      offset = qMax(offset, line.textStart() + line.textLength());
    } else {
      return line.xToCursor(point.x(), mode);
    }
  }
  return offset;
}

// The cursor keys that move by lines, as the stock editor tells them apart: the first of its key
// sequences that matches decides, so sequences of other moves are listed too (as None).
enum class LineMove { None, Up, Down, PageUp, PageDown, StartOfLine, EndOfLine };

struct CursorKey {
  QKeySequence::StandardKey sequence;
  LineMove move;
  bool keepAnchor;
};

constexpr CursorKey kCursorKeys[] = {
    {QKeySequence::SelectPreviousPage, LineMove::PageUp, true},
    {QKeySequence::SelectNextPage, LineMove::PageDown, true},
    {QKeySequence::MoveToPreviousPage, LineMove::PageUp, false},
    {QKeySequence::MoveToNextPage, LineMove::PageDown, false},
    {QKeySequence::MoveToNextChar, LineMove::None, false},
    {QKeySequence::MoveToPreviousChar, LineMove::None, false},
    {QKeySequence::SelectNextChar, LineMove::None, true},
    {QKeySequence::SelectPreviousChar, LineMove::None, true},
    {QKeySequence::SelectNextWord, LineMove::None, true},
    {QKeySequence::SelectPreviousWord, LineMove::None, true},
    {QKeySequence::SelectStartOfLine, LineMove::StartOfLine, true},
    {QKeySequence::SelectEndOfLine, LineMove::EndOfLine, true},
    {QKeySequence::SelectStartOfBlock, LineMove::None, true},
    {QKeySequence::SelectEndOfBlock, LineMove::None, true},
    {QKeySequence::SelectStartOfDocument, LineMove::None, true},
    {QKeySequence::SelectEndOfDocument, LineMove::None, true},
    {QKeySequence::SelectPreviousLine, LineMove::Up, true},
    {QKeySequence::SelectNextLine, LineMove::Down, true},
    {QKeySequence::MoveToNextWord, LineMove::None, false},
    {QKeySequence::MoveToPreviousWord, LineMove::None, false},
    {QKeySequence::MoveToEndOfBlock, LineMove::None, false},
    {QKeySequence::MoveToStartOfBlock, LineMove::None, false},
    {QKeySequence::MoveToNextLine, LineMove::Down, false},
    {QKeySequence::MoveToPreviousLine, LineMove::Up, false},
    {QKeySequence::MoveToStartOfLine, LineMove::StartOfLine, false},
    {QKeySequence::MoveToEndOfLine, LineMove::EndOfLine, false},
};

CursorKey CursorKeyOf(QKeyEvent* event) {
  for (const CursorKey& key : kCursorKeys) {
    if (event->matches(key.sequence)) {
      return key;
    }
  }
  return {QKeySequence::UnknownKey, LineMove::None, false};
}

} // namespace

GapBlindTextEdit::GapBlindTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  auto* doc = new QTextDocument(this);
  auto* layout = new GapBlindLayout(doc);
  doc->setDocumentLayout(layout);
  layout->setPaintDevice(viewport());
  doc->setDefaultFont(font());
  setDocument(doc);
  layout->setWrapWidth(viewport()->width());
  connect(this, &QPlainTextEdit::cursorPositionChanged, &signalContext_, [this] {
    pageRowKept_ = false;
    repaintShownCursor();
  });
  // The stock editor repaints the cursor to make it blink, where the block's own layout has it.
  connect(this, &QPlainTextEdit::updateRequest, &signalContext_, [this](const QRect& rect, int dy) {
    if (dy == 0 && rect.intersects(cursorRect())) {
      repaintShownCursor();
    }
  });
}

GapBlindLayout* GapBlindTextEdit::gapBlindLayout() const {
  return qobject_cast<GapBlindLayout*>(document()->documentLayout());
}

void GapBlindTextEdit::resizeEvent(QResizeEvent* event) {
  // The stock editor lays the document out again at its viewport's width; wrap to the same.
  if (GapBlindLayout* layout = gapBlindLayout()) {
    layout->setWrapWidth(viewport()->width());
  }
  QPlainTextEdit::resizeEvent(event);
}

void GapBlindTextEdit::keyPressEvent(QKeyEvent* event) {
  const CursorKey key = CursorKeyOf(event);
  if (key.move == LineMove::None || gapBlindLayout() == nullptr ||
      !(textInteractionFlags() & Qt::TextSelectableByKeyboard)) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  if (key.move == LineMove::PageUp || key.move == LineMove::PageDown) {
    event->accept();
    movePage(key.move == LineMove::PageDown, key.keepAnchor);
    return;
  }
  // The stock editor moves the cursor through the blocks' own layouts, with its signals and
  // scrolling; the cursor then goes where the same move takes it in the shown layouts.
  const QTextCursor before = textCursor();
  const qreal x = verticalX(before);
  std::optional<int> target;
  if (key.move == LineMove::Up || key.move == LineMove::Down) {
    target = lineBelowOrAbove(before.position(), x, key.move == LineMove::Down);
    if (!target && key.move == LineMove::Down && key.keepAnchor) {
      target = document()->characterCount() - 1; // Shift+Down on the last line selects to the end
    }
  } else {
    target = lineEdge(before.position(), key.move == LineMove::EndOfLine);
  }
  QPlainTextEdit::keyPressEvent(event);
  if (target) {
    const bool byLines = key.move == LineMove::Up || key.move == LineMove::Down;
    placeCursor(*target, key.keepAnchor, byLines ? std::optional<qreal>(x) : std::nullopt);
  }
}

QRect GapBlindTextEdit::shownCursorRect(int position) const {
  const GapBlindLayout* layout = gapBlindLayout();
  const QTextBlock block = document()->findBlock(position);
  if (layout == nullptr || !block.isValid()) {
    return {};
  }
  const int offset = position - block.position();
  const QTextLine line = layout->shownLayout(block)->lineForTextPosition(offset);
  if (!line.isValid()) {
    return {};
  }
  const QPointF origin = blockBoundingGeometry(block).translated(contentOffset()).topLeft();
  return QRectF(origin.x() + line.cursorToX(offset) - 1, origin.y() + line.y(), cursorWidth() + 2,
                line.height())
      .toAlignedRect();
}

void GapBlindTextEdit::repaintShownCursor() {
  viewport()->update(shownCursorRect_);
  shownCursorRect_ = shownCursorRect(textCursor().position());
  viewport()->update(shownCursorRect_);
}

qreal GapBlindTextEdit::verticalX(const QTextCursor& cursor) const {
  if (cursor.position() == keptXPosition_ &&
      cursor.verticalMovementX() == static_cast<int>(keptX_)) {
    return keptX_;
  }
  const QTextBlock block = cursor.block();
  const int offset = cursor.position() - block.position();
  const QTextLine line = gapBlindLayout()->shownLayout(block)->lineForTextPosition(offset);
  return line.isValid() ? line.cursorToX(offset) : cursor.verticalMovementX();
}

std::optional<int> GapBlindTextEdit::lineBelowOrAbove(int position, qreal x, bool down) const {
  const GapBlindLayout* layout = gapBlindLayout();
  QTextBlock block = document()->findBlock(position);
  const QTextLayout* shown = layout->shownLayout(block);
  const QTextLine line = shown->lineForTextPosition(position - block.position());
  if (!line.isValid()) {
    return std::nullopt;
  }
  int number = line.lineNumber() + (down ? 1 : -1);
  if (number < 0 || number >= shown->lineCount()) {
    block = down ? block.next() : block.previous();
    if (!block.isValid()) {
      return std::nullopt;
    }
    shown = layout->shownLayout(block);
    number = down ? 0 : shown->lineCount() - 1;
  }
  if (number < 0) {
    return block.position();
  }
  return block.position() + shown->lineAt(number).xToCursor(x);
}

int GapBlindTextEdit::lineEdge(int position, bool end) const {
  const QTextBlock block = document()->findBlock(position);
  const QTextLayout* shown = gapBlindLayout()->shownLayout(block);
  const QTextLine line = shown->lineForTextPosition(position - block.position());
  if (!end) {
    return block.position() + (line.isValid() ? line.textStart() : 0);
  }
  if (!line.isValid() || line.textLength() == 0) {
    return block.position() + block.length() - 1;
  }
  const int lineEnd = line.textStart() + line.textLength();
  int edge = qMin(block.position() + lineEnd, document()->characterCount() - 1);
  // Before the space that ends a wrapped line, as QTextCursor takes it; U+00A0 counts as a space.
  const QString text = block.text();
  if (line.lineNumber() < shown->lineCount() - 1 && lineEnd <= text.size() &&
      text.at(lineEnd - 1).isSpace()) {
    --edge;
  }
  return edge;
}

qreal GapBlindTextEdit::lineTop(int position) const {
  const QTextBlock block = document()->findBlock(position);
  const QTextLine line =
      gapBlindLayout()->shownLayout(block)->lineForTextPosition(position - block.position());
  return blockBoundingGeometry(block).top() + (line.isValid() ? line.y() : 0);
}

// QPlainTextEdit's own moves by pages, through public means: the editor scrolls to a top line
// when its vertical scroll bar takes the line's number.
void GapBlindTextEdit::movePage(bool down, bool keepAnchor) {
  ensureCursorVisible();
  QTextCursor cursor = textCursor();
  const qreal x = verticalX(cursor);
  if (!pageRowKept_) {
    pageRow_ = lineTop(cursor.position()) + contentOffset().y();
  }
  qreal row = pageRow_;
  QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
  QTextBlock block = firstVisibleBlock();
  int line = 0;
  if (down) {
    QRectF rect = blockBoundingRect(block);
    qreal height = 0;
    bool atEnd = false;
    while (height + rect.height() <= visible.bottom()) {
      if (!block.next().isValid()) {
        atEnd = true;
        row = visible.bottom(); // to the last line
        break;
      }
      height += rect.height();
      block = block.next();
      rect = blockBoundingRect(block);
    }
    if (!atEnd) {
      const qreal rest = visible.bottom() - height;
      const int lineCount = block.layout()->lineCount();
      while (line < lineCount - 1 &&
             block.layout()->lineAt(line).naturalTextRect().bottom() <= rest) {
        ++line;
      }
      verticalScrollBar()->setValue(block.firstLineNumber() + line);
    }
  } else {
    visible.translate(0, -visible.height()); // the page above
    qreal height = 0;
    while (height >= visible.top()) {
      if (!block.previous().isValid()) {
        if (verticalScrollBar()->value() == 0) {
          row = 0; // to the first line
        }
        break;
      }
      block = block.previous();
      height -= blockBoundingRect(block).height();
    }
    const qreal rest = visible.top() - height;
    const int lineCount = block.layout()->lineCount();
    while (line < lineCount && block.layout()->lineAt(line).naturalTextRect().top() < rest) {
      ++line;
    }
    if (line == lineCount) {
      if (block.next().isValid() && block.next() != firstVisibleBlock()) {
        block = block.next();
        line = 0;
      } else {
        --line;
      }
    }
    verticalScrollBar()->setValue(block.firstLineNumber() + line);
  }

  // Line by line to the row the cursor had, in the editor's content coordinates now.
  row -= contentOffset().y();
  int position = cursor.position();
  for (std::optional<int> next = lineBelowOrAbove(position, x, down); next && *next != position;
       next = lineBelowOrAbove(position, x, down)) {
    position = *next;
    if (down ? lineTop(position) >= row : lineTop(position) <= row) {
      break;
    }
  }
  placeCursor(position, keepAnchor, x);
  ensureCursorVisible();
  if (keepAnchor) {
    // As the stock editor does after selecting by pages: the selection becomes the X primary one.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (textCursor().hasSelection() && clipboard->supportsSelection()) {
      clipboard->setMimeData(createMimeDataFromSelection(), QClipboard::Selection);
    }
  }
  pageRowKept_ = true;
}

void GapBlindTextEdit::placeCursor(int position, bool keepAnchor, std::optional<qreal> x) {
  QTextCursor cursor = textCursor();
  if (cursor.position() != position || (x && cursor.verticalMovementX() != static_cast<int>(*x))) {
    cursor.setPosition(position, keepAnchor ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    if (x) {
      cursor.setVerticalMovementX(static_cast<int>(*x));
    }
    setTextCursor(cursor);
  }
  if (x) {
    keptX_ = *x;
    keptXPosition_ = position;
  }
}

QPointF GapBlindTextEdit::hitPoint(QPointF point) const {
  const GapBlindLayout* layout = gapBlindLayout();
  QTextBlock block = firstVisibleBlock();
  if (layout == nullptr || !block.isValid()) {
    return point;
  }
  // The block under `point`, found as the stock editor finds it.
  QPointF origin = contentOffset();
  QRectF rect = blockBoundingRect(block);
  while (block.next().isValid() && rect.bottom() + origin.y() <= point.y()) {
    origin.ry() += rect.height();
    block = block.next();
    rect = blockBoundingRect(block);
  }
  while (block.previous().isValid() && rect.top() + origin.y() > point.y()) {
    origin.ry() -= rect.height();
    block = block.previous();
    rect = blockBoundingRect(block);
  }
  const QTextLayout* shown = layout->shownLayout(block);
  const QTextLayout* own = block.layout();
  if (shown == own) {
    return point;
  }
  const auto mode =
      overwriteMode() ? QTextLine::CursorOnCharacter : QTextLine::CursorBetweenCharacters;
  const QPointF local = point - origin;
  const int wanted = HitInBlock(*shown, local, mode);
  const QTextLine line = own->lineForTextPosition(wanted);
  if (HitInBlock(*own, local, mode) == wanted || !line.isValid()) {
    return point;
  }
  // Where the block's own layout has `wanted`: on its line, at the height of `point` if that is
  // on the line too.
  const QRectF lineRect = line.naturalTextRect();
  const bool onLine = lineRect.top() <= local.y() && local.y() < lineRect.bottom();
  return origin + QPointF(line.cursorToX(wanted), onLine ? local.y() : lineRect.center().y());
}

template <typename Handle>
void GapBlindTextEdit::forwardMouse(QMouseEvent* event, Handle handle) {
  const QPointF point = hitPoint(event->position());
  if (point == event->position()) {
    handle(event);
    return;
  }
  const QPointF shift = point - event->position();
  QMouseEvent moved(event->type(), point, event->scenePosition() + shift,
                    event->globalPosition() + shift, event->button(), event->buttons(),
                    event->modifiers(), event->pointingDevice());
  moved.setTimestamp(event->timestamp());
  handle(&moved);
  event->setAccepted(moved.isAccepted());
}

template <typename Handle>
void GapBlindTextEdit::forwardDrop(QDropEvent* event, Handle handle) {
  const QPointF point = hitPoint(event->position());
  if (point == event->position()) {
    handle(event);
    return;
  }
  QDragMoveEvent moved(point.toPoint(), event->possibleActions(), event->mimeData(),
                       event->buttons(), event->modifiers(), event->type());
  handle(&moved);
  event->setDropAction(moved.dropAction());
  event->setAccepted(moved.isAccepted());
}

void GapBlindTextEdit::mousePressEvent(QMouseEvent* event) {
  forwardMouse(event, [this](QMouseEvent* e) { QPlainTextEdit::mousePressEvent(e); });
}

void GapBlindTextEdit::mouseMoveEvent(QMouseEvent* event) {
  forwardMouse(event, [this](QMouseEvent* e) { QPlainTextEdit::mouseMoveEvent(e); });
}

void GapBlindTextEdit::mouseReleaseEvent(QMouseEvent* event) {
  forwardMouse(event, [this](QMouseEvent* e) { QPlainTextEdit::mouseReleaseEvent(e); });
}

void GapBlindTextEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  forwardMouse(event, [this](QMouseEvent* e) { QPlainTextEdit::mouseDoubleClickEvent(e); });
}

void GapBlindTextEdit::dragMoveEvent(QDragMoveEvent* event) {
  forwardDrop(event, [this](QDropEvent* e) {
    QPlainTextEdit::dragMoveEvent(static_cast<QDragMoveEvent*>(e));
  });
}

void GapBlindTextEdit::dropEvent(QDropEvent* event) {
  forwardDrop(event, [this](QDropEvent* e) { QPlainTextEdit::dropEvent(e); });
}

// The stock editor's painting, with each block drawn from the layout that shows it. (Block
// backgrounds are left out: plain text has none.)
void GapBlindTextEdit::paintEvent(QPaintEvent* event) {
  const GapBlindLayout* gapBlind = gapBlindLayout();
  if (gapBlind == nullptr) {
    QPlainTextEdit::paintEvent(event);
    return;
  }
  QPainter painter(viewport());
  QPointF offset(contentOffset());
  QRect exposed = event->rect();
  const QRect viewportRect = viewport()->rect();
  const bool editable = !isReadOnly();
  const qreal documentWidth = gapBlind->documentSize().width();

  painter.setBrushOrigin(offset);
  // Keep the right margin clean of full-width selections.
  const auto maxX = static_cast<int>(offset.x() + qMax(qreal(viewportRect.width()), documentWidth) -
                                     document()->documentMargin() + cursorWidth());
  exposed.setRight(qMin(exposed.right(), maxX));
  painter.setClipRect(exposed);

  if (document()->isEmpty() && !placeholderText().isEmpty()) {
    painter.setPen(palette().placeholderText().color());
    painter.setClipRect(event->rect());
    const int margin = static_cast<int>(document()->documentMargin());
    painter.drawText(QRectF(viewportRect.adjusted(margin, margin, 0, 0)),
                     Qt::AlignTop | Qt::TextWordWrap, placeholderText());
  }

  const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
  painter.setPen(context.palette.text().color());

  QTextBlock block = firstVisibleBlock();
  for (; block.isValid(); block = block.next()) {
    const QRectF rect = blockBoundingRect(block).translated(offset);
    if (!block.isVisible()) {
      offset.ry() += rect.height();
      continue;
    }
    const QTextLayout* layout = gapBlind->shownLayout(block);
    if (rect.bottom() >= exposed.top() && rect.top() <= exposed.bottom()) {
      QList<QTextLayout::FormatRange> selections;
      const int start = block.position();
      const int length = block.length();
      for (const QAbstractTextDocumentLayout::Selection& range : context.selections) {
        const int selectionStart = range.cursor.selectionStart() - start;
        const int selectionEnd = range.cursor.selectionEnd() - start;
        if (selectionStart < length && selectionEnd > 0 && selectionEnd > selectionStart) {
          selections.append({selectionStart, selectionEnd - selectionStart, range.format});
        } else if (!range.cursor.hasSelection() &&
                   range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(range.cursor.position())) {
          const QTextLine line = layout->lineForTextPosition(range.cursor.position() - start);
          QTextLayout::FormatRange whole{line.textStart(), line.textLength(), range.format};
          if (whole.start + whole.length == length - 1) {
            ++whole.length; // include the paragraph end
          }
          selections.append(whole);
        }
      }

      const bool drawCursor =
          (editable || (textInteractionFlags() & Qt::TextSelectableByKeyboard)) &&
          context.cursorPosition >= start && context.cursorPosition < start + length;
      bool drawCursorAsBlock = drawCursor && overwriteMode();
      if (drawCursorAsBlock) {
        if (context.cursorPosition == start + length - 1) {
          drawCursorAsBlock = false;
        } else {
          QTextLayout::FormatRange cell{context.cursorPosition - start, 1, {}};
          cell.format.setForeground(palette().base());
          cell.format.setBackground(palette().text());
          selections.append(cell);
        }
      }

      layout->draw(&painter, offset, selections, exposed);

      if ((drawCursor && !drawCursorAsBlock) ||
          (editable && context.cursorPosition < -1 && !layout->preeditAreaText().isEmpty())) {
        int position = context.cursorPosition;
        if (position < -1) {
          position = layout->preeditAreaPosition() - (position + 2);
        } else {
          position -= start;
        }
        layout->drawCursor(&painter, offset, position, cursorWidth());
      }
    }
    offset.ry() += rect.height();
    if (offset.y() > viewportRect.height()) {
      break;
    }
  }

  if (backgroundVisible() && !block.isValid() && offset.y() <= exposed.bottom() &&
      (centerOnScroll() || verticalScrollBar()->maximum() == verticalScrollBar()->minimum())) {
    painter.fillRect(QRect(QPoint(static_cast<int>(exposed.left()), static_cast<int>(offset.y())),
                           exposed.bottomRight()),
                     palette().window());
  }
}

} // namespace quillmere
