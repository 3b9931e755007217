// SPDX-License-Identifier: MIT
// The flow of the program:
//
//   Form1 (Qt widgets) --click, Text3 change--> form1_actions --texts--> codec
//         <------- read/replace text, title, enable, message box -------'
//
// This file holds no behaviour of its own: it lays out the controls, forwards events and
// implements the window operations the actions call.
#include "form1_window.hpp"

#include "window/german_qt_texts.hpp"
#include "window/text_boxes.hpp"
#include "window/window_title.hpp"

#include "codec/gap_carriers.hpp"

#include <quillmere/version.hpp>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace quillmere {
namespace {

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

QRect ToPixels(const TwipRect& place) {
  const int left = TwipsToPixels(place.left);
  const int top = TwipsToPixels(place.top);
  return {left, top, TwipsToPixels(place.left + place.width) - left,
          TwipsToPixels(place.top + place.height) - top};
}

QWidget* MakeControl(const ControlEntry& entry, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (entry.kind) {
  case ControlKind::CoverTextBox:
    widget = new CoverTextBox(parent);
    break;
  case ControlKind::LineTextBox:
    widget = new LineTextBox(parent);
    break;
  case ControlKind::Button:
    widget = new QPushButton(ToQString(entry.caption), parent);
    break;
  case ControlKind::Label:
    widget = new QLabel(ToQString(entry.caption), parent);
    break;
  }
  widget->setObjectName(
      QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size())));
  widget->setGeometry(ToPixels(entry.place));
  widget->setEnabled(entry.enabledAtStart);
  return widget;
}

Control ControlOf(TextBox box) {
  switch (box) {
  case TextBox::Text1:
    return Control::Text1;
  case TextBox::Text2:
    return Control::Text2;
  case TextBox::Text3:
    return Control::Text3;
  case TextBox::Text4:
    break;
  }
  return Control::Text4;
}

Control ControlOf(Button button) {
  switch (button) {
  case Button::Command1:
    return Control::Command1;
  case Button::Command2:
    return Control::Command2;
  case Button::Command3:
    return Control::Command3;
  case Button::Command4:
    return Control::Command4;
  case Button::Command5:
    break;
  }
  return Control::Command5;
}

// Names a screen reader announces for the controls without a caption of their own.
struct AccessibleName {
  Control id;
  const char16_t* name;
};
constexpr AccessibleName kAccessibleNames[] = {
    {Control::Text1, u"Text mit versteckter Botschaft"},
    {Control::Text2, u"Botschaft"},
    {Control::Text3, u"Code"},
    {Control::Text4, u"Entschlüsselte Botschaft"},
};

// The 32 x 32 XPM as drawn, and the other sizes rendered from the SVG for 2x screens and task
// switchers; builds without the renderer have the XPM alone.
QIcon ProgramIcon() {
  QIcon icon(QStringLiteral(":/quillmere.xpm"));
  for (const QFileInfo& size : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files)) {
    icon.addFile(size.filePath());
  }
  return icon;
}

} // namespace

void ConfigureApplication() {
  // Qt's own texts (context menus, the message box's button) in German, like every caption.
  InstallGermanQtTexts();
  // The program brings its face along, so the window looks and fits the same on every system:
  // DejaVu Sans Condensed at 10 pixels shows each line of the start-up text on one row of Text1 and
  // every caption inside its control. The layout is in pixels, so the font is sized in pixels too.
  QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/DejaVuSansCondensed.ttf"));
  QFont font(QStringLiteral("DejaVu Sans Condensed"));
  font.setPixelSize(10);
  // Hinted in height only, so that the glyphs keep their designed widths: fontconfig's default
  // (hintslight) on Linux, and what Qt's FreeType engine on Windows (Qt 6.4) does only when asked,
  // as it otherwise hints fully there and widens the lines past Text1's width.
  font.setHintingPreference(QFont::PreferVerticalHinting);
  QApplication::setFont(font);
  QApplication::setWindowIcon(ProgramIcon());
  // Wayland compositors find the desktop entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
  // No application display name: Qt would append it to every window title.
  QApplication::setApplicationName(ToQString(ApplicationTitle));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
}

Form1::Form1(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(TwipsToPixels(ClientWidthTwips), TwipsToPixels(ClientHeightTwips));
  for (const ControlEntry& entry : Form1Controls) {
    controls_[static_cast<std::size_t>(entry.id)] = MakeControl(entry, this);
  }
  for (std::size_t i = 1; i < Form1Controls.size(); ++i) {
    setTabOrder(controls_[i - 1], controls_[i]);
  }
  for (const AccessibleName& entry : kAccessibleNames) {
    control(entry.id)->setAccessibleName(ToQString(entry.name));
  }
  static_cast<QLabel*>(control(Control::Label1))->setBuddy(control(Control::Text3));
  text1_ = static_cast<CoverTextBox*>(control(Control::Text1));

  const Form1State initial;
  KeepTitleExact(*this);
  SetTitle(initial.title);
  for (const TextBox box : {TextBox::Text1, TextBox::Text2, TextBox::Text3, TextBox::Text4}) {
    ReplaceText(box, initial.ReadText(box));
  }
  text1_->document()->clearUndoRedoStacks();
  text1_->setFocus();

  for (const Button each :
       {Button::Command1, Button::Command2, Button::Command3, Button::Command4, Button::Command5}) {
    connect(button(each), &QPushButton::clicked, this, [this, each] { HandleClick(*this, each); });
  }
  connect(lineBox(TextBox::Text3), &QLineEdit::textChanged, this,
          [this] { HandleTextChange(*this, TextBox::Text3); });
}

QWidget* Form1::control(Control id) const {
  return controls_[static_cast<std::size_t>(id)];
}

LineTextBox* Form1::lineBox(TextBox box) const {
  return static_cast<LineTextBox*>(control(ControlOf(box)));
}

QPushButton* Form1::button(Button which) const {
  return static_cast<QPushButton*>(control(ControlOf(which)));
}

std::u16string Form1::ReadText(TextBox box) const {
  const QString text = box == TextBox::Text1 ? text1_->text() : lineBox(box)->text();
  return text.toStdU16String();
}

void Form1::ReplaceText(TextBox box, std::u16string_view text) {
  if (box == TextBox::Text1) {
    text1_->replaceText(ToQString(text));
  } else {
    lineBox(box)->setText(ToQString(text));
  }
}

std::u16string Form1::ReadGaps(TextBox box) const {
  return box == TextBox::Text1 ? text1_->gaps() : CarriersOf(ReadText(box));
}

void Form1::ReplaceGaps(TextBox box, std::u16string_view gaps) {
  if (box == TextBox::Text1) {
    text1_->replaceGaps(gaps);
    return;
  }
  std::u16string text = ReadText(box);
  ReplaceCarriersInPlace(text, gaps);
  ReplaceText(box, text);
}

void Form1::SetTitle(std::u16string_view title) {
  setWindowTitle(ToQString(title));
}

void Form1::EnableButton(Button which) {
  button(which)->setEnabled(true);
}

bool Form1::IsButtonEnabled(Button which) const {
  return button(which)->isEnabled();
}

void Form1::ShowMessageBox(std::u16string_view caption, std::u16string_view text) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

} // namespace quillmere
