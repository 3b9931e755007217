// SPDX-License-Identifier: MIT
#include "codec/windows1252.hpp"

#include <gtest/gtest.h>

#include <array>

namespace quillmere {
namespace {

TEST(Windows1252, EveryByteHasOneCharacterThatMapsBackToIt) {
  for (int code = 0; code < 256; ++code) {
    const auto byte = static_cast<std::uint8_t>(code);
    const char16_t ch = Windows1252Char(byte);
    EXPECT_TRUE(HasWindows1252Code(ch)) << code;
    EXPECT_EQ(Windows1252Code(ch), byte) << code;
  }
}

// The code page's bytes 80 to 9F as the WHATWG Encoding Standard's index-windows-1252 lists them
// (the same as Unicode's CP1252.TXT, with the five unassigned bytes as the C1 controls of their
// number); every other byte is the Latin-1 character of its number. Written out here, apart from
// the codec's own table, so that a slip in either shows.
constexpr std::array<char16_t, 32> kStandardHighRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t StandardCharOf(int code) {
  return code >= 0x80 && code < 0xA0 ? kStandardHighRange[static_cast<std::size_t>(code - 0x80)]
                                     : static_cast<char16_t>(code);
}

TEST(Windows1252, AllBytesAndAllCharactersAgreeWithTheStandardsIndex) {
  std::array<int, 0x10000> codeOf{};
  codeOf.fill(-1);
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(Windows1252Char(static_cast<std::uint8_t>(code)), StandardCharOf(code)) << code;
    codeOf[StandardCharOf(code)] = code;
  }
  for (int value = 0; value < 0x10000; ++value) {
    const auto ch = static_cast<char16_t>(value);
    const int code = codeOf[static_cast<std::size_t>(value)];
    ASSERT_EQ(HasWindows1252Code(ch), code >= 0) << value;
    ASSERT_EQ(Windows1252Code(ch), code >= 0 ? code : kReplacementCode) << value;
  }
}

TEST(Windows1252, HighRangeUsesTheCodePageNotLatin1) {
  struct Case {
    std::uint8_t code;
    char16_t ch;
  };
  const Case cases[] = {
      {0x80, u'\u20AC'}, {0x8A, u'\u0160'}, {0x9F, u'\u0178'}, {0xA0, u'\u00A0'},
      {0xE4, u'\u00E4'}, {0x81, u'\u0081'}, {0x9D, u'\u009D'}, {0x00, u'\0'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Windows1252Char(c.code), c.ch) << int{c.code};
  }
}

TEST(Windows1252, CharactersWithoutCodeBecomeQuestionMark) {
  for (const char16_t ch :
       {u'\u0080', u'\u0100', u'\u2028', u'\u2029', char16_t{0xD800}, u'\uFFFD'}) {
    EXPECT_FALSE(HasWindows1252Code(ch)) << int{ch};
    EXPECT_EQ(Windows1252Code(ch), kReplacementCode) << int{ch};
  }
}

TEST(Windows1252, LoneSurrogatesAreOneCharacterEach) {
  const std::u16string lone{char16_t{0xDC00}, u'a', char16_t{0xD800}};
  EXPECT_EQ(ToWindows1252Repertoire(lone), u"?a?");
  EXPECT_EQ(CountUnencodable(lone), 2U);
}

TEST(Windows1252, RepertoireReplacesOneQuestionMarkPerCharacter) {
  struct Case {
    std::u16string_view in;
    std::u16string_view out;
    std::size_t replaced;
  };
  const Case cases[] = {
      {u"Grüße, \u20AC 5", u"Grüße, \u20AC 5", 0},
      {u"a\u0100b", u"a?b", 1},
      {u"x\U0001F337y", u"x?y", 1}, // a surrogate pair is one character
      {u"a\u00A0b\r\n", u"a\u00A0b\r\n", 0},
      {u"", u"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToWindows1252Repertoire(c.in), c.out);
    EXPECT_EQ(CountUnencodable(c.in), c.replaced);
  }
}

// Long runs of Latin-1 are skipped in blocks: a character without a code, or a pair, must be
// counted wherever it falls, at the edge of a block or in a text's last, incomplete one.
TEST(Windows1252, CountFindsEveryUnencodableCharacterInLongTexts) {
  const std::u16string unencodable[] = {u"\u0080", u"\u0100", u"\U0001F337",
                                        std::u16string(1, char16_t{0xDC00})};
  for (const std::u16string& odd : unencodable) {
    for (std::size_t at = 0; at < 100; ++at) {
      std::u16string text(100, u'\u00E4');
      text.replace(at, 1, odd);
      text[(at + 37) % 100] = u'\u20AC';
      EXPECT_EQ(CountUnencodable(text), 1U) << "at " << at;
      EXPECT_EQ(ToWindows1252Repertoire(text).size(), 100U) << "at " << at;
    }
  }
}

} // namespace
} // namespace quillmere
