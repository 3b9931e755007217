// SPDX-License-Identifier: MIT
#include "text_boxes.hpp"

#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QValidator>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace quillmere {
namespace {

std::u16string_view View(const QString& text) {
  return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

// Returns `text` with every character that has no Windows-1252 code replaced by "?".
QString InRepertoire(const QString& text) {
  if (CountUnencodable(View(text)) == 0) {
    return text;
  }
  return QString::fromStdU16String(ToWindows1252Repertoire(View(text)));
}

// Returns `text` with each line break (CR LF, CR or LF) as the document's paragraph separator, so
// that positions in it are positions in the document. One pass, in place when `text` is not
// shared; a text without line breaks is returned as it is.
QString ToDocumentText(QString text) {
  const qsizetype size = text.size();
  // Returns the position of the next `ch` from `from` on, or the size when there is none.
  const auto next = [&text, size](char16_t ch, qsizetype from) {
    const qsizetype at = QStringView(text).sliced(from).indexOf(QChar(ch));
    return at < 0 ? size : from + at;
  };
  qsizetype cr = next(u'\r', 0);
  qsizetype lf = next(u'\n', 0);
  if (cr == size && lf == size) {
    return text;
  }
  QChar* const begin = text.data();
  qsizetype i = std::min(cr, lf);
  QChar* out = begin + i;
  while (i < size) {
    *out++ = QChar::ParagraphSeparator;
    if (i == cr) {
      if (lf < size && lf == i + 1) {
        lf = next(u'\n', ++i + 1);
      }
      cr = next(u'\r', ++i);
    } else {
      lf = next(u'\n', ++i);
    }
    // The line up to the next break moves as a whole.
    const qsizetype end = std::min(cr, lf);
    std::copy(begin + i, begin + end, out);
    out += end - i;
    i = end;
  }
  text.truncate(out - begin);
  return text;
}

// Returns `text` with each paragraph separator as CR LF.
QString FromDocumentText(const QString& text) {
  const auto separators = text.count(QChar::ParagraphSeparator);
  if (separators == 0) {
    return text;
  }
  QString result(text.size() + separators, Qt::Uninitialized);
  QChar* out = result.data();
  for (const QChar ch : text) {
    if (ch == QChar::ParagraphSeparator) {
      *out++ = u'\r';
      *out++ = u'\n';
    } else {
      *out++ = ch;
    }
  }
  return result;
}

// A selection's text for the clipboard, made only when a program asks for it. It holds the box's
// text as it stood when the selection was made: the box's copy is shared, not copied, until the
// box changes, and only then does this one become a copy of its own.
class SelectionMimeData final : public QMimeData {
public:
  SelectionMimeData(QString text, qsizetype from, qsizetype to)
      : text_(std::move(text)), from_(from), to_(to) {}

  bool hasFormat(const QString& mimeType) const override { return mimeType == kPlainText; }
  QStringList formats() const override { return {kPlainText}; }

protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
    if (mimeType != kPlainText) {
      return QMimeData::retrieveData(mimeType, type);
    }
    return FromDocumentText(from_ == 0 && to_ == text_.size() ? text_
                                                              : text_.mid(from_, to_ - from_));
  }

private:
  static inline const QString kPlainText = QStringLiteral("text/plain");
  QString text_;
  qsizetype from_;
  qsizetype to_;
};

// Marks the box's own changes of its document for as long as it lives.
class OwnEdit {
public:
  explicit OwnEdit(bool& flag) : flag_(flag) { flag_ = true; }
  ~OwnEdit() { flag_ = false; }
  OwnEdit(const OwnEdit&) = delete;
  OwnEdit& operator=(const OwnEdit&) = delete;

private:
  bool& flag_;
};

bool IsGap(QChar ch) {
  return ch == QChar(kSpace) || ch == QChar(kNoBreakSpace);
}

// Returns `text` up to its first U+0000, as an inserted text (paste, drop, input method) counts.
QString UpToNul(const QString& text) {
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  return nul < 0 ? text : text.left(nul);
}

// Keeps a single-line box's text as a text box keeps it, whether typed, pasted or set. Every change
// leaves the cursor at the end of what it inserted (a set text is inserted whole), so an inserted
// text with a U+0000 ends there while the text after the cursor stays.
class TextBoxValidator final : public QValidator {
public:
  using QValidator::QValidator;

