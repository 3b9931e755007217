// SPDX-License-Identifier: MIT
#include "utf8_bytes.hpp"

#include "windows1252.hpp"

namespace quillmere {
namespace {

// Returns the Windows-1252 code of the character `codePoint`, counting it in `replaced` when it
// has none.
unsigned char CodeOf(std::uint32_t codePoint, std::size_t& replaced) {
  if (codePoint > 0xFFFF || !HasWindows1252Code(static_cast<char16_t>(codePoint))) {
    ++replaced;
    return kReplacementCode;
  }
  return Windows1252Code(static_cast<char16_t>(codePoint));
}

} // namespace

MessageCodes MessageCodesFromUtf8(std::string_view utf8) {
  MessageCodes message;
  message.codes.reserve(utf8.size());
  const auto* const bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    const unsigned lead = bytes[at];
    std::uint32_t codePoint = 0;
    const int length = lead < 0x80 ? 1 : Utf8SequenceLength(bytes + at, utf8.size() - at);
    if (length == 1) {
      codePoint = lead;
    } else if (length == 2) {
      codePoint = ((lead & 0x1FU) << 6) | (bytes[at + 1] & 0x3FU);
    } else if (length == 3) {
      codePoint = ((lead & 0x0FU) << 12) | ((bytes[at + 1] & 0x3FU) << 6) | (bytes[at + 2] & 0x3FU);
    } else if (length == 4) {
      codePoint = 0x10000; // stands for every character above U+FFFF: none has a code
    } else {
      // Invalid, or cut short by the end of the text.
      return MessageCodes{{}, 0, at};
    }
    at += static_cast<std::size_t>(length);
    message.codes.push_back(static_cast<char>(CodeOf(codePoint, message.replaced)));
  }
  return message;
}

void AppendCodesAsUtf8(std::string_view codes, std::string& utf8) {
  utf8.reserve(utf8.size() + 3 * codes.size());
  for (const char code : codes) {
    const char16_t ch = Windows1252Char(static_cast<std::uint8_t>(code));
    if (ch < 0x80) {
      utf8.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
      utf8.push_back(static_cast<char>(0xC0U | (ch >> 6U)));
      utf8.push_back(static_cast<char>(0x80U | (ch & 0x3FU)));
    } else {
      utf8.push_back(static_cast<char>(0xE0U | (ch >> 12U)));
      utf8.push_back(static_cast<char>(0x80U | ((ch >> 6U) & 0x3FU)));
      utf8.push_back(static_cast<char>(0x80U | (ch & 0x3FU)));
    }
  }
}

} // namespace quillmere
