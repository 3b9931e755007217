// SPDX-License-Identifier: MIT
#include "gap_blind_layout.hpp"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <climits>
#include <memory>

namespace quillmere {
namespace {

constexpr QChar kNoBreakSpace(u'\u00A0');
constexpr QChar kSpace(u' ');

// The twin of a block laid out gap-blind: the block's text with U+0020 for each U+00A0, laid out
// as the stock layout lays out a block. It lives in the block's user data, so it goes with the
// block.
struct Twin final : QTextBlockUserData {
  std::unique_ptr<QTextLayout> layout;
  QRectF bounds; // the stock block rectangle before its margins
};

Twin* TwinOf(const QTextBlock& block) {
  return dynamic_cast<Twin*>(block.userData());
}

bool HoldsNoBreakSpace(const QTextBlock& block, const QString& text) {
  return text.contains(kNoBreakSpace) || block.layout()->preeditAreaText().contains(kNoBreakSpace);
}

// Fills `line` with the next `length` characters. QTextLine::setNumColumns counts glyph clusters,
// and a ligature such as "fi" is one cluster of two characters: a line of `length` clusters may
// hold more characters, so the count shrinks by the excess, then grows a cluster at a time.
void FillLine(QTextLine& line, int length) {
  int columns = length;
  line.setNumColumns(columns);
  while (line.textLength() > length && columns > 1) {
    columns = qMax(1, columns - (line.textLength() - length));
    line.setNumColumns(columns);
  }
  while (line.textLength() < length) {
    line.setNumColumns(++columns);
  }
}

// Returns `rect`, a block's rectangle from its lines, with the document margin as the stock layout
// adds it: on the right, and below the last block.
QRectF WithMargins(QRectF rect, const QTextBlock& block, qreal margin) {
  rect.adjust(0, 0, margin, 0);
  if (!block.next().isValid()) {
    rect.adjust(0, 0, 0, margin);
  }
  return rect;
}

} // namespace

GapBlindLayout::GapBlindLayout(QTextDocument* document) : QPlainTextDocumentLayout(document) {}

QRectF GapBlindLayout::blockBoundingRect(const QTextBlock& block) const {
  if (!block.isValid()) {
    return {};
  }
  if (block.layout()->lineCount() == 0) {
    QString text = block.text();
    if (HoldsNoBreakSpace(block, text)) {
      const_cast<GapBlindLayout*>(this)->layOutBlock(block, std::move(text));
    } else {
      QTextBlock(block).setUserData(nullptr);
    }
  }
  const Twin* twin = TwinOf(block);
  if (twin == nullptr) {
    return QPlainTextDocumentLayout::blockBoundingRect(block);
  }
  return block.isVisible() ? WithMargins(twin->bounds, block, document()->documentMargin())
                           : QRectF();
}

QSizeF GapBlindLayout::documentSize() const {
  QSizeF size = QPlainTextDocumentLayout::documentSize();
  if (wrapWidth_ > 0 && size.width() > wrapWidth_) {
    size.setWidth(wrapWidth_);
  }
  return size;
}

const QTextLayout* GapBlindLayout::shownLayout(const QTextBlock& block) const {
  const Twin* twin = TwinOf(block);
  if (twin != nullptr && twin->layout->lineCount() == block.layout()->lineCount()) {
    return twin->layout.get();
  }
  return block.layout();
}

void GapBlindLayout::setWrapWidth(qreal width) {
  wrapWidth_ = width;
}

void GapBlindLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
  QTextDocument* doc = document();
  const int blockCount = doc->blockCount();
  const QTextBlock first = doc->findBlock(from);
  const QTextBlock last = doc->findBlock(qMax(0, from + charsRemoved + charsAdded - 1));
  const bool withinOneBlock =
      first == last && blockCount == blockCount_ && first.isValid() && first.length() > 0;
  blockCount_ = blockCount;
  if (!withinOneBlock) {
    // The stock layout clears the changed blocks; blockBoundingRect lays them out when needed.
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    return;
  }
  QString text = first.text();
  if (!HoldsNoBreakSpace(first, text)) {
    QTextBlock(first).setUserData(nullptr);
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    return;
  }
  // What the stock layout does for a change within one block, with the block laid out gap-blind.
  const qreal heightBefore = blockBoundingRect(first).height();
  layOutBlock(first, std::move(text));
  if (blockBoundingRect(first).height() == heightBefore) {
    emit updateBlock(first);
  } else {
    emit update(QRectF(0., -doc->documentMargin(), 1000000000., 1000000000.));
  }
}