  State validate(QString& input, int& position) const override {
    if (!input.contains(QChar(u'\0')) && CountUnencodable(View(input)) == 0) {
      return Acceptable;
    }
    const QString inserted = InRepertoire(UpToNul(input.left(position)));
    const QString rest = InRepertoire(UpToNul(input.mid(position)));
    QString kept = inserted + rest;
    if (kept != input) {
      input = std::move(kept);
      position = static_cast<int>(inserted.size());
    }
    return Acceptable;
  }
};

// Returns `text` as a text box keeps it: characters without a Windows-1252 code replaced by "?",
// and cut at its first U+0000.
QString TextBoxText(const QString& text) {
  return InRepertoire(UpToNul(text));
}

} // namespace

CoverTextBox::CoverTextBox(QWidget* parent) : GapBlindTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  text_ = document()->toRawText();
  connect(document(), &QTextDocument::contentsChange, this, &CoverTextBox::followDocumentChange);
}

QString CoverTextBox::text() const {
  return FromDocumentText(text_);
}

std::u16string CoverTextBox::gaps() const {
  return CarriersOf(View(text_));
}

void CoverTextBox::followDocumentChange(int from, int charsRemoved, int charsAdded) {
  if (ownEdit_) {
    return;
  }
  const qsizetype size = document()->characterCount() - 1;
  // The document reports a change that touches its final paragraph separator one character too
  // long, so the stretch is taken from what was there and what is there now.
  const qsizetype start = std::clamp<qsizetype>(from, 0, text_.size());
  const qsizetype removed = std::clamp<qsizetype>(charsRemoved, 0, text_.size() - start);
  const qsizetype added = size - (text_.size() - removed);
  if (added < 0 || start + added > size || added > charsAdded + 1 || added > size / 2) {
    // Reading the whole document at once is faster than reading a large part of it.
    text_ = document()->toRawText();
    return;
  }
  QTextCursor stretch(document());
  stretch.setPosition(static_cast<int>(start));
  stretch.setPosition(static_cast<int>(start + added), QTextCursor::KeepAnchor);
  text_.replace(start, removed, stretch.selectedText());
}

void CoverTextBox::replaceText(const QString& text) {
  const QString wanted = ToDocumentText(TextBoxText(text));
  const std::u16string_view now = View(text_);
  const std::u16string_view next = View(wanted);
  const std::size_t shorter = std::min(now.size(), next.size());
  const auto prefix = static_cast<std::size_t>(
      std::mismatch(now.begin(), now.begin() + static_cast<std::ptrdiff_t>(shorter), next.begin())
          .first -
      now.begin());
  if (prefix == now.size() && prefix == next.size()) {
    return;
  }
  const auto suffix = static_cast<std::size_t>(
      std::mismatch(now.rbegin(), now.rbegin() + static_cast<std::ptrdiff_t>(shorter - prefix),
                    next.rbegin())
          .first -
      now.rbegin());
  const bool sameLength = now.size() == next.size();

  // Plain numbers: a QTextCursor would follow the edit and collapse inside the replaced stretch.
  const int anchor = textCursor().anchor();
  const int position = textCursor().position();
  const int horizontal = horizontalScrollBar()->value();
  const int vertical = verticalScrollBar()->value();

  const QString middle = wanted.mid(static_cast<qsizetype>(prefix),
                                    static_cast<qsizetype>(next.size() - prefix - suffix));
  {
    const OwnEdit own(ownEdit_);
    QTextCursor edit(document());
    edit.setPosition(static_cast<int>(prefix));
    edit.setPosition(static_cast<int>(now.size() - suffix), QTextCursor::KeepAnchor);
    edit.insertText(middle);
  }
  text_ = wanted;

  QTextCursor after(document());
  if (sameLength) {
    after.setPosition(anchor);
    after.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(after);
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
  } else {
    setTextCursor(after);
  }
}

