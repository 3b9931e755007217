// SPDX-License-Identifier: MIT
#include "gap_blind_layout.hpp"

#include <QFontMetrics>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <climits>
#include <memory>
#include <utility>

namespace quillmere {
namespace {

constexpr QChar kNoBreakSpace(u'\u00A0');
constexpr QChar kSpace(u' ');

// Columns a line may grow by without taking in another character before FillLine gives up: a tab
// counts as many columns as average characters fit into its width.
constexpr int kMaxColumnsWithoutGrowth = 1024;

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

// Fills `line` up to `end`, a position in its layout's text of `textLength` characters, or as near
// past it as the layout allows. QTextLine::setNumColumns counts glyph clusters, not characters: a
// ligature such as "fi" is one cluster of two characters, a tab counts as many columns as average
// characters fit into its width, and the spaces and tabs after the last cluster join the line. So
// the count shrinks by the excess, then grows a column at a time. A line cannot end between a
// U+00A0 and a tab after it, where its twin may break; it then ends after the tab, and the next
// line, filled up to where the twin's next line ends, falls in step again.
void FillLine(QTextLine& line, int end, int textLength) {
  const int wanted = end - line.textStart();
  int columns = qMax(1, wanted);
  line.setNumColumns(columns);
  while (line.textLength() > wanted && columns > 1) {
    columns = qMax(1, columns - (line.textLength() - wanted));
    line.setNumColumns(columns);
  }
  for (int stalled = 0; line.textLength() < wanted &&
                        line.textStart() + line.textLength() < textLength &&
                        stalled < kMaxColumnsWithoutGrowth;) {
    const int before = line.textLength();
    line.setNumColumns(++columns);
    stalled = line.textLength() == before ? stalled + 1 : 0;
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
    block.layout()->setCacheEnabled(true);
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
  (void)blockBoundingRect(block);
  const Twin* twin = TwinOf(block);
  return twin != nullptr ? twin->layout.get() : block.layout();
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
    first.layout()->setCacheEnabled(true);
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
  shown.setCacheEnabled(true);
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
  const auto textLength = static_cast<int>(text.size() + shown.preeditAreaText().size());
  QTextOption anywhere = option;
  anywhere.setWrapMode(QTextOption::WrapAnywhere);
  own->setCacheEnabled(true);
  own->setTextOption(anywhere);
  own->beginLayout();
  for (int i = 0; i < shown.lineCount(); ++i) {
    const QTextLine model = shown.lineAt(i);
    QTextLine line = own->createLine();
    if (!line.isValid()) {
      break;
    }
    line.setLeadingIncluded(true);
    FillLine(line, model.textStart() + model.textLength(), textLength);
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

} // namespace quillmere
