#include "utf8_bytes.hpp"

#include "block_masks.hpp"
#include "windows1252.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quillmere {
namespace {

using block_masks::kBlockBytes;

// Where CheckRun stopped: at the end of the run, or at a character that is invalid or cut short.
struct RunEnd {
  std::size_t position = 0;
  int length = 1; // what Utf8SequenceLength gave for the character at `position`
};

// Checks the characters of `bytes` from `start` on. Blocks of 64 bytes without a byte above ASCII
// are passed over at once; in the others, the mask of such bytes leads to each character outside
// ASCII, and the bytes it covers are taken off the mask.
RunEnd CheckRun(const unsigned char* bytes, std::size_t size, std::size_t start) noexcept {
  std::size_t next = start; // first byte not yet known to be part of a valid character
  std::size_t block = start;
  for (; block + kBlockBytes <= size; block += kBlockBytes) {
    std::uint64_t high = block_masks::HighMask(block_masks::LoadBlock(bytes + block));
    // The character that ended the last block may reach up to three bytes into this one.
    high &= ~std::uint64_t{0} << (next - block);
    while (high != 0) {
      const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(high));
      const int length = Utf8SequenceLength(bytes + at, size - at);
      if (length <= 0) {
        return {at, length};
      }
      next = at + static_cast<std::size_t>(length);
      if (next - block >= kBlockBytes) {
        break;
      }
      high &= ~std::uint64_t{0} << (next - block);
    }
    next = std::max(next, block + kBlockBytes);
  }
  while (next < size) {
    const int length = bytes[next] < 0x80 ? 1 : Utf8SequenceLength(bytes + next, size - next);
    if (length <= 0) {
      return {next, length};
    }
    next += static_cast<std::size_t>(length);
  }
  return {size, 1};
}

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

bool Utf8Validator::Check(std::string_view piece) noexcept {
  if (invalid_ != kNoOffset) {
    return false;
  }
  const auto* const bytes = reinterpret_cast<const unsigned char*>(piece.data());
  std::size_t start = 0;
  if (heldCount_ > 0) {
    // Finish the character the last piece cut short; the whole of it is checked at once.
    const std::size_t take = std::min(sizeof held_ - heldCount_, piece.size());
    std::memcpy(held_ + heldCount_, bytes, take);
    const int length = Utf8SequenceLength(held_, heldCount_ + take);
    if (length == 0) {
      invalid_ = checked_ - heldCount_;
      return false;
    }
    if (length == kUtf8Truncated) { // the piece is shorter than what the character still needs
      heldCount_ += take;
      checked_ += piece.size();
      return true;
    }
    start = static_cast<std::size_t>(length) - heldCount_;
    heldCount_ = 0;
  }
  const RunEnd end = CheckRun(bytes, piece.size(), start);
  if (end.length == 0) {
    invalid_ = checked_ + end.position;
    return false;
  }
  if (end.length == kUtf8Truncated) {
    heldCount_ = piece.size() - end.position;
    std::memcpy(held_, bytes + end.position, heldCount_);
  }
  checked_ += piece.size();
  return true;
}

bool Utf8Validator::Finish() noexcept {
  if (invalid_ == kNoOffset && heldCount_ > 0) {
    invalid_ = checked_ - heldCount_;
  }
  return invalid_ == kNoOffset;
}

std::uint64_t FindInvalidUtf8(std::string_view bytes) noexcept {
  Utf8Validator validator;
  validator.Check(bytes);
  validator.Finish();
  return validator.InvalidOffset();
}

MessageCodes MessageCodesFromUtf8(std::string_view utf8) {
  MessageCodes message;
  message.invalidOffset = FindInvalidUtf8(utf8);
  if (message.invalidOffset != kNoOffset) {
    return message;
  }
  message.codes.reserve(utf8.size());
  const auto* const bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (std::size_t at = 0; at < utf8.size();) {
    const unsigned lead = bytes[at];
    std::uint32_t codePoint = 0;
    if (lead < 0x80) {
      codePoint = lead;
      at += 1;
    } else if (lead < 0xE0) {
      codePoint = ((lead & 0x1FU) << 6) | (bytes[at + 1] & 0x3FU);
      at += 2;
    } else if (lead < 0xF0) {
      codePoint = ((lead & 0x0FU) << 12) | ((bytes[at + 1] & 0x3FU) << 6) | (bytes[at + 2] & 0x3FU);
      at += 3;
    } else {
      codePoint = 0x10000; // stands for every character above U+FFFF: none has a code
      at += 4;
    }
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