void GapBlindLayout::layOutBlock(const QTextBlock& block, QString text) {
  QTextDocument* doc = document();
  const qreal margin = doc->documentMargin();
  const QTextOption option = doc->defaultTextOption();
  QTextLayout* own = block.layout();

  // The twin, with the stock layout's option, width, line positions and heights.
  int extraMargin = 0;
  if (option.flags() & QTextOption::AddSpaceForLineAndParagraphSeparators) {
    extraMargin += QFontMetrics(block.charFormat().font()).horizontalAdvance(QChar(0x21B5));
  }
  const qreal available =
      (wrapWidth_ > 0 ? wrapWidth_ : qreal(INT_MAX)) - 2 * margin - qreal(extraMargin);
  auto* twin = TwinOf(block);
  if (twin == nullptr) {
    twin = new Twin;
    QTextBlock(block).setUserData(twin);
  }
  twin->layout = std::make_unique<QTextLayout>(text.replace(kNoBreakSpace, kSpace),
                                               doc->defaultFont(), paintDevice());
  QTextLayout& shown = *twin->layout;
  shown.setTextOption(option);
  if (own->preeditAreaPosition() >= 0) {
    shown.setPreeditArea(own->preeditAreaPosition(),
                         own->preeditAreaText().replace(kNoBreakSpace, kSpace));
  }
  shown.setFormats(own->formats());
  shown.beginLayout();
  qreal height = 0;
  for (QTextLine line = shown.createLine(); line.isValid(); line = shown.createLine()) {
    line.setLeadingIncluded(true);
    line.setLineWidth(available);
    line.setPosition(QPointF(margin, height));
    height += line.height();
    if (line.leading() < 0) {
      height += qCeil(line.leading());
    }
  }
  shown.endLayout();
  twin->bounds = QRectF(QPointF(0, 0), shown.boundingRect().bottomRight());
  if (shown.lineCount() == 1) {
    twin->bounds.setWidth(qMax(twin->bounds.width(), shown.lineAt(0).naturalTextWidth()));
  }

  // The block itself, broken anywhere but only where the twin breaks.
  QTextOption anywhere = option;
  anywhere.setWrapMode(QTextOption::WrapAnywhere);
  own->setTextOption(anywhere);
  own->beginLayout();
  for (int i = 0; i < shown.lineCount(); ++i) {
    const QTextLine model = shown.lineAt(i);
    QTextLine line = own->createLine();
    if (!line.isValid()) {
      break;
    }
    line.setLeadingIncluded(true);
    FillLine(line, model.textLength());
    line.setPosition(model.position());
  }
  own->endLayout();

  const int lineCountBefore = doc->lineCount();
  QTextBlock(block).setLineCount(block.isVisible() ? shown.lineCount() : 0);
  if (doc->lineCount() != lineCountBefore && !announcingSize_) {
    // The editor answers by measuring blocks, which may lay out more blocks: announce once.
    announcingSize_ = true;
    emit documentSizeChanged(documentSize());
    announcingSize_ = false;
  }
}

GapBlindTextEdit::GapBlindTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
  auto* doc = new QTextDocument(this);
  auto* layout = new GapBlindLayout(doc);
  doc->setDocumentLayout(layout);
  layout->setPaintDevice(viewport());
  doc->setDefaultFont(font());
  setDocument(doc);
  layout->setWrapWidth(viewport()->width());
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
  QPlainTextEdit::keyPressEvent(event);
  switch (event->key()) {
  case Qt::Key_Up:
  case Qt::Key_Down:
  case Qt::Key_PageUp:
  case Qt::Key_PageDown:
    keepVerticalMoveOnItsLine();
    break;
  default:
    break;
  }
}

void GapBlindTextEdit::keepVerticalMoveOnItsLine() {
  QTextCursor cursor = textCursor();
  const int x = cursor.verticalMovementX();
  const QTextBlock block = cursor.block();
  const GapBlindLayout* layout = gapBlindLayout();
  const QTextLayout* own = block.layout();
  const QTextLayout* shown = layout != nullptr ? layout->shownLayout(block) : own;
  const int offset = cursor.position() - block.position();
  const QTextLine line = own->lineForTextPosition(offset);
  if (x < 0 || shown == own || !line.isValid() || line.lineNumber() == 0 ||
      offset != line.textStart()) {
    return;
  }
  // At the start of a wrapped line, with x beyond the text of the line above: the move went to the
  // line above, where x fell on the right half of a U+00A0 ending it, and the block's own layout
  // took the cursor past that U+00A0. (A move to this line itself lands at its start only for an x
  // left of the middle of its first character, well before where the line above ends.)
  const QTextLine above = shown->lineAt(line.lineNumber() - 1);
  if (x < above.x() + above.naturalTextWidth()) {
    return;
  }
  const int wanted = above.xToCursor(x);
  if (wanted == offset) {
    return;
  }
  const bool selecting = cursor.anchor() != cursor.position();
  cursor.setPosition(block.position() + wanted,
                     selecting ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
  cursor.setVerticalMovementX(x);
  setTextCursor(cursor);
}

QPointF GapBlindTextEdit::hitPoint(QPointF point) const {
  const GapBlindLayout* layout = gapBlindLayout();
  if (layout == nullptr) {
    return point;
  }
  const QTextBlock block = cursorForPosition(point.toPoint()).block();
  const QTextLayout* shown = layout->shownLayout(block);
  const QTextLayout* own = block.layout();
  if (shown == own) {
    return point;
  }
  const QPointF origin = blockBoundingGeometry(block).translated(contentOffset()).topLeft();
  const QPointF local = point - origin;
  for (int i = 0; i < shown->lineCount() && i < own->lineCount(); ++i) {
    const QTextLine line = shown->lineAt(i);
    const QRectF rect = line.naturalTextRect();
    if (rect.top() <= local.y() && local.y() < rect.bottom()) {
      const int wanted = line.xToCursor(local.x());
      const QTextLine ownLine = own->lineAt(i);
      if (ownLine.xToCursor(local.x()) != wanted) {
        return {origin.x() + ownLine.cursorToX(wanted), point.y()};
      }
      break;
    }
  }
  return point;
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
