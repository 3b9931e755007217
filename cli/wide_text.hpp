// SPDX-License-Identifier: MIT
#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

// Text between UTF-8, which the tool uses throughout, and UTF-16, which the wide-character calls
// of Windows take and give. Windows only.
namespace quillmere::cli {

// Returns the UTF-16 form of the UTF-8 `text`; a byte that is not UTF-8 becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);

// Returns the UTF-8 form of the UTF-16 `wide`; an unpaired surrogate, which a file name or a
// command line may hold, becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view wide);

} // namespace quillmere::cli
#endif
