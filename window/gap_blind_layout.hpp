// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>

// A plain-text box that wraps and draws its text as if every no-break space (U+00A0) were an
// ordinary space (U+0020), so that which of the two a gap holds never shows on screen, while the
// document keeps every character exactly as it is.
//
// Qt's line breaking treats U+00A0 as glue, and the stock layout's per-paragraph routine is
// private. So the layout reimplements the virtual blockBoundingRect: a paragraph holding U+00A0 is
// laid out twice, first as its "twin" (the same text with U+0020 for each U+00A0) exactly as the
// stock layout lays out a paragraph, then as itself with the twin's line lengths. The box's own
// layout then has the twin's lines for cursor keys, hit tests and scrolling, and the box paints the
// twin, so that a U+00A0 at the end of a wrapped line counts in neither the line's width nor its
// selection highlight. Paragraphs without U+00A0 take the stock path.
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
  // block's own layout. Call blockBoundingRect first, which lays the block out.
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

// A QPlainTextEdit on a GapBlindLayout that paints every paragraph through shownLayout, with the
// stock editor's painting otherwise; mouse clicks, drops and moves by lines land where they land
// when every U+00A0 is U+0020.
class GapBlindTextEdit : public QPlainTextEdit {
  Q_OBJECT

public:
  explicit GapBlindTextEdit(QWidget* parent = nullptr);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // Returns the document's GapBlindLayout, or null should the box have been given a document
  // with another layout (it then behaves as the stock editor).
  [[nodiscard]] GapBlindLayout* gapBlindLayout() const;
  // Returns `point` (in viewport coordinates), moved where needed so that the block's own layout
  // maps it to the position its twin maps it to. They differ just right of a wrapped line's text
  // when a U+00A0 ends the line: it counts in the line's width in the block's layout only.
  [[nodiscard]] QPointF hitPoint(QPointF point) const;
  // Hands `event` to `handle`, moved to its hitPoint.
  template <typename Handle>
  void forwardMouse(QMouseEvent* event, Handle handle);
  template <typename Handle>
  void forwardDrop(QDropEvent* event, Handle handle);
  // After a move by lines, puts the cursor where the twin's line takes the cursor's x, should the
  // block's own layout have taken it past a U+00A0 ending that line, to the start of the next.
  void keepVerticalMoveOnItsLine();
};

} // namespace quillmere
