// SPDX-License-Identifier: MIT
#pragma once

#include <QPlainTextEdit>

#include <optional>

// The editor of a plain-text box whose lines wrap and show as if every U+00A0 were U+0020: it
// paints, hit-tests and moves the cursor by lines through the twins of its GapBlindLayout
// (gap_blind_layout.hpp), while the document keeps every character exactly as it is.
namespace quillmere {

class GapBlindLayout;

// A QPlainTextEdit on a GapBlindLayout that paints every paragraph through shownLayout, with the
// stock editor's painting otherwise. Mouse clicks, drops and the cursor keys that move by lines
// (Up, Down, Page Up, Page Down, Home, End, with or without Shift) land where they land when every
// U+00A0 is U+0020; everything else is the stock editor's.
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
  // Returns `point` (in viewport coordinates), moved where needed so that the blocks' own layouts
  // map it to the position the shown layouts map it to, as the stock editor hit-tests.
  [[nodiscard]] QPointF hitPoint(QPointF point) const;
  // Hands `event` to `handle`, moved to its hitPoint.
  template <typename Handle>
  void forwardMouse(QMouseEvent* event, Handle handle);
  template <typename Handle>
  void forwardDrop(QDropEvent* event, Handle handle);

  // Returns where, in viewport coordinates, the cursor at `position` is drawn.
  [[nodiscard]] QRect shownCursorRect(int position) const;
  // Repaints where the cursor was drawn and where it is drawn now. The stock editor repaints it
  // where the blocks' own layouts have it, which differs where a line ends in U+00A0 and the next
  // begins with a tab, or where Qt lays out a tab wider than it draws it.
  void repaintShownCursor();

  // Returns the x a move by lines from `cursor` keeps to: the one the last such move kept, if the
  // cursor is still where that move put it, otherwise the cursor's x in the shown layout.
  [[nodiscard]] qreal verticalX(const QTextCursor& cursor) const;
  // Returns where a move one line down (or up) from `position` at `x` lands in the shown layouts,
  // or nothing when there is no line to go to.
  [[nodiscard]] std::optional<int> lineBelowOrAbove(int position, qreal x, bool down) const;
  // Returns the start (or end) of the shown line holding `position`, as Home (or End) finds it.
  [[nodiscard]] int lineEdge(int position, bool end) const;
  // Returns the top of the shown line holding `position`, in the editor's content coordinates.
  [[nodiscard]] qreal lineTop(int position) const;
  // Scrolls by a page down (or up) and moves the cursor by lines to the row it had, as the stock
  // editor does for Page Down and Page Up, by lines of the shown layouts.
  void movePage(bool down, bool keepAnchor);
  // Puts the cursor at `position`, keeping the anchor if `keepAnchor`, unless the stock editor has
  // put it there; a move by lines also keeps `x` for the next one.
  void placeCursor(int position, bool keepAnchor, std::optional<qreal> x);

  // The x the last move by lines kept, and where it left the cursor. (QTextCursor keeps its x to
  // a fraction of a pixel but shows and takes it in whole pixels only.)
  qreal keptX_ = -1;
  int keptXPosition_ = -1;
  // The row, in viewport coordinates, that moves by pages keep the cursor on until it moves
  // otherwise.
  qreal pageRow_ = 0;
  bool pageRowKept_ = false;
  QRect shownCursorRect_;
  // The context of the connections to the editor's own signals: it goes before the stock editor,
  // which may still send them while it is destroyed.
  QObject signalContext_;
};

} // namespace quillmere
