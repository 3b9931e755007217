// SPDX-License-Identifier: MIT
#include "text_boxes.hpp"

#include "codec/windows1252.hpp"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QValidator>

#include <algorithm>
#include <limits>
#include <utility>

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
// that positions in it are positions in the document.
QString ToDocumentText(QString text) {
  text.replace(QLatin1String("\r\n"), QString(QChar::ParagraphSeparator));
  text.replace(QLatin1Char('\r'), QChar::ParagraphSeparator);
  text.replace(QLatin1Char('\n'), QChar::ParagraphSeparator);
  return text;
}

QString FromDocumentText(QString text) {
  return text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
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

} // namespace

QString TextBoxText(const QString& text) {
  return InRepertoire(UpToNul(text));
}

CoverTextBox::CoverTextBox(QWidget* parent) : GapBlindTextEdit(parent) {
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QString CoverTextBox::text() const {
  return FromDocumentText(document()->toRawText());
}

void CoverTextBox::replaceText(const QString& text) {
  const QString wanted = ToDocumentText(TextBoxText(text));
  const QString current = document()->toRawText();
  const std::u16string_view now = View(current);
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

  // Plain numbers: a QTextCursor would follow the edit and collapse inside the replaced stretch.
  const int anchor = textCursor().anchor();
  const int position = textCursor().position();
  const int horizontal = horizontalScrollBar()->value();
  const int vertical = verticalScrollBar()->value();

  QTextCursor edit(document());
  edit.setPosition(static_cast<int>(prefix));
  edit.setPosition(static_cast<int>(now.size() - suffix), QTextCursor::KeepAnchor);
  edit.insertText(wanted.mid(static_cast<qsizetype>(prefix),
                             static_cast<qsizetype>(next.size() - prefix - suffix)));

  QTextCursor after(document());
  if (now.size() == next.size()) {
    after.setPosition(anchor);
    after.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(after);
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
  } else {
    setTextCursor(after);
  }
}

QMimeData* CoverTextBox::createMimeDataFromSelection() const {
  auto* mime = new QMimeData;
  mime->setText(FromDocumentText(textCursor().selectedText()));
  return mime;
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
  QTextCursor cursor = textCursor();
  cursor.insertText(ToDocumentText(InRepertoire(UpToNul(text))));
  setTextCursor(cursor);
  ensureCursorVisible();
}

LineTextBox::LineTextBox(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(std::numeric_limits<int>::max());
  setValidator(new TextBoxValidator(this));
}

} // namespace quillmere
