// SPDX-License-Identifier: MIT
// Checks the byte-level gap engine on arbitrary input against plain byte loops written here, and,
// for valid UTF-8, against the UTF-16 route of the codec. The first byte chooses the coding and
// whether the text is taken as raw bytes or built from snippets rich in gaps and in bytes that
// look like gaps; the second gives the message's length, and the message's codes follow; the rest
// is the text. The pieces the text is fed in are drawn from a generator started from the input.
#include "codec/bit_string.hpp"
#include "codec/block_masks.hpp"
#include "codec/byte_gaps.hpp"
#include "codec/gap_carriers.hpp"
#include "codec/utf8_bytes.hpp"
#include "codec/windows1252.hpp"
#include "fuzz_support.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using quillmere::TextEncoding;

// What the bytes of a text below C0 stand for, unless the text is taken raw.
const char* const kSnippets[] = {
    " ",    " ",        "\xC2\xA0", "\r\n",         "\n",           "\t",       "Wort",
    "a",    "\xC3\xA4", "\xC3\xA0", "\xE2\x80\xA0", "\xE2\x82\xAC", "\xC2\xA2", "\xF0\x9F\x98\x80",
    "\xC2", "\xA0"};

// Hide, reveal and the bits as a plain loop over the bytes: a gap is 20, or C2 A0 in UTF-8 and A0
// in Windows-1252.
struct Reference {
  std::string hidden;
  std::string bits;
  std::string codes;
};

Reference ReferenceRun(const std::string& text, TextEncoding encoding, const std::string& codes) {
  Reference result;
  const bool utf8 = encoding == TextEncoding::Utf8;
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool space = text[i] == ' ';
    const bool noBreak = utf8 ? text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0'
                              : text[i] == '\xA0';
    if (!space && !noBreak) {
      result.hidden.push_back(text[i]);
      continue;
    }
    result.bits.push_back(noBreak ? '1' : '0');
    const bool bit = n < codes.size() * 8 &&
                     ((unsigned{static_cast<std::uint8_t>(codes[n / 8])} >> (7 - n % 8)) & 1U) != 0;
    ++n;
    result.hidden += !bit ? " " : utf8 ? "\xC2\xA0" : "\xA0";
    i += utf8 && noBreak ? 1 : 0;
  }
  for (std::size_t group = 0; group < result.bits.size(); group += 8) {
    unsigned code = 0;
    for (std::size_t j = 0; j < 8; ++j) {
      code = code << 1 |
             static_cast<unsigned>(group + j < result.bits.size() && result.bits[group + j] == '1');
    }
    if (code == 0) {
      break;
    }
    result.codes.push_back(static_cast<char>(code));
  }
  return result;
}

struct EngineRun {
  std::string hidden;
  std::string bits;
  std::string codes;
  std::uint64_t gaps = 0;
  std::uint64_t invalid = quillmere::kNoOffset;
};

EngineRun RunEngine(const std::string& text, TextEncoding encoding, const std::string& codes,
                    const std::vector<std::size_t>& ends) {
  EngineRun run;
  quillmere::GapHider hider(encoding, codes);
  quillmere::TextScanner scanner(encoding);
  quillmere::MessageReader reader(encoding);
  quillmere::BitReader bitReader(encoding);
  std::size_t start = 0;
  for (const std::size_t end : ends) {
    const std::string_view piece = std::string_view(text).substr(start, end - start);
    // Exactly the room promised, so that the sanitizer sees a byte written beyond it.
    const auto out = std::make_unique<char[]>(quillmere::GapHider::OutputRoom(piece.size()));
    run.hidden += hider.Hide(piece, out.get());
    scanner.Scan(piece);
    reader.Read(piece);
    bitReader.Read(piece, run.bits);
    start = end;
  }
  run.hidden += hider.Finish();
  reader.Finish();
  scanner.Finish();
  run.codes = reader.Codes();
  run.gaps = scanner.Gaps();
  run.invalid = scanner.InvalidOffset();
  return run;
}

} // namespace

