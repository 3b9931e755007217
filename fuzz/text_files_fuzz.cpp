// Checks the tool's decoding of files where it is most fragile: arbitrary bytes placed across the
// border between its first two pieces, where a character or a bad sequence may be cut. The first
// byte chooses where the bytes start relative to the border (its low five bits) and how long a
// message is hidden (its top three bits); the rest are the bytes. An ASCII text with a few spaces
// just before them fills the space up to there, so that the message's bits cross the border.
#include "cli/commands.hpp"
#include "cli/text_files.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace {

using namespace quillmere::cli;

void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

void AppendUtf16(char32_t code, std::u16string& text) {
  if (code < 0x10000) {
    text.push_back(static_cast<char16_t>(code));
  } else {
    text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
    text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
  }
}

// The reference: decodes UTF-8 one character at a time by the table of well-formed byte
// sequences, appending to `text`. Returns the offset of the first byte that starts no well-formed
// sequence, or nullopt when all of `bytes` is valid.
std::optional<std::size_t> ReferenceDecode(std::string_view bytes, std::u16string& text) {
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
    AppendUtf16(code, text);
    at += length;
  }
  return std::nullopt;
}

// Returns true when `error` names exactly `offset` as the first bad byte.
bool NamesOffset(const ToolError& error, std::size_t offset) {
  const std::string text = error.what();
  const std::string expected = "not valid UTF-8 at byte offset " + std::to_string(offset);
  const std::size_t at = text.find(expected);
  return at != std::string::npos &&
         (at + expected.size() == text.size() || text[at + expected.size()] == ' ');
}

// Hides `message` piece by piece, as quillmere-text does, and in the whole text at once, as the
// window does; both must give the same text from `from` on (before it, the text has no gaps and
// so nothing to change), and each piece must end between two characters.
void CheckHidingInPieces(std::string_view bytes, Encoding encoding, std::u16string_view message,
                         std::size_t from) {
  MessageHider hider(message);
  std::u16string inPieces;
  std::size_t at = 0;
  DecodeInPieces(bytes, encoding, "fuzz", [&](std::span<char16_t> piece) {
    Check(piece.size() <= kPieceLength);
    Check(piece.empty() || piece.back() < 0xD800 || piece.back() > 0xDBFF);
    hider.HideIn(piece);
    const std::size_t skip = std::min(piece.size(), from - std::min(from, at));
    inPieces.append(piece.begin() + static_cast<std::ptrdiff_t>(skip), piece.end());
    at += piece.size();
  });
  std::u16string whole = DecodeText(bytes, encoding, "fuzz");
  HideInPlace(whole, message, true);
  Check(std::u16string_view(whole).substr(from) == inPieces);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t start = kPieceLength - 16 + (data[0] & 0x1FU);
  std::string bytes(start, 'a');
  for (std::size_t gap = start - 1; gap + 256 > start; gap -= 8) {
    bytes[gap] = ' ';
  }
  const std::string_view tail(reinterpret_cast<const char*>(data + 1), size - 1);
  bytes.append(tail);

  // UTF-8: the first bad byte is the reference's, and a valid text comes back byte for byte. The
  // ASCII before the tail decodes as it is, so the reference needs to read the tail only.
  std::u16string expectedTail;
  std::optional<std::size_t> firstBad = ReferenceDecode(tail, expectedTail);
  if (firstBad) {
    *firstBad += start;
  }
  try {
    const std::u16string text = DecodeText(bytes, Encoding::Utf8, "fuzz");
    Check(!firstBad);
    Check(std::u16string_view(text).substr(start) == expectedTail);
    Check(EncodeText(text, Encoding::Utf8) == bytes);
  } catch (const ToolError& error) {
    Check(firstBad && NamesOffset(error, *firstBad));
  }
  Check(LooksLikeUtf8(bytes) == (!firstBad && std::any_of(tail.begin(), tail.end(), [](char byte) {
          return static_cast<unsigned char>(byte) >= 0x80;
        })));

  // Windows-1252: every byte is a character and comes back.
  const std::u16string latin = DecodeText(bytes, Encoding::Windows1252, "fuzz");
  Check(latin.size() == bytes.size());
  Check(EncodeText(latin, Encoding::Windows1252) == bytes);

  // A message made of the same bytes, without U+0000, which the tool refuses, hidden in the text
  // as UTF-8 where it is valid, as Windows-1252 otherwise.
  std::u16string message =
      latin.substr(start, std::min<std::size_t>(tail.size(), (data[0] >> 5U) * 8U));
  std::replace(message.begin(), message.end(), u'\0', u'x');
  CheckHidingInPieces(bytes, firstBad ? Encoding::Windows1252 : Encoding::Utf8, message,
                      start - 256);
  return 0;
}
