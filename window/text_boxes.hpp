// SPDX-License-Identifier: MIT
#pragma once

#include "window/gap_blind_text_edit.hpp"

#include <QLineEdit>

#include <string>
#include <string_view>

// Text boxes that keep exactly the characters put into them: U+00A0 stays distinct from U+0020
// through reading, copy, cut, drag and paste; line breaks read as CR LF; no length limit; a text
// put into a box ends at its first U+0000, and so does a text inserted by paste, drop or input
// method, while the rest of the box stays; a character without a Windows-1252 code becomes "?", as
// the codec codes it.
namespace quillmere {

// The multi-line cover text box. Tab moves the focus; Enter, also with Shift, starts a new line.
// Its lines wrap and show as if every U+00A0 were U+0020, so the bits of the gaps never show.
// It keeps a copy of its document's text, updated with every change whoever makes it, so that
// reading the text, its gaps or a selection never walks the document: a copy or a selection
// shares that text, and holds on to its old state only once the text changes.
class CoverTextBox final : public GapBlindTextEdit {
  Q_OBJECT

public:
  explicit CoverTextBox(QWidget* parent = nullptr);

  // Returns the text with every U+00A0 kept and every line break as CR LF.
  [[nodiscard]] QString text() const;
  // Replaces the text, changing only the stretch that differs, as one undo step. When the length
  // stays, as when a message is hidden, the cursor, selection and scroll position stay too;
  // otherwise the cursor goes to the start. CR LF, CR and LF each make one line break.
  void replaceText(const QString& text);
  // Returns the gaps, every U+0020 and U+00A0, in text order.
  [[nodiscard]] std::u16string gaps() const;
  // Gives the first gaps.size() gaps the characters of `gaps` (U+0020 or U+00A0); gaps beyond the
  // text's are dropped. Rewrites, in each line, only the stretch from its first to its last gap
  // that differs, all as one undo step; the cursor, selection and scroll position stay. Does
  // nothing when no gap differs.
  void replaceGaps(std::u16string_view gaps);

protected:
  QMimeData* createMimeDataFromSelection() const override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

private:
  // Inserts what the user typed, pasted or dropped at the cursor, up to its first U+0000 and with
  // "?" for characters without a Windows-1252 code, as one undo step.
  void insertUserText(const QString& text);
  // Brings text_ up to date after a change of the document that the box did not make itself.
  void followDocumentChange(int from, int charsRemoved, int charsAdded);

  // The document's text as QTextDocument::toRawText gives it: U+2029 between blocks.
  QString text_;
  // Set while the box changes its document itself and updates text_ on its own.
  bool ownEdit_ = false;
};

// A single-line text box without the stock 32767-character limit.
class LineTextBox final : public QLineEdit {
  Q_OBJECT

public:
  explicit LineTextBox(QWidget* parent = nullptr);
};

} // namespace quillmere
