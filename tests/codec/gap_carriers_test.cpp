// SPDX-License-Identifier: MIT
#include "codec/gap_carriers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace quillmere {
namespace {

constexpr std::u16string_view kCover =
    u"Das war heute ein ganz besonderer Tag. Es ist alles ziemlich schief gelaufen. Doch am Ende "
    u"des "
    u"Tages war alles wieder gerichtet. So geht es eben manchmal. Mal so oder so. Dennoch sollte "
    u"man "
    u"aufpassen, dass diese Problematik nicht zur Regel wird. Aber man kann ja meistens selbst "
    u"etwas "
    u"dafür tun, dass nicht alles aus dem Ruder läuft. ";

// Returns the carriers of `text` as a bit string, written out with the obvious loop.
std::u16string ObviousBits(std::u16string_view text) {
  std::u16string bits;
  for (const char16_t ch : text) {
    if (ch == kSpace || ch == kNoBreakSpace) {
      bits.push_back(ch == kSpace ? u'0' : u'1');
    }
  }
  return bits;
}

TEST(EmbedBits, AbcGoesIntoTheFirst24GapsOfThePlainCover) {
  ASSERT_EQ(Capacity(kCover), 58U);
  const std::u16string bits = MessageToBits(u"abc");
  const std::u16string stego = EmbedBits(kCover, bits);
  EXPECT_EQ(stego.size(), kCover.size());
  EXPECT_EQ(ObviousBits(stego), bits + std::u16string(34, u'0'));
  EXPECT_EQ(ExtractBits(stego), ObviousBits(stego));
  EXPECT_EQ(BitsToMessage(ExtractBits(stego)), u"abc" + std::u16string(5, u'\0'));
}

TEST(EmbedBits, BitsBeyondTheCapacityAreDropped) {
  const std::u16string message = u"abcdefg\u00FF";
  const std::u16string decoded =
      BitsToMessage(ExtractBits(EmbedBits(kCover, MessageToBits(message))));
  ASSERT_EQ(decoded.size(), 8U);
  EXPECT_EQ(decoded.substr(0, 7), u"abcdefg");
  EXPECT_EQ(decoded[7], u'\u00C0'); // only the top two bits of 0xFF survive
}

TEST(EmbedBits, TextsWithoutOrdinarySpacesAreLeftAlone) {
  struct Case {
    std::u16string_view cover;
    std::u16string_view extracted;
  };
  const Case cases[] = {
      {u"", u""},
      {u"Wort\r\nWort\tWort", u""},
      {u"\u00A0\u00A0x\u00A0", u"111"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EmbedBits(c.cover, u"1111"), c.cover);
    EXPECT_EQ(ExtractBits(c.cover), c.extracted);
    EXPECT_EQ(Capacity(c.cover), 0U);
  }
}

TEST(EmbedBits, EmptyBitStringChangesNothing) {
  const std::u16string_view cover = u"a b\u00A0c d ";
  EXPECT_EQ(EmbedBits(cover, u""), cover);
}

TEST(EmbedBits, LineBreaksCarryNothingButTheSpaceBeforeThemDoes) {
  EXPECT_EQ(EmbedBits(u"a \r\nb \r\n", u"11"), u"a\u00A0\r\nb\u00A0\r\n");
  EXPECT_EQ(ExtractBits(u"a\u00A0\r\nb \r\n"), u"10");
}

TEST(EmbedBits, SecondMessageGoesOnlyIntoTheRemainingOrdinarySpaces) {
  const std::u16string first = EmbedBits(u"a b c d e f", u"101");
  ASSERT_EQ(first, u"a\u00A0b c\u00A0d e f");
  const std::u16string second = EmbedBits(first, u"11");
  EXPECT_EQ(second, u"a\u00A0b\u00A0c\u00A0d\u00A0e f");
  EXPECT_EQ(ExtractBits(second), u"11110");
}

TEST(EmbedBits, OnlyTheCharacterOneSetsAGap) {
  EXPECT_EQ(EmbedBits(u"a b c d", u"1x2"), u"a\u00A0b c d");
}

// For a cover without U+00A0 of capacity C, extraction after embedding gives the first C bits,
// padded with "0"; the cover keeps its length and changes only where U+0020 stood. The covers are
// long enough to cross the scanner's 16-character blocks at every offset.
TEST(EmbedBits, ExtractionReturnsTheEmbeddedBitsForRandomCovers) {
  std::mt19937 random(20261208);
  const std::u16string alphabet = u"ab \r\n\t.\u00E4\u2028 ";
  for (int round = 0; round < 2000; ++round) {
    std::u16string cover(random() % 90, u'a');
    for (char16_t& ch : cover) {
      ch = alphabet[random() % alphabet.size()];
    }
    std::u16string bits(random() % 60, u'0');
    for (char16_t& bit : bits) {
      bit = random() % 2 != 0 ? u'1' : u'0';
    }
    const std::size_t capacity = Capacity(cover);
    ASSERT_EQ(capacity, static_cast<std::size_t>(std::count(cover.begin(), cover.end(), kSpace)));

    const std::u16string stego = EmbedBits(cover, bits);
    ASSERT_EQ(stego.size(), cover.size());
    for (std::size_t i = 0; i < cover.size(); ++i) {
      if (cover[i] != kSpace) {
        ASSERT_EQ(stego[i], cover[i]) << "round " << round << " position " << i;
      }
    }
    std::u16string expected = bits.substr(0, std::min(bits.size(), capacity));
    expected.resize(capacity, u'0');
    ASSERT_EQ(ExtractBits(stego), expected) << "round " << round;
    ASSERT_EQ(ExtractBits(stego), ObviousBits(stego)) << "round " << round;

    // The carriers alone stand for the cover: the same bits come out and go in.
    const std::u16string carriers = CarriersOf(cover);
    ASSERT_EQ(carriers.size(), ObviousBits(cover).size()) << "round " << round;
    ASSERT_EQ(ExtractBits(carriers), ExtractBits(cover)) << "round " << round;
    ASSERT_EQ(EmbedBits(carriers, bits), CarriersOf(stego)) << "round " << round;

    // Rewriting the first carriers changes those and nothing else.
    const std::u16string wanted = CarriersOf(stego).substr(0, static_cast<std::size_t>(round % 40));
    std::u16string rewritten = cover;
    ReplaceCarriersInPlace(rewritten, wanted);
    const std::size_t kept = std::min(wanted.size(), carriers.size());
    ASSERT_EQ(CarriersOf(rewritten), wanted.substr(0, kept) + carriers.substr(kept))
        << "round " << round;
    ASSERT_EQ(rewritten.size(), cover.size()) << "round " << round;
  }
}

// Long enough random texts cross the scanner's 64-character blocks at every offset; the results
// are checked against the obvious loop.
TEST(ExtractBits, AgreesWithTheObviousLoopForRandomTexts) {
  std::mt19937 random(20261209);
  const std::u16string alphabet = u"ab \u00A0\u00A0\r\n.\u00E4\u0120\uA000";
  for (int round = 0; round < 2000; ++round) {
    std::u16string text(random() % 300, u'a');
    for (char16_t& ch : text) {
      ch = alphabet[random() % alphabet.size()];
    }
    ASSERT_EQ(ExtractBits(text), ObviousBits(text)) << "round " << round;
    ASSERT_EQ(Capacity(text),
              static_cast<std::size_t>(std::count(text.begin(), text.end(), kSpace)))
        << "round " << round;
  }
}

} // namespace
} // namespace quillmere
