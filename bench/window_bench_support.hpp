// SPDX-License-Identifier: MIT
#pragma once

#include "window/form1_actions.hpp"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

// Returns the window's cover text with ordinary spaces, one copy after the other, each followed by
// `lineEnd`, until the text holds at least `characters` characters: German prose in paragraphs.
inline std::u16string GermanProse(std::size_t characters, std::u16string_view lineEnd) {
  std::u16string text;
  while (text.size() < characters) {
    text += quillmere::PlainCoverText;
    text += lineEnd;
  }
  return text;
}

// Returns the middle one of `values` (the upper middle one of an even count).
inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
