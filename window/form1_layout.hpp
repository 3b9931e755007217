// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <string_view>

// Form1's controls as data: kind, caption and place in twips (1/1440 inch), in tab order. The
// window converts the places to pixels once, at 15 twips a pixel (96 dots per inch); the toolkit
// scales pixels for high-density screens.
namespace quillmere {

enum class Control {
  Text1,
  Command1,
  Text2,
  Text3,
  Command2,
  Command3,
  Text4,
  Command4,
  Label1,
  Command5
};
enum class ControlKind { CoverTextBox, LineTextBox, Button, Label };

struct TwipRect {
  int left;
  int top;
  int width;
  int height;
};

struct ControlEntry {
  Control id;
  std::string_view name;
  ControlKind kind;
  std::u16string_view caption;
  TwipRect place;
  bool enabledAtStart;
};

inline constexpr int TwipsPerPixel = 15;
inline constexpr int ClientWidthTwips = 3744;
inline constexpr int ClientHeightTwips = 3156;

inline constexpr std::array<ControlEntry, 10> Form1Controls = {{
    {Control::Text1, "Text1", ControlKind::CoverTextBox, u"", {120, 60, 3612, 1752}, true},
    {Control::Command1,
     "Command1",
     ControlKind::Button,
     u"entschlüsseln",
     {120, 2520, 1632, 252},
     false},
    {Control::Text2, "Text2", ControlKind::LineTextBox, u"", {1800, 2220, 1632, 228}, true},
    {Control::Text3, "Text3", ControlKind::LineTextBox, u"", {780, 2820, 972, 228}, true},
    {Control::Command2,
     "Command2",
     ControlKind::Button,
     u"verschlüsseln",
     {120, 2220, 1632, 252},
     false},
    {Control::Command3,
     "Command3",
     ControlKind::Button,
     u"Originaltext",
     {120, 1920, 1632, 252},
     true},
    {Control::Text4, "Text4", ControlKind::LineTextBox, u"", {1800, 2520, 1632, 228}, true},
    {Control::Command4,
     "Command4",
     ControlKind::Button,
     u"verschlüsselter Text",
     {1800, 1920, 1632, 252},
     true},
    {Control::Label1, "Label1", ControlKind::Label, u"Code:", {120, 2820, 492, 192}, true},
    {Control::Command5, "Command5", ControlKind::Button, u"Info", {2700, 2820, 732, 252}, true},
}};

// Returns `twips` in pixels, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
  return (twips + TwipsPerPixel / 2) / TwipsPerPixel;
}

} // namespace quillmere
