// SPDX-License-Identifier: MIT
// Checks the codec's properties on arbitrary input. The first byte chooses where the input splits
// into a cover and a bit string; the cover's bytes are read in pairs as UTF-16 characters, with a
// byte pair that names a small code taken from an alphabet rich in carriers and line breaks.
#include "codec/bit_string.hpp"
#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"
#include "fuzz_support.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

std::u16string CoverFrom(const std::uint8_t* data, std::size_t size) {
  constexpr std::u16string_view kAlphabet = u"  \u00A0\r\na\u00E4.\t\u20AC\u2028";
  std::u16string cover;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    cover.push_back(unit < 0x100 ? kAlphabet[unit % kAlphabet.size()] : unit);
  }
  return cover;
}

std::u16string BitsFrom(const std::uint8_t* data, std::size_t size) {
  std::u16string bits;
  for (std::size_t i = 0; i < size; ++i) {
    bits.push_back(data[i] % 5 == 0 ? u'x' : (data[i] & 1) != 0 ? u'1' : u'0');
  }
  return bits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t split = 1 + (size - 1) * data[0] / 255;
  const std::u16string cover = CoverFrom(data + 1, split - 1);
  const std::u16string bits = BitsFrom(data + split, size - split);
  using namespace quillmere;

  // A message survives the bit string as its Windows-1252 repertoire, eight bits a character.
  const BitString messageBits = MessageToBits(cover);
  Check(messageBits.size() % 8 == 0);
  Check(BitsToMessage(messageBits) == ToWindows1252Repertoire(cover));
  Check(BitsToMessage(bits).size() == (bits.size() + 7) / 8);

  // Embedding keeps the length and changes only ordinary spaces, and only into no-break spaces.
  const std::u16string stego = EmbedBits(cover, bits);
  Check(stego.size() == cover.size());
  for (std::size_t i = 0; i < cover.size(); ++i) {
    Check(stego[i] == cover[i] || (cover[i] == kSpace && stego[i] == kNoBreakSpace));
  }
  std::u16string inPlace = cover;
  EmbedBitsInPlace(inPlace, bits);
  Check(inPlace == stego);

  // Read back, every carrier gives its bit; a cover without no-break spaces gives the first
  // `capacity` bits, padded with 0.
  const std::size_t capacity = Capacity(cover);
  Check(capacity == static_cast<std::size_t>(std::count(cover.begin(), cover.end(), kSpace)));
  const BitString extracted = ExtractBits(stego);
  Check(extracted.size() == ExtractBits(cover).size());
  if (std::find(cover.begin(), cover.end(), kNoBreakSpace) == cover.end()) {
    std::u16string expected = bits.substr(0, std::min(bits.size(), capacity));
    std::replace(expected.begin(), expected.end(), u'x', u'0');
    expected.resize(capacity, u'0');
    Check(extracted == expected);
  }

  // Once the no-break spaces are made plain, every carrier is a space, and a message hidden
  // afterwards reads back whole as far as it fits.
  std::u16string plain = stego;
  std::replace(plain.begin(), plain.end(), kNoBreakSpace, kSpace);
  Check(Capacity(plain) == extracted.size());
  std::u16string expected = bits.substr(0, std::min(bits.size(), extracted.size()));
  std::replace(expected.begin(), expected.end(), u'x', u'0');
  expected.resize(extracted.size(), u'0');
  Check(ExtractBits(EmbedBits(plain, bits)) == expected);

  // A revealed message ends just before its first U+0000, or is whole without one.
  const std::u16string message = BitsToMessage(extracted);
  const std::u16string_view kept = CutAtNul(message);
  Check(message.starts_with(kept) && kept.find(u'\0') == std::u16string_view::npos);
  Check(kept.size() == message.size() || message[kept.size()] == u'\0');
  return 0;
}
