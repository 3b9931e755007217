// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextDocumentLayout>

// The layout of a plain-text box (GapBlindTextEdit, gap_blind_text_edit.hpp) that wraps and draws
// its text as if every no-break space (U+00A0) were an ordinary space (U+0020), so that which of
// the two a gap holds never shows on screen, while the document keeps every character exactly as
// it is.
//
// Qt's line breaking treats U+00A0 as glue, and the stock layout's per-paragraph routine is
// private. So the layout reimplements the virtual blockBoundingRect: a paragraph holding U+00A0 is
// laid out twice, first as its "twin" (the same text with U+0020 for each U+00A0) exactly as the
// stock layout lays out a paragraph, then as itself, broken where the twin breaks. Paragraphs
// without U+00A0 take the stock path and are their own twin. The twin is what the box shows:
// it is painted, and clicks, drops and the cursor keys that move by lines land where the twin puts
// them. The paragraph's own layout carries the same lines for the stock editor, save one case it
// cannot break as the twin does: a U+00A0 ending a line right before a tab.
//
// Every layout keeps its shaped glyphs (QTextLayout::setCacheEnabled): Qt places a tab after
// ligatures by reading glyph data that otherwise depends on which lines were drawn or measured
// before, so without the cache the same text could show its tabs differently from one moment to
// the next, and a paragraph and its twin could differ.
namespace quillmere {

class GapBlindLayout final : public QPlainTextDocumentLayout {
  Q_OBJECT

public:
  explicit GapBlindLayout(QTextDocument* document);

  // Returns the paragraph's rectangle as the stock layout gives it for the paragraph's twin; lays
  // the paragraph out first if it has no lines.
  [[nodiscard]] QRectF blockBoundingRect(const QTextBlock& block) const override;
  // Returns the stock size, no wider than the wrap width: lines are laid out to fit it.
  [[nodiscard]] QSizeF documentSize() const override;

  // Returns the layout that shows `block`: its twin when the block holds U+00A0, otherwise the
  // block's own layout. Lays the block out first if it has no lines.
  [[nodiscard]] const QTextLayout* shownLayout(const QTextBlock& block) const;

  // Sets the width lines wrap to, in pixels; zero or less means no limit. It must equal the width
  // the editor gives the stock layout, its viewport's width.
  void setWrapWidth(qreal width);

protected:
  void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
  // Lays out `block` gap-blind: its twin from `text` (the block's text), then the block itself.
  void layOutBlock(const QTextBlock& block, QString text);

  qreal wrapWidth_ = 0;
  int blockCount_ = 1;
  bool announcingSize_ = false;
};

} // namespace quillmere