void CoverTextBox::replaceGaps(std::u16string_view gaps) {
  // The gaps that change, with their positions, in text order.
  std::vector<std::pair<qsizetype, QChar>> changes;
  const QChar* const chars = text_.constData();
  std::size_t next = 0;
  for (qsizetype i = 0; i < text_.size() && next < gaps.size(); ++i) {
    if (IsGap(chars[i])) {
      if (chars[i] != QChar(gaps[next])) {
        changes.emplace_back(i, QChar(gaps[next]));
      }
      ++next;
    }
  }
  if (changes.empty()) {
    return;
  }

  const QTextCursor before = textCursor();
  const int horizontal = horizontalScrollBar()->value();
  const int vertical = verticalScrollBar()->value();
  {
    // One stretch per line, from its first to its last changing gap: a line break inside a
    // stretch would make the document take its blocks apart and build them anew.
    const OwnEdit own(ownEdit_);
    QTextCursor edit(document());
    edit.beginEditBlock();
    for (std::size_t first = 0; first < changes.size();) {
      std::size_t last = first;
      while (last + 1 < changes.size() &&
             std::find(chars + changes[last].first, chars + changes[last + 1].first,
                       QChar::ParagraphSeparator) == chars + changes[last + 1].first) {
        ++last;
      }
      const qsizetype start = changes[first].first;
      const qsizetype end = changes[last].first + 1;
      QString stretch = text_.mid(start, end - start);
      for (std::size_t i = first; i <= last; ++i) {
        stretch[changes[i].first - start] = changes[i].second;
      }
      edit.setPosition(static_cast<int>(start));
      edit.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
      edit.insertText(stretch);
      first = last + 1;
    }
    edit.endEditBlock();
  }
  // A selection made before keeps the text as it was: writing here gives this copy its own
  // buffer, and leaves that one to the selection.
  QChar* const text = text_.data();
  for (const auto& [position, ch] : changes) {
    text[position] = ch;
  }

  QTextCursor after(document());
  after.setPosition(before.anchor());
  after.setPosition(before.position(), QTextCursor::KeepAnchor);
  setTextCursor(after);
  horizontalScrollBar()->setValue(horizontal);
  verticalScrollBar()->setValue(vertical);
}

QMimeData* CoverTextBox::createMimeDataFromSelection() const {
  const QTextCursor cursor = textCursor();
  return new SelectionMimeData(text_, cursor.selectionStart(), cursor.selectionEnd());
}

bool CoverTextBox::canInsertFromMimeData(const QMimeData* source) const {
  return source->hasText();
}

void CoverTextBox::insertFromMimeData(const QMimeData* source) {
  if (source->hasText()) {
    insertUserText(source->text());
  }
}

void CoverTextBox::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const bool plainOrShift = (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
  if (!isReadOnly() && enter && plainOrShift) {
    // A new line is a paragraph break, never the stock U+2028 line separator of Shift+Enter.
    insertUserText(QStringLiteral("\n"));
    event->accept();
    return;
  }
  if (!isReadOnly() && CountUnencodable(View(event->text())) > 0) {
    insertUserText(event->text());
    event->accept();
    return;
  }
  GapBlindTextEdit::keyPressEvent(event);
}

void CoverTextBox::inputMethodEvent(QInputMethodEvent* event) {
  const QString commit = InRepertoire(UpToNul(event->commitString()));
  if (commit == event->commitString()) {
    QPlainTextEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent kept(event->preeditString(), event->attributes());
  kept.setCommitString(commit, event->replacementStart(), event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&kept);
}

void CoverTextBox::insertUserText(const QString& text) {
  // An inserted text ends at its own U+0000; the text after the cursor stays. Converted in one
  // pass, it goes into the document as it is: the document's cursor makes a block at each paragraph
  // separator, and the box's copy takes the same characters.
  const QString inserted = ToDocumentText(InRepertoire(UpToNul(text)));
  QTextCursor cursor = textCursor();
  const qsizetype start = cursor.selectionStart();
  const qsizetype removed = cursor.selectionEnd() - start;
  {
    const OwnEdit own(ownEdit_);
    cursor.beginEditBlock();
    if (removed == text_.size() && document()->blockCount() > 1) {
      // When the whole text goes, it goes first, on its own, though in the same undo step: a
      // document of one block makes the layout forget its widest line, which it would otherwise
      // look for among the new blocks by giving every one of them a text layout of its own.
      cursor.removeSelectedText();
      cursor.endEditBlock();
      cursor.joinPreviousEditBlock();
    }
    cursor.insertText(inserted);
    cursor.endEditBlock();
  }
  if (removed == text_.size()) {
    text_ = inserted;
  } else {
    text_.replace(start, removed, inserted);
  }
  setTextCursor(cursor);
  ensureCursorVisible();
}

LineTextBox::LineTextBox(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(std::numeric_limits<int>::max());
  setValidator(new TextBoxValidator(this));
}

} // namespace quillmere
