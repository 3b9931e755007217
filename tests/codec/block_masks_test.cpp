// The passes over whole pieces in every form this processor runs (SSE2 or plain loops, and AVX2
// where it has it) against plain byte loops written here: the counts of bytes and byte pairs, and
// where a run of ASCII and two-byte characters ends.
#include "codec/block_masks.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace quillmere::block_masks {
namespace {

using Counter = ByteCounts (*)(const unsigned char*, std::size_t, unsigned char, unsigned char,
                               unsigned char);
using Skipper = std::size_t (*)(const unsigned char*, std::size_t, std::size_t, bool&);

struct Form {
  const char* name;
  Counter count;
  Skipper skip;
};

std::vector<Form> Forms() {
  std::vector<Form> forms = {
      {"baseline", baseline::CountEqualAndPairs, baseline::SkipTwoByteBlocks}};
#if QUILLMERE_BLOCK_MASKS_AVX2
  if (UseAvx2()) {
    forms.push_back({"avx2", avx2::CountEqualAndPairs, avx2::SkipTwoByteBlocks});
  }
#endif
  return forms;
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

} // namespace
} // namespace quillmere::block_masks