// Checks that the forms of the passes over pieces this build has (SSE2, and AVX2 where the
// processor runs it) give what the plain loops give, from every start within the first block.
void CheckProcessorFormsAgree(const std::string& text) {
  namespace masks = quillmere::block_masks;
  using Counter = masks::ByteCounts (*)(const unsigned char*, std::size_t, unsigned char,
                                        unsigned char, unsigned char);
  using Skipper = std::size_t (*)(const unsigned char*, std::size_t, std::size_t, bool&);
  struct Form {
    Counter count;
    Skipper skip;
  };
  std::vector<Form> forms;
#if QUILLMERE_BLOCK_MASKS_SSE2
  forms.push_back({masks::sse2::CountEqualAndPairs, masks::sse2::SkipTwoByteBlocks});
#endif
#if QUILLMERE_BLOCK_MASKS_AVX2
  if (masks::UseAvx2()) {
    forms.push_back({masks::avx2::CountEqualAndPairs, masks::avx2::SkipTwoByteBlocks});
  }
#endif
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  const masks::ByteCounts plain =
      masks::plain::CountEqualAndPairs(bytes, text.size(), 0x20, 0xC2, 0xA0);
  for (const Form& form : forms) {
    const masks::ByteCounts counts = form.count(bytes, text.size(), 0x20, 0xC2, 0xA0);
    Check(counts.equal == plain.equal && counts.pairs == plain.pairs);
    for (std::size_t from = 0; from < std::min<std::size_t>(text.size(), 64); ++from) {
      bool formBeyond = false;
      bool plainBeyond = false;
      Check(form.skip(bytes, text.size(), from, formBeyond) ==
            masks::plain::SkipTwoByteBlocks(bytes, text.size(), from, plainBeyond));
      Check(formBeyond == plainBeyond);
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const TextEncoding encoding =
      (data[0] & 1U) != 0 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
  const std::size_t messageLength = std::min<std::size_t>(data[1], size - 2);
  const std::string codes(reinterpret_cast<const char*>(data + 2), messageLength);
  const std::string text = TextFromSnippets(
      {reinterpret_cast<const char*>(data + 2 + messageLength), size - 2 - messageLength},
      (data[0] & 2U) != 0, kSnippets);

  // Pieces of 0 to 150 bytes, so that they end inside blocks, on their edges and inside
  // characters.
  std::uint32_t state = 2463534242U ^ static_cast<std::uint32_t>(size * 2654435761U) ^ data[0];
  std::vector<std::size_t> ends;
  for (std::size_t end = 0; end < text.size();) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    end = std::min(text.size(), end + state % 151);
    ends.push_back(end);
  }
  ends.push_back(text.size());

  // Whole or in pieces, the engine gives what the byte loops give.
  const EngineRun whole = RunEngine(text, encoding, codes, {text.size()});
  const EngineRun pieces = RunEngine(text, encoding, codes, ends);
  const Reference reference = ReferenceRun(text, encoding, codes);
  Check(whole.hidden == reference.hidden && pieces.hidden == reference.hidden);
  Check(whole.bits == reference.bits && pieces.bits == reference.bits);
  Check(whole.codes == reference.codes && pieces.codes == reference.codes);
  // The scanner counts the gaps of a valid text (it stops at the first bad byte).
  const bool valid = whole.invalid == quillmere::kNoOffset;
  Check(!valid || (whole.gaps == reference.bits.size() && pieces.gaps == reference.bits.size()));

  // Hiding keeps the gaps, and a message that fits and holds no 0 code reads back whole.
  const EngineRun stego = RunEngine(reference.hidden, encoding, "", {reference.hidden.size()});
  Check(stego.bits.size() == reference.bits.size());
  Check(!valid || stego.invalid == quillmere::kNoOffset);
  if (reference.bits.size() >= codes.size() * 8 && codes.find('\0') == std::string::npos) {
    Check(stego.codes == codes);
  }

  CheckProcessorFormsAgree(text);

  if (encoding == TextEncoding::Utf8) {
    // The first bad byte, found alike wherever the pieces end.
    std::u16string decoded;
    const std::optional<std::size_t> invalid = DecodeUtf8(text, decoded);
    const std::uint64_t expected = invalid ? *invalid : quillmere::kNoOffset;
    Check(whole.invalid == expected && pieces.invalid == expected);
    Check(quillmere::MessageCodesFromUtf8(text).invalidOffset == expected);
    if (!invalid) {
      // Valid UTF-8 comes out as from the UTF-16 route: plain gaps, EmbedBits, encode.
      std::u16string plain = decoded;
      for (char16_t& ch : plain) {
        ch = ch == quillmere::kNoBreakSpace ? quillmere::kSpace : ch;
      }
      std::u16string message;
      for (const char code : codes) {
        message.push_back(quillmere::Windows1252Char(static_cast<std::uint8_t>(code)));
      }
      Check(EncodeUtf8(quillmere::EmbedBits(plain, quillmere::MessageToBits(message))) ==
            whole.hidden);
      const quillmere::MessageCodes asMessage = quillmere::MessageCodesFromUtf8(text);
      Check(quillmere::BitsToMessage(quillmere::MessageToBits(decoded)) == [&] {
        std::u16string chars;
        for (const char code : asMessage.codes) {
          chars.push_back(quillmere::Windows1252Char(static_cast<std::uint8_t>(code)));
        }
        return chars;
      }());
      Check(asMessage.replaced == quillmere::CountUnencodable(decoded));
    }
  }
  return 0;
}
