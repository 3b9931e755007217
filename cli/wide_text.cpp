// SPDX-License-Identifier: MIT
#include "wide_text.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstddef>

namespace quillmere::cli {

std::wstring WideFromUtf8(std::string_view text) {
  const auto length = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  if (length == 0) {
    return {};
  }
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), size);
  return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
  const auto length = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
  if (length == 0) {
    return {};
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

} // namespace quillmere::cli
