// SPDX-License-Identifier: MIT
#pragma once

#include "window/form1_actions.hpp"
#include "window/form1_layout.hpp"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

namespace quillmere {

class CoverTextBox;
class LineTextBox;

// Sets what the whole program shares: the font every control uses, the window and program icon in
// every size built, the program's name and version, its desktop entry's name, and Qt's own texts in
// German (GermanQtTexts). Call it once the QApplication exists, before any widget is made.
void ConfigureApplication();

// The program's one window. It builds its controls from Form1Controls, starts from the initial
// Form1State, sends each click and each change of Text3 to its action in form1_actions, and gives
// those actions the window operations they need.
class Form1 final : public QWidget, public Form1Operations {
  Q_OBJECT

public:
  explicit Form1(QWidget* parent = nullptr);

  [[nodiscard]] std::u16string ReadText(TextBox box) const override;
  void ReplaceText(TextBox box, std::u16string_view text) override;
  [[nodiscard]] std::u16string ReadGaps(TextBox box) const override;
  void ReplaceGaps(TextBox box, std::u16string_view gaps) override;
  void SetTitle(std::u16string_view title) override;
  void EnableButton(Button button) override;
  [[nodiscard]] bool IsButtonEnabled(Button button) const override;
  void ShowMessageBox(std::u16string_view caption, std::u16string_view text) override;

  // Returns the control `id`.
  [[nodiscard]] QWidget* control(Control id) const;

private:
  [[nodiscard]] LineTextBox* lineBox(TextBox box) const;
  [[nodiscard]] QPushButton* button(Button button) const;

  std::array<QWidget*, Form1Controls.size()> controls_{};
  CoverTextBox* text1_ = nullptr;
};

} // namespace quillmere
