// SPDX-License-Identifier: MIT
#pragma once

// What the fuzz targets share: the check that stops at a broken property, the text made from fuzz
// bytes and snippets, and the UTF-8 encoder and decoder they take as their reference, plain loops
// written out apart from the code they check.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Returns when `condition` holds; aborts otherwise, so that libFuzzer (or the replay of a corpus)
// reports the input that broke it.
inline void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// Returns the text `data` stands for: each byte C0 or above, or every byte when `raw`, as itself,
// any other byte as the snippet it picks (the byte modulo the number of snippets). Empty data gives
// an empty text; `snippets` must not be empty.
inline std::string TextFromSnippets(std::string_view data, bool raw,
                                    std::span<const char* const> snippets) {
  std::string text;
  for (const char byte : data) {
    const auto code = static_cast<unsigned char>(byte);
    if (raw || code >= 0xC0) {
      text.push_back(byte);
    } else {
      text += snippets[code % snippets.size()];
    }
  }
  return text;
}

// Returns the UTF-8 bytes of `text`, whose surrogates must come in pairs: a high surrogate is read
// with the unit after it as its low one, unchecked.
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

// Decodes UTF-8 one character at a time by the table of well-formed byte sequences, appending each
// character to `text` in UTF-16. Returns the offset of the first byte that starts no well-formed
// sequence (`text` then holds what came before it), or nullopt when all of `bytes` is valid.
inline std::optional<std::size_t> DecodeUtf8(std::string_view bytes, std::u16string& text) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 1;
    char32_t code = lead;
    unsigned char low = 0x80; // bounds of the second byte; later bytes are 80 to BF
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0FU;
      low = lead == 0xE0 ? 0xA0 : low;   // no overlong forms
      high = lead == 0xED ? 0x9F : high; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07U;
      low = lead == 0xF0 ? 0x90 : low;
      high = lead == 0xF4 ? 0x8F : high; // nothing beyond U+10FFFF
    } else if (lead >= 0x80) {
      return at;
    }
    if (at + length > bytes.size()) {
      return at;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[at + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
        return at;
      }
      code = (code << 6) | (next & 0x3FU);
    }
    if (code < 0x10000) {
      text.push_back(static_cast<char16_t>(code));
    } else {
      text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
    at += length;
  }
  return std::nullopt;
}
