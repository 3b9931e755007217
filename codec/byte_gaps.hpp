// SPDX-License-Identifier: MIT
#pragma once

#include "utf8_bytes.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// The gaps of an encoded text, counted, written and read on its bytes a piece at a time, without a
// UTF-16 copy of the text. In UTF-8 a gap is the byte 20 (bit 0) or the pair C2 A0 (bit 1); in
// Windows-1252 it is the byte 20 or A0. Every other byte is copied as it is. The results equal
// those of decoding the whole text, making its no-break spaces plain, EmbedBits or ExtractBits on
// it, and encoding it again. A piece may end anywhere, also between C2 and A0.
namespace quillmere {

// The character codings of texts on bytes.
enum class TextEncoding { Utf8, Windows1252 };

// The bits of a message, eight per Windows-1252 code, most significant first, handed out one at a
// time as the gaps need them.
class MessageBitCursor {
public:
  explicit MessageBitCursor(std::string codes) noexcept : codes_(std::move(codes)) {}

  // Returns the next bit, or 0 once every bit was handed out.
  unsigned Next() noexcept {
    if (next_ >= Size()) {
      return 0;
    }
    const auto code = static_cast<unsigned char>(codes_[static_cast<std::size_t>(next_ / 8)]);
    const unsigned bit = (code >> (7 - next_ % 8)) & 1U;
    ++next_;
    return bit;
  }

  // Returns the next `count` bits (at most 64) in the top bits of a number, the first one highest,
  // and hands them out; past the last bit they are 0, as Next gives them.
  std::uint64_t Take(unsigned count) noexcept {
    std::uint64_t word = 0;
    for (unsigned i = 0; i < count && !Done(); ++i) {
      word |= std::uint64_t{Next()} << (63 - i);
    }
    return word;
  }

  // Returns true once every bit was handed out.
  [[nodiscard]] bool Done() const noexcept { return next_ >= Size(); }
  // Returns the number of bits: eight per code.
  [[nodiscard]] std::uint64_t Size() const noexcept { return std::uint64_t{codes_.size()} * 8; }

private:
  std::string codes_;
  std::uint64_t next_ = 0;
};

// Checks a text fed in consecutive pieces and counts its gaps. UTF-8 must be valid (see
// utf8_bytes.hpp); a character may be split between pieces, and blocks of ASCII are passed over 64
// bytes at a time. Any bytes are valid Windows-1252.
class TextScanner {
public:
  explicit TextScanner(TextEncoding encoding) noexcept : encoding_(encoding) {}

  // Scans the next piece. Returns false once the text is known to be invalid; later pieces are
  // then not looked at, and the counts are of no use.
  bool Scan(std::string_view piece) noexcept;

  // Ends the text. Returns false when it is invalid, also when it ends inside a character.
  bool Finish() noexcept;

  // Returns the offset in the whole text of its first byte that is not valid UTF-8 (the start of
  // the first invalid or unfinished character), or kNoOffset while none is known.
  [[nodiscard]] std::uint64_t InvalidOffset() const noexcept { return invalid_; }

  // Returns the no-break spaces counted so far.
  [[nodiscard]] std::uint64_t NoBreakSpaces() const noexcept { return noBreakSpaces_; }
  // Returns all gaps counted so far: what hide can fill once the no-break spaces are plain.
  [[nodiscard]] std::uint64_t Gaps() const noexcept { return spaces_ + noBreakSpaces_; }
  // Returns true once a UTF-8 text showed a byte of 80 or above: in a valid text, a character
  // beyond ASCII. Always false for Windows-1252.
  [[nodiscard]] bool BeyondAscii() const noexcept { return beyondAscii_; }

private:
  TextEncoding encoding_;
  std::uint64_t scanned_ = 0; // bytes of the pieces before the current one
  std::uint64_t invalid_ = kNoOffset;
  std::uint64_t spaces_ = 0;
  std::uint64_t noBreakSpaces_ = 0;
  bool afterC2_ = false; // the last piece ended in the byte C2
  bool beyondAscii_ = false;
  unsigned char held_[4] = {}; // the start of a character that the last piece cut short
  std::size_t heldCount_ = 0;
};

// Returns the offset of the first byte of `bytes` that is not valid UTF-8 (the start of the first
// invalid or unfinished character), or kNoOffset: what a TextScanner for UTF-8 finds in them.
std::uint64_t FindInvalidUtf8(std::string_view bytes) noexcept;

// Hides a message in a text fed in consecutive pieces, as hide does on the whole text: gap n takes
// bit n of the message (a no-break space for 1), and every gap after the last bit is a plain space,
// also where the cover held a no-break space.
class GapHider {
public:
  // `codes` are the message's Windows-1252 codes: from MessageCodesFromUtf8, or the bytes of a
  // message in Windows-1252 as they are.
  GapHider(TextEncoding encoding, std::string codes) noexcept
      : encoding_(encoding), bits_(std::move(codes)) {}

  // Returns the room Hide needs for a piece of `size` bytes: a plain space may grow to C2 A0, and a
  // byte held back from the last piece may come first.
  static constexpr std::size_t OutputRoom(std::size_t size) noexcept { return 2 * size + 1; }

  // Returns the bytes of `piece` with the message's next bits hidden: `piece` itself, or the start
  // of it, where nothing changes (past the message, a piece without a no-break space), else bytes
  // written to `out`, which has room for OutputRoom(piece.size()) bytes. In UTF-8 a piece that
  // ends in C2 keeps that byte back until the next piece or Finish shows whether it starts a
  // no-break space.
  std::string_view Hide(std::string_view piece, char* out) noexcept;

  // Hides the next bits in the Windows-1252 `piece` itself, whose length never changes. Only for a
  // hider made for Windows-1252.
  void HideInPlace(std::span<char> piece) noexcept;

  // Returns what Hide kept back after the last piece: nothing or the byte C2.
  std::string_view Finish() noexcept;

private:
  TextEncoding encoding_;
  MessageBitCursor bits_;
  bool heldC2_ = false;
};

// Reads the message hidden in a text fed in consecutive pieces: the gaps' bits in groups of eight,
// each the Windows-1252 code of one character, up to the first group of eight 0 bits.
class MessageReader {
public:
  explicit MessageReader(TextEncoding encoding) noexcept : encoding_(encoding) {}

  // Reads the gaps of the next piece; does nothing once the message is complete.
  void Read(std::string_view piece);

  // Ends the text: the bits of a last group of fewer than eight are the top of one more code, which
  // ends the message when it is 0.
  void Finish();

  // Returns true once a group of eight 0 bits ended the message: later gaps do not matter.
  [[nodiscard]] bool Complete() const noexcept { return complete_; }
  // Returns the codes read so far; none of them is 0.
  [[nodiscard]] const std::string& Codes() const noexcept { return codes_; }

private:
  TextEncoding encoding_;
  bool afterC2_ = false;
  bool complete_ = false;
  unsigned code_ = 0;     // the bits of the group being read
  unsigned codeBits_ = 0; // how many
  std::string codes_;
};

// Reads the bit of every gap of a text fed in consecutive pieces, as ExtractBits does.
class BitReader {
public:
  explicit BitReader(TextEncoding encoding) noexcept : encoding_(encoding) {}

  // Appends to `bits` one character per gap of `piece`: '0' for a plain space, '1' for a no-break
  // space.
  void Read(std::string_view piece, std::string& bits);

private:
  TextEncoding encoding_;
  bool afterC2_ = false;
};

} // namespace quillmere
