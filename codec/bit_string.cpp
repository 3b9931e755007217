// SPDX-License-Identifier: MIT
#include "bit_string.hpp"

#include "windows1252.hpp"

#include <cstdint>

namespace quillmere {

BitString MessageToBits(std::u16string_view message) {
  BitString bits;
  bits.reserve(message.size() * 8);
  while (!message.empty()) {
    const std::size_t length = CharacterLength(message);
    const std::uint8_t code = length == 1 ? Windows1252Code(message[0]) : kReplacementCode;
    for (int k = 7; k >= 0; --k) {
      bits.push_back((code >> k) & 1U ? u'1' : u'0');
    }
    message.remove_prefix(length);
  }
  return bits;
}

std::u16string BitsToMessage(std::u16string_view bits) {
  std::u16string message;
  message.reserve((bits.size() + 7) / 8);
  for (std::size_t group = 0; group < bits.size(); group += 8) {
    unsigned value = 0;
    for (std::size_t j = 0; j < 8; ++j) {
      const bool set = group + j < bits.size() && bits[group + j] == u'1';
      value |= static_cast<unsigned>(set) << (7 - j);
    }
    message.push_back(Windows1252Char(static_cast<std::uint8_t>(value)));
  }
  return message;
}

std::u16string_view CutAtNul(std::u16string_view text) noexcept {
  return text.substr(0, text.find(u'\0'));
}

} // namespace quillmere
