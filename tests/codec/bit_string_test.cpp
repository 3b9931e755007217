// SPDX-License-Identifier: MIT
#include "codec/bit_string.hpp"
#include "codec/windows1252.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quillmere {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

TEST(MessageToBits, CodesEachCharacterAsEightBitsMostSignificantFirst) {
  struct Case {
    std::u16string_view message;
    std::u16string_view bits;
  };
  const Case cases[] = {
      {u"", u""},
      {u"abc", u"011000010110001001100011"},
      {u"\u00E4", u"11100100"},     // ä is 228 in Windows-1252, not a two-byte sequence
      {u"\u20AC", u"10000000"},     // the euro sign is byte 128
      {u"\u00A0", u"10100000"},     // a no-break space in a message is an ordinary character
      {u"\u0100", u"00111111"},     // no code: "?"
      {u"\U0001F337", u"00111111"}, // a surrogate pair is one character, one "?"
      {u"\0"sv, u"00000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageToBits(c.message), c.bits);
  }
}

TEST(BitsToMessage, ReadsEveryStartedGroupOfEightBits) {
  struct Case {
    std::u16string_view bits;
    std::u16string message;
  };
  const Case cases[] = {
      {u"", u""},
      {u"011000010110001001100011", u"abc"},
      {u"00000000", u"\0"s}, // a zero group is a character, not the end
      {u"1", u"\u20AC"},     // a short last group is filled up with 0 at its low end
      {u"0110000101", u"a@"},
      {u"01100001x", u"a\0"s}, // only '1' is a set bit
      {u"2222222211111111", u"\0\u00FF"s},
      {u"10000001", u"\u0081"}, // an unassigned byte keeps its C1 character
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BitsToMessage(c.bits), c.message);
  }
}

TEST(BitsToMessage, FiftyEightBitsGiveEightCharactersTheLastFromTwoBits) {
  struct Case {
    std::u16string_view tail;
    std::uint8_t lastCode;
  };
  const Case cases[] = {{u"00", 0}, {u"01", 64}, {u"10", 128}, {u"11", 192}};
  for (const Case& c : cases) {
    const std::u16string bits = MessageToBits(u"abcdefg") + std::u16string(c.tail);
    ASSERT_EQ(bits.size(), 58U);
    const std::u16string message = BitsToMessage(bits);
    ASSERT_EQ(message.size(), 8U);
    EXPECT_EQ(message.substr(0, 7), u"abcdefg");
    EXPECT_EQ(message[7], Windows1252Char(c.lastCode));
  }
}

TEST(BitsToMessage, EveryByteValueSurvivesTheRoundTrip) {
  for (int code = 0; code < 256; ++code) {
    std::u16string bits;
    for (int k = 7; k >= 0; --k) {
      bits.push_back(((code >> k) & 1) != 0 ? u'1' : u'0');
    }
    const std::u16string message = BitsToMessage(bits);
    ASSERT_EQ(message.size(), 1U);
    EXPECT_EQ(MessageToBits(message), bits) << code;
  }
}

TEST(MessageToBits, LengthIsEightPerCharacterForAnyText) {
  std::u16string message;
  for (char16_t ch = 0; ch < 0x3000; ch = static_cast<char16_t>(ch + 7)) {
    message.push_back(ch);
  }
  EXPECT_EQ(MessageToBits(message).size(), message.size() * 8);
  EXPECT_EQ(BitsToMessage(MessageToBits(message)).size(), message.size());
}

TEST(CutAtNul, TextEndsAtItsFirstNulOnly) {
  struct Case {
    std::u16string_view text;
    std::u16string_view kept;
  };
  const Case cases[] = {
      {u""sv, u""sv},
      {u"abc"sv, u"abc"sv},
      {u"abc\0\0\0"sv, u"abc"sv},               // a message followed by the 0 bits of unused gaps
      {u"\0abc"sv, u""sv},                      // nothing before the first U+0000
      {u"ab\0cd\0"sv, u"ab"sv},                 // the first one counts, not the last
      {u"\u00A0\u0001\0"sv, u"\u00A0\u0001"sv}, // other low characters do not end it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutAtNul(c.text), c.kept) << c.text.size();
  }
  EXPECT_EQ(CutAtNul(BitsToMessage(u"0110000100000000011000100")), u"a");
}

} // namespace
} // namespace quillmere
