// SPDX-License-Identifier: MIT
#include "windows1252.hpp"

#include "block_masks.hpp"

#include <array>

namespace quillmere {
namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1. The unassigned
// bytes keep their C1 control character.
constexpr std::array<char16_t, 32> kHighControlRange = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

constexpr bool IsHighSurrogate(char16_t ch) {
  return ch >= 0xD800 && ch <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t ch) {
  return ch >= 0xDC00 && ch <= 0xDFFF;
}

// Returns the byte code of `ch`, or -1 when the code page has none.
constexpr int Lookup(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
    return ch;
  }
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] == ch) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

} // namespace

char16_t Windows1252Char(std::uint8_t code) noexcept {
  return code >= 0x80 && code <= 0x9F ? kHighControlRange[code - 0x80] : char16_t{code};
}

bool HasWindows1252Code(char16_t ch) noexcept {
  return Lookup(ch) >= 0;
}

std::uint8_t Windows1252Code(char16_t ch) noexcept {
  const int code = Lookup(ch);
  return code >= 0 ? static_cast<std::uint8_t>(code) : kReplacementCode;
}

std::size_t CharacterLength(std::u16string_view text) noexcept {
  if (text.empty()) {
    return 0;
  }
  return text.size() >= 2 && IsHighSurrogate(text[0]) && IsLowSurrogate(text[1]) ? 2 : 1;
}

std::u16string ToWindows1252Repertoire(std::u16string_view text) {
  std::u16string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = CharacterLength(text);
    if (length == 1 && HasWindows1252Code(text[0])) {
      result.push_back(text[0]);
    } else {
      result.push_back(u'?');
    }
    text.remove_prefix(length);
  }
  return result;
}

std::size_t CountUnencodable(std::u16string_view text) noexcept {
  std::size_t count = 0;
  while (!text.empty()) {
    // Nearly all of a German text is shared with Latin-1, and skipped in blocks.
    text.remove_prefix(block_masks::SkipLatin1Blocks(text.data(), text.size()));
    if (text.empty()) {
      break;
    }
    const std::size_t length = CharacterLength(text);
    if (length == 2 || !HasWindows1252Code(text[0])) {
      ++count;
    }
    text.remove_prefix(length);
  }
  return count;
}

} // namespace quillmere
