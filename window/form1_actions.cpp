// SPDX-License-Identifier: MIT
#include "form1_actions.hpp"

#include "codec/bit_string.hpp"
#include "codec/gap_carriers.hpp"

#include <algorithm>

namespace quillmere {
namespace {

// The lines of StartupCoverText with every gap an ordinary space.
constexpr std::u16string_view kStartupPlainText =
    u"Das war heute ein ganz besonderer Tag. Es ist \r\n"
    u"alles ziemlich schief gelaufen. Doch am Ende des \r\n"
    u"Tages war alles wieder gerichtet. So geht es \r\n"
    u"eben manchmal. Mal so oder so. Dennoch sollte \r\n"
    u"man aufpassen, dass diese Problematik nicht zur \r\n"
    u"Regel wird. Aber man kann ja meistens selbst \r\n"
    u"etwas dafür tun, dass nicht alles aus dem Ruder \r\n"
    u"läuft. \r\n";

template <typename State>
auto& BoxOf(State& state, TextBox box) {
  switch (box) {
  case TextBox::Text1:
    return state.text1;
  case TextBox::Text2:
    return state.text2;
  case TextBox::Text3:
    return state.text3;
  case TextBox::Text4:
    break;
  }
  return state.text4;
}

} // namespace

const std::u16string& StartupCoverText() {
  static const std::u16string text = EmbedBits(kStartupPlainText, MessageToBits(StartupMessage));
  return text;
}

const std::u16string& SampleCoverText() {
  static const std::u16string text =
      EmbedBits(PlainCoverText.substr(0, PlainCoverText.size() - 1), MessageToBits(SampleMessage));
  return text;
}

std::u16string TitleFor(std::u16string_view bits) {
  if (bits.size() <= MaxTitleLength) {
    return std::u16string(bits);
  }
  std::u16string title(bits.substr(0, MaxTitleLength));
  title += u'\u2026';
  return title;
}

void CheckAccessCode(Form1Operations& window) {
  if (window.ReadText(TextBox::Text3) == AccessCode) {
    window.EnableButton(Button::Command2);
    window.EnableButton(Button::Command1);
  }
}

void Encode(Form1Operations& window) {
  const BitString bits = MessageToBits(window.ReadText(TextBox::Text2));
  window.SetTitle(TitleFor(bits));
  // The carriers alone stand for the cover (CarriersOf), so the bits go into them, and only those
  // up to the last that changes go back: on a long cover the rest is never touched.
  const std::u16string before = window.ReadGaps(TextBox::Text1);
  std::u16string after = before;
  EmbedBitsInPlace(after, bits);
  const auto unchangedTail = static_cast<std::size_t>(
      std::mismatch(after.rbegin(), after.rend(), before.rbegin()).first - after.rbegin());
  after.resize(after.size() - unchangedTail);
  window.ReplaceGaps(TextBox::Text1, after);
}

void Decode(Form1Operations& window) {
  const BitString bits = ExtractBits(window.ReadGaps(TextBox::Text1));
  window.SetTitle(TitleFor(bits));
  window.ReplaceText(TextBox::Text4, BitsToMessage(bits));
}

void LoadPlainText(Form1Operations& window) {
  window.ReplaceText(TextBox::Text1, PlainCoverText);
}

void LoadSampleText(Form1Operations& window) {
  window.ReplaceText(TextBox::Text1, SampleCoverText());
}

void ShowInfo(Form1Operations& window) {
  window.ShowMessageBox(ApplicationTitle, InfoText);
}

void HandleClick(Form1Operations& window, Button button) {
  if (!window.IsButtonEnabled(button)) {
    return;
  }
  switch (button) {
  case Button::Command1:
    Decode(window);
    break;
  case Button::Command2:
    Encode(window);
    break;
  case Button::Command3:
    LoadPlainText(window);
    break;
  case Button::Command4:
    LoadSampleText(window);
    break;
  case Button::Command5:
    ShowInfo(window);
    break;
  }
}

void HandleTextChange(Form1Operations& window, TextBox box) {
  if (box == TextBox::Text3) {
    CheckAccessCode(window);
  }
}

std::u16string Form1State::ReadText(TextBox box) const {
  return BoxOf(*this, box);
}

void Form1State::ReplaceText(TextBox box, std::u16string_view text) {
  BoxOf(*this, box) = CutAtNul(text);
}

std::u16string Form1State::ReadGaps(TextBox box) const {
  return CarriersOf(BoxOf(*this, box));
}

void Form1State::ReplaceGaps(TextBox box, std::u16string_view gaps) {
  ReplaceCarriersInPlace(BoxOf(*this, box), gaps);
}

void Form1State::SetTitle(std::u16string_view newTitle) {
  title = newTitle;
}

void Form1State::EnableButton(Button button) {
  if (button == Button::Command1) {
    command1Enabled = true;
  } else if (button == Button::Command2) {
    command2Enabled = true;
  }
}

bool Form1State::IsButtonEnabled(Button button) const {
  switch (button) {
  case Button::Command1:
    return command1Enabled;
  case Button::Command2:
    return command2Enabled;
  default:
    return true;
  }
}

void Form1State::ShowMessageBox(std::u16string_view caption, std::u16string_view text) {
  messageBoxes.push_back({std::u16string(caption), std::u16string(text)});
}

void Form1State::UserSetsText(TextBox box, std::u16string_view text) {
  ReplaceText(box, text);
  HandleTextChange(*this, box);
}

void Form1State::UserClicks(Button button) {
  HandleClick(*this, button);
}

} // namespace quillmere
