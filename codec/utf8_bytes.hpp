// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 on its bytes: checking one character, and turning a message into the Windows-1252 codes
// that carry it and back, without going through UTF-16. Valid UTF-8 has no overlong forms, no
// surrogates and nothing above U+10FFFF; an invalid character is reported at its first byte.
namespace quillmere {

// An offset that names no byte.
inline constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};

// What Utf8SequenceLength returns for a character that `available` bytes cut short while every
// byte so far is right: the next bytes decide.
inline constexpr int kUtf8Truncated = -1;

// Returns the length (1 to 4) of the valid UTF-8 character that starts at `bytes`, 0 when the
// character there is invalid, or kUtf8Truncated when it is a valid start that needs more than
// `available` (at least 1) bytes. A start that can no longer become valid gives 0 at once.
inline int Utf8SequenceLength(const unsigned char* bytes, std::size_t available) noexcept {
  const unsigned lead = bytes[0];
  if (lead < 0x80) {
    return 1;
  }
  int length = 0;
  unsigned low = 0x80;  // the range of the second byte, narrowed where the lead byte alone would
  unsigned high = 0xBF; // allow overlong forms, surrogates or code points above U+10FFFF
  if (lead < 0xC2) {
    return 0;
  }
  if (lead < 0xE0) {
    length = 2;
  } else if (lead < 0xF0) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : low;
    high = lead == 0xED ? 0x9F : high;
  } else if (lead < 0xF5) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : low;
    high = lead == 0xF4 ? 0x8F : high;
  } else {
    return 0;
  }
  if (available < 2) {
    return kUtf8Truncated;
  }
  if (bytes[1] < low || bytes[1] > high) {
    return 0;
  }
  for (int i = 2; i < length; ++i) {
    if (available <= static_cast<std::size_t>(i)) {
      return kUtf8Truncated;
    }
    if ((bytes[i] & 0xC0U) != 0x80U) {
      return 0;
    }
  }
  return length;
}

// A message as the Windows-1252 codes of its characters, one byte per character.
struct MessageCodes {
  std::string codes;
  std::size_t replaced = 0;                // characters without a Windows-1252 code, coded as "?"
  std::uint64_t invalidOffset = kNoOffset; // the first byte that is not valid UTF-8
};

// Returns the codes of the characters of the UTF-8 text `utf8`, as MessageToBits codes them: a
// character without a Windows-1252 code, every one above U+FFFF among them, becomes "?". For text
// that is not valid UTF-8 the codes are empty and `invalidOffset` names the first bad byte.
MessageCodes MessageCodesFromUtf8(std::string_view utf8);

// Appends to `utf8` the UTF-8 bytes of the characters whose Windows-1252 codes are `codes`.
void AppendCodesAsUtf8(std::string_view codes, std::string& utf8);

} // namespace quillmere
