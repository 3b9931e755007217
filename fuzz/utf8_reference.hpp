// SPDX-License-Identifier: MIT
#pragma once

// The UTF-8 encoder the fuzz targets take as their reference: a plain loop, written out apart
// from the code it checks.
#include <cstdint>
#include <string>
#include <string_view>

// Returns the UTF-8 bytes of `text`, whose surrogates come in pairs.
inline std::string EncodeUtf8(std::u16string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00U);
    }
    const int length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    const std::uint8_t leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    bytes.push_back(static_cast<char>(length == 1 ? c : leads[length] | (c >> (6 * (length - 1)))));
    for (int k = length - 2; k >= 0; --k) {
      bytes.push_back(static_cast<char>(0x80U | ((c >> (6 * k)) & 0x3FU)));
    }
  }
  return bytes;
}
