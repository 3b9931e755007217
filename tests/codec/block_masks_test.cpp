// SPDX-License-Identifier: MIT
// Every function of the codec's processor-specific code in every form this build has (the plain
// loops always, SSE2 where the compiler may use it, AVX2 where the processor has it, and the form
// the codec is given) against one reference written here with plain byte loops: the masks of
// blocks, the counts of bytes and byte pairs, where a run of ASCII and two-byte characters ends, and
// where a run of Latin-1 code units ends.
#include "codec/block_masks.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillmere::block_masks {
namespace {

using Counter = ByteCounts (*)(const unsigned char*, std::size_t, unsigned char, unsigned char,
                               unsigned char);
using Skipper = std::size_t (*)(const unsigned char*, std::size_t, std::size_t, bool&);

// The block functions of a form, on the 64 bytes a pointer shows, so that forms with different
// block types fit one table.
template <auto Load, auto Equal>
std::uint64_t EqualAt(const unsigned char* bytes, unsigned char value) {
  return Equal(Load(bytes), value);
}
template <auto Load, auto High>
std::uint64_t HighAt(const unsigned char* bytes) {
  return High(Load(bytes));
}
template <auto Load, auto Masks>
TwoByteMasks TwoByteAt(const unsigned char* bytes) {
  return Masks(Load(bytes));
}

// One form's functions; a form without its own block functions (AVX2) leaves them null.
struct Form {
  const char* name;
  Counter count;
  Skipper skip;
  std::uint64_t (*equal)(const unsigned char*, unsigned char) = nullptr;
  std::uint64_t (*high)(const unsigned char*) = nullptr;
  TwoByteMasks (*twoByte)(const unsigned char*) = nullptr;
  std::size_t (*countEqual)(const unsigned char*, std::size_t, unsigned char) = nullptr;
  std::uint64_t (*equal16)(const char16_t*, char16_t) = nullptr;
  std::size_t (*latin1)(const char16_t*, std::size_t) = nullptr;
};

std::vector<Form> Forms() {
  std::vector<Form> forms = {
      {"plain", plain::CountEqualAndPairs, plain::SkipTwoByteBlocks,
       EqualAt<plain::LoadBlock, plain::EqualMask>, HighAt<plain::LoadBlock, plain::HighMask>,
       TwoByteAt<plain::LoadBlock, plain::TwoByteMasksOf>, plain::CountEqual, plain::EqualMask16,
       plain::SkipLatin1Blocks},
#if QUILLMERE_BLOCK_MASKS_SSE2
      {"sse2", sse2::CountEqualAndPairs, sse2::SkipTwoByteBlocks,
       EqualAt<sse2::LoadBlock, sse2::EqualMask>, HighAt<sse2::LoadBlock, sse2::HighMask>,
       TwoByteAt<sse2::LoadBlock, sse2::TwoByteMasksOf>, sse2::CountEqual, sse2::EqualMask16,
       sse2::SkipLatin1Blocks},
#endif
      {"chosen", CountEqualAndPairs, SkipTwoByteBlocks, EqualAt<LoadBlock, EqualMask>,
       HighAt<LoadBlock, HighMask>, TwoByteAt<LoadBlock, TwoByteMasksOf>, CountEqual, EqualMask16,
       SkipLatin1Blocks},
  };
#if QUILLMERE_BLOCK_MASKS_AVX2
  if (UseAvx2()) {
    forms.push_back({"avx2", avx2::CountEqualAndPairs, avx2::SkipTwoByteBlocks});
  }
#endif
  return forms;
}

TEST(BlockMasks, EveryFormOfThisBuildIsTested) {
  std::vector<std::string> names;
  for (const Form& form : Forms()) {
    names.emplace_back(form.name);
  }
  std::vector<std::string> expected = {"plain"};
#if QUILLMERE_BLOCK_MASKS_SSE2
  expected.emplace_back("sse2");
#endif
  expected.emplace_back("chosen");
  if (UseAvx2()) {
    expected.emplace_back("avx2");
  }
  EXPECT_EQ(names, expected);
#if defined(QUILLMERE_NO_SIMD)
  EXPECT_FALSE(UseAvx2()) << "QUILLMERE_NO_SIMD must leave the plain loops only";
#endif
}

const unsigned char* BytesOf(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

ByteCounts PlainCounts(const std::string& text) {
  ByteCounts counts;
  for (std::size_t i = 0; i < text.size(); ++i) {
    counts.equal += static_cast<std::size_t>(text[i] == ' ');
    counts.pairs +=
        static_cast<std::size_t>(i + 1 < text.size() && text[i] == '\xC2' && text[i + 1] == '\xA0');
  }
  return counts;
}

// True when the 64 bytes from `at` on are ASCII and whole two-byte characters, walked one
// character at a time.
bool PlainTwoByteBlock(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  for (std::size_t i = 0; i < kBlockBytes;) {
    if (byte(i) < 0x80) {
      i += 1;
    } else if (byte(i) >= 0xC2 && byte(i) <= 0xDF && i + 1 < kBlockBytes && byte(i + 1) >= 0x80 &&
               byte(i + 1) <= 0xBF) {
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

std::size_t PlainSkip(const std::string& text, std::size_t from, bool& beyondAscii) {
  for (; text.size() - from >= kBlockBytes; from += kBlockBytes) {
    for (std::size_t i = 0; i < kBlockBytes; ++i) {
      beyondAscii = beyondAscii || static_cast<unsigned char>(text[from + i]) >= 0x80;
    }
    if (!PlainTwoByteBlock(text, from)) {
      break;
    }
  }
  return from;
}

void ExpectFormsMatchPlainLoops(const std::string& text, std::size_t from) {
  const ByteCounts counts = PlainCounts(text);
  bool beyondAscii = false;
  const std::size_t stop = PlainSkip(text, from, beyondAscii);
  for (const Form& form : Forms()) {
    SCOPED_TRACE(form.name);
    const ByteCounts got = form.count(BytesOf(text), text.size(), ' ', 0xC2, 0xA0);
    EXPECT_EQ(got.equal, counts.equal);
    EXPECT_EQ(got.pairs, counts.pairs);
    bool seen = false;
    EXPECT_EQ(form.skip(BytesOf(text), text.size(), from, seen), stop);
    EXPECT_EQ(seen, beyondAscii);
    if (form.countEqual != nullptr) {
      EXPECT_EQ(form.countEqual(BytesOf(text), text.size(), ' '), counts.equal);
    }
  }
}

TEST(BlockMasks, CountsAndRunsMatchPlainLoopsAtEveryLengthAndStart) {
  // Mostly gaps, ASCII and two-byte characters, so that runs of good blocks occur, and now and then
  // a longer character or a byte that breaks them; pairs fall across every chunk border.
  const std::string good[] = {" ", "\xC2\xA0", "a", "\xC3\xA4"};
  const std::string rare[] = {"\xC2",     "\xA0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                              "\xC0\x80", "\xFF"};
  std::mt19937 random(12);
  for (std::size_t length = 0; length < 400; ++length) {
    std::string text;
    while (text.size() < length) {
      const std::size_t pick = random() % 100;
      text += pick < 97 ? good[pick % 4] : rare[pick % 6];
    }
    text.resize(length);
    SCOPED_TRACE(length);
    ExpectFormsMatchPlainLoops(text, length == 0 ? 0 : random() % (length + 1));
  }
}

TEST(BlockMasks, RunEndsAtTheBlockThatBreaksTwoByteCharacters) {
  const std::string ascii(64, 'a');
  const std::string umlauts = [] {
    std::string block;
    while (block.size() < 64) {
      block += "\xC3\xA4 ";
    }
    return block.substr(0, 63) + "x";
  }();
  struct Case {
    const char* fault;
    std::string text;
    std::size_t from;
  };
  const Case cases[] = {
      {"nothing but ASCII", ascii + ascii + ascii, 0},
      {"two-byte characters throughout", umlauts + umlauts + ascii, 0},
      {"a three-byte character", ascii + umlauts + "\xE2\x82\xAC" + ascii.substr(3), 0},
      {"a character cut by the block's end", ascii + ascii.substr(1) + "\xC3" + "\xA4" + ascii, 0},
      {"a continuation byte first in a block", ascii + "\xA4" + ascii.substr(1), 0},
      {"an overlong lead", ascii + "\xC0\x80" + ascii.substr(2), 0},
      {"C1", ascii + "\xC1\xBF" + ascii.substr(2), 0},
      {"a lead before ASCII",
       ascii +
           "\xC3"
           "A" +
           ascii.substr(2),
       0},
      {"two leads in a row", ascii + "\xC3\xC3\xA4" + ascii.substr(3), 0},
      {"bytes that are never UTF-8", ascii + "\xF5\xFF" + ascii.substr(2), 0},
      {"a start off the block grid", "xyz" + ascii + "\xE2\x82\xAC" + ascii, 3},
      {"fewer than 64 bytes left", ascii + "\xE2\x82\xAC", 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    ExpectFormsMatchPlainLoops(c.text, c.from);
  }
}

TEST(BlockMasks, ByteCountersDoNotOverflowOnLongRuns) {
  std::string text(100000, ' ');
  for (int i = 0; i < 50000; ++i) {
    text += "\xC2\xA0";
  }
  ExpectFormsMatchPlainLoops(text, 0);
}

// The reference masks of the 64 bytes from `bytes` on.
std::uint64_t PlainMask(const unsigned char* bytes, bool (*marked)(unsigned char)) {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    if (marked(bytes[i])) {
      mask |= std::uint64_t{1} << i;
    }
  }
  return mask;
}

TEST(BlockMasks, BlockMasksMarkEveryByteValueAtEveryPlace) {
  // Every byte value at every place of a block: block k holds byte (k + i) % 256 at place i. The
  // sign of a byte, which SSE2 compares with, changes at 80; the two-byte ranges end at BF, C2 and
  // DF.
  std::vector<unsigned char> bytes(256 + kBlockBytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<unsigned char>(i % 256);
  }
  for (const Form& form : Forms()) {
    if (form.equal == nullptr) {
      continue;
    }
    SCOPED_TRACE(form.name);
    for (std::size_t start = 0; start < 256; ++start) {
      const unsigned char* const block = bytes.data() + start;
      ASSERT_EQ(form.high(block), PlainMask(block, [](unsigned char b) { return b >= 0x80; }))
          << start;
      const TwoByteMasks masks = form.twoByte(block);
      ASSERT_EQ(masks.leads, PlainMask(block, [](unsigned char b) { return b >= 0xC2 && b <= 0xDF; }))
          << start;
      ASSERT_EQ(masks.continuations,
                PlainMask(block, [](unsigned char b) { return b >= 0x80 && b <= 0xBF; }))
          << start;
      for (int value = 0; value < 256; ++value) {
        const auto wanted = static_cast<unsigned char>(value);
        std::uint64_t expected = 0;
        for (std::size_t i = 0; i < kBlockBytes; ++i) {
          expected |= std::uint64_t{block[i] == wanted} << i;
        }
        ASSERT_EQ(form.equal(block, wanted), expected) << start << " " << value;
      }
    }
  }
}

TEST(BlockMasks, UnitMasksCompareWholeCodeUnits) {
  // Units that share one byte with a gap, or whose sign differs, beside the gaps themselves.
  const char16_t units[] = {u' ',      u'\u00A0', u'\u2020', u'\u20A0', u'\uA020', u'\uA0A0',
                            u'\u0120', u'\u8000', u'\uFFFF', u'\u0000', u'a',      u'\u00E4'};
  std::mt19937 random(16);
  std::vector<char16_t> block(kBlockUnits);
  for (int round = 0; round < 200; ++round) {
    for (char16_t& unit : block) {
      unit = units[random() % std::size(units)];
    }
    for (const char16_t value : {u' ', u'\u00A0', u'\u8000'}) {
      std::uint64_t expected = 0;
      for (std::size_t i = 0; i < kBlockUnits; ++i) {
        expected |= std::uint64_t{block[i] == value} << i;
      }
      for (const Form& form : Forms()) {
        if (form.equal16 != nullptr) {
          ASSERT_EQ(form.equal16(block.data(), value), expected) << form.name << " " << round;
        }
      }
    }
  }
}

// The reference: whole blocks of eight units from the start, each unit below 0x80 or 0xA0 to 0xFF.
std::size_t PlainLatin1Skip(const std::u16string& text) {
  std::size_t start = 0;
  for (; start + kLatin1BlockUnits <= text.size(); start += kLatin1BlockUnits) {
    for (std::size_t i = start; i < start + kLatin1BlockUnits; ++i) {
      if (!(text[i] < 0x80 || (text[i] >= 0xA0 && text[i] <= 0xFF))) {
        return start;
      }
    }
  }
  return start;
}

TEST(BlockMasks, Latin1RunEndsAtTheBlockWithAnotherUnit) {
  const std::u16string prose = u"Gr\u00FC\u00DFe aus K\u00F6ln, \u00A0sagte sie.";
  struct Case {
    const char* fault;
    char16_t unit;
  };
  const Case cases[] = {
      {"the first C1 control", u'\u0080'},  {"the last C1 control", u'\u009F'},
      {"a high byte with ASCII below", u'\u0120'}, {"a space in its low byte", u'\u2020'},
      {"the euro sign", u'\u20AC'},        {"a surrogate", char16_t{0xD83D}},
      {"the last unit", u'\uFFFF'},        {"a high byte only", u'\uFF00'},
      {"DEL, still ASCII", u'\u007F'},     {"the no-break space, shared", u'\u00A0'},
      {"y with diaeresis, shared", u'\u00FF'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    for (std::size_t at = 0; at < prose.size(); ++at) {
      std::u16string text = prose;
      text[at] = c.unit;
      const std::size_t expected = PlainLatin1Skip(text);
      for (const Form& form : Forms()) {
        if (form.latin1 != nullptr) {
          ASSERT_EQ(form.latin1(text.data(), text.size()), expected) << form.name << " " << at;
        }
      }
    }
  }
}

TEST(BlockMasks, Latin1RunCoversWholeBlocksOnlyAtEveryLength) {
  std::mt19937 random(8);
  for (std::size_t length = 0; length < 100; ++length) {
    std::u16string text;
    while (text.size() < length) {
      const auto pick = random() % 64;
      text += pick == 0 ? u'\u2019' : static_cast<char16_t>(u'a' + pick % 26);
    }
    const std::size_t expected = PlainLatin1Skip(text);
    for (const Form& form : Forms()) {
      if (form.latin1 != nullptr) {
        ASSERT_EQ(form.latin1(text.data(), text.size()), expected) << form.name << " " << length;
      }
    }
  }
}

TEST(BlockMasks, CountBitsCountsEveryPlace) {
  const std::uint64_t masks[] = {0, 1, std::uint64_t{1} << 63, ~std::uint64_t{0},
                                 0x5555555555555555U, 0xF0F0F0F0F0F0F0F0U, 0x8000000000000001U};
  for (const std::uint64_t mask : masks) {
    EXPECT_EQ(CountBits(mask), static_cast<std::size_t>(std::popcount(mask))) << mask;
  }
}

} // namespace
} // namespace quillmere::block_masks
