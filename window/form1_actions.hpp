// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The behaviour of the program's one window, Form1, without any window toolkit: its fixed texts,
// the operations the actions need of a window, the six actions, and Form1State, an in-memory window
// on which the actions run exactly as on the real one.
namespace quillmere {

enum class TextBox { Text1, Text2, Text3, Text4 };
enum class Button { Command1, Command2, Command3, Command4, Command5 };

inline constexpr std::u16string_view ApplicationTitle = u"quillmere";
inline constexpr std::u16string_view InitialTitle = u"Verschlüsselungsdemo";
inline constexpr std::u16string_view AccessCode = u"TULPEN";

// The cover text with ordinary spaces only: one line, 334 characters, 58 gaps, ending in a space.
inline constexpr std::u16string_view PlainCoverText =
    u"Das war heute ein ganz besonderer Tag. Es ist alles ziemlich schief gelaufen. Doch am Ende "
    u"des "
    u"Tages war alles wieder gerichtet. So geht es eben manchmal. Mal so oder so. Dennoch sollte "
    u"man "
    u"aufpassen, dass diese Problematik nicht zur Regel wird. Aber man kann ja meistens selbst "
    u"etwas "
    u"dafür tun, dass nicht alles aus dem Ruder läuft. ";

inline constexpr std::u16string_view InfoText =
    u"Es handelt sich hier um eine Demo, wie man in einem normalen ASCII-Text Botschaften "
    u"verschlüsseln kann. Zunächst kann man dieses kaum glauben, denn wo soll hier die Information "
    u"stecken? Denken Sie darüber nach, was hier gemacht wurde!";

// The messages hidden in the two stored cover texts.
inline constexpr std::u16string_view StartupMessage = u"Geheim!";
inline constexpr std::u16string_view SampleMessage = u"Um acht";

// Returns the initial text of Text1: the words of PlainCoverText in eight lines, each ending in
// CR LF (350 characters, 58 gaps), with StartupMessage hidden in its gaps.
const std::u16string& StartupCoverText();

// Returns PlainCoverText without its final space (333 characters, 57 gaps) with SampleMessage
// hidden in its gaps.
const std::u16string& SampleCoverText();

// Titles longer than this are cut, since window systems refuse titles of many megabytes.
inline constexpr std::size_t MaxTitleLength = 1'000'000;

// Returns `bits` as the window shows it for a title: unchanged up to MaxTitleLength characters,
// otherwise its first MaxTitleLength characters followed by "…".
std::u16string TitleFor(std::u16string_view bits);

// What the actions need of a window. The Qt window and Form1State both implement it.
class Form1Operations {
public:
  virtual ~Form1Operations() = default;

  // Returns the current text of `box`; line breaks are CR LF.
  [[nodiscard]] virtual std::u16string ReadText(TextBox box) const = 0;
  // Replaces the text of `box`; the box keeps it up to its first U+0000.
  virtual void ReplaceText(TextBox box, std::u16string_view text) = 0;
  // Returns the gaps of `box`, its U+0020 and U+00A0, in text order (CarriersOf its text); on a
  // long text much cheaper than ReadText.
  [[nodiscard]] virtual std::u16string ReadGaps(TextBox box) const = 0;
  // Gives the first gaps.size() gaps of `box` the characters of `gaps`, each U+0020 or U+00A0,
  // and keeps every other character; gaps beyond the box's are dropped. Changes only the gaps that
  // differ, as one undo step, keeping the cursor, selection and scroll position; changes nothing
  // when none differ.
  virtual void ReplaceGaps(TextBox box, std::u16string_view gaps) = 0;
  virtual void SetTitle(std::u16string_view title) = 0;
  virtual void EnableButton(Button button) = 0;
  [[nodiscard]] virtual bool IsButtonEnabled(Button button) const = 0;
  // Shows a modal message box with one OK button and no icon; returns once it is closed.
  virtual void ShowMessageBox(std::u16string_view caption, std::u16string_view text) = 0;

protected:
  Form1Operations() = default;
  Form1Operations(const Form1Operations&) = default;
  Form1Operations& operator=(const Form1Operations&) = default;
};

// Enables Command2 and then Command1 when Text3 is exactly AccessCode; otherwise does nothing, so
// buttons once enabled stay enabled.
void CheckAccessCode(Form1Operations& window);
// Hides the bits of Text2 in Text1 and shows them as the title. Bits beyond the gaps are dropped.
// Only the gaps of Text1 are read and written, and only up to the last one that changes.
void Encode(Form1Operations& window);
// Reads the bits of every gap of Text1, shows them as the title and their message in Text4.
// Only the gaps of Text1 are read.
void Decode(Form1Operations& window);
// Puts PlainCoverText into Text1.
void LoadPlainText(Form1Operations& window);
// Puts SampleCoverText into Text1.
void LoadSampleText(Form1Operations& window);
// Shows InfoText in the modal message box captioned ApplicationTitle.
void ShowInfo(Form1Operations& window);

// Runs the action bound to a click on `button`; a disabled button's click runs nothing.
void HandleClick(Form1Operations& window, Button button);
// Runs the action bound to a change of the text of `box` (CheckAccessCode for Text3, none else).
void HandleTextChange(Form1Operations& window, TextBox box);

struct MessageBoxShown {
  std::u16string caption;
  std::u16string text;
  bool operator==(const MessageBoxShown&) const = default;
};

// The observable state of the window, held in memory; the message boxes it was asked to show are
// recorded instead of shown.
class Form1State final : public Form1Operations {
public:
  std::u16string title{InitialTitle};
  std::u16string text1{StartupCoverText()};
  std::u16string text2;
  std::u16string text3;
  std::u16string text4;
  bool command1Enabled = false;
  bool command2Enabled = false;
  std::vector<MessageBoxShown> messageBoxes;

  [[nodiscard]] std::u16string ReadText(TextBox box) const override;
  void ReplaceText(TextBox box, std::u16string_view text) override;
  [[nodiscard]] std::u16string ReadGaps(TextBox box) const override;
  void ReplaceGaps(TextBox box, std::u16string_view gaps) override;
  void SetTitle(std::u16string_view newTitle) override;
  void EnableButton(Button button) override;
  [[nodiscard]] bool IsButtonEnabled(Button button) const override;
  void ShowMessageBox(std::u16string_view caption, std::u16string_view text) override;

  // What the user does: replaces the text of `box` and raises its change event.
  void UserSetsText(TextBox box, std::u16string_view text);
  // What the user does: clicks `button`.
  void UserClicks(Button button);
};

} // namespace quillmere
