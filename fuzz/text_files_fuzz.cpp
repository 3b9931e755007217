// SPDX-License-Identifier: MIT
// Checks quillmere-text's commands on texts that arrive in pieces, as the tool reads its files:
// hide, reveal, capacity, show and clean must give the same result, or the same error, whether the
// text comes whole or cut anywhere, and the result of a simple reference that decodes the whole
// text, hides with the window's codec (or replaces its no-break spaces) and encodes it again. The
// first byte chooses the coding (bit 0),
// --truncate (bit 1), --force (bit 2), whether the text is taken as raw bytes or built from
// snippets rich in gaps (bit 3), and the message's length (the top four bits, times three); the
// second starts the generator of the pieces' lengths; the message's codes follow, then the text.
// The same bytes also make a command line of quillmere-text's options, with empty values ("--name="),
// values that look like options, repeated options and flags given values, whose walk must give back
// exactly the options and values it was made of, or name its first mistake.
#include "cli/commands.hpp"
#include "cli/option_words.hpp"
#include "cli/show_clean.hpp"

#include "codec/bit_string.hpp"
#include "codec/gap_carriers.hpp"
#include "codec/windows1252.hpp"
#include "fuzz_support.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillmere::cli;
using quillmere::TextEncoding;

// What the bytes of a text below C0 stand for, unless the text is taken raw.
const char* const kSnippets[] = {
    " ",    " ",        "\xC2\xA0",     "\r\n",         "\n",           "\t",
    "Wort", "\xC3\xA4", "\xC3\xA0",     "\xE2\x80\xA0", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
    "\xC2", "\xA0",     "\xED\xA0\x80", "\xFF"};

std::u16string CharactersOf(std::string_view codes) {
  std::u16string text;
  for (const char code : codes) {
    text.push_back(quillmere::Windows1252Char(static_cast<std::uint8_t>(code)));
  }
  return text;
}

std::string CodesOf(std::u16string_view text) {
  std::string codes;
  for (const char16_t ch : text) {
    codes.push_back(static_cast<char>(quillmere::Windows1252Code(ch)));
  }
  return codes;
}

// A command's output, or the text of the error it threw.
struct Outcome {
  std::string bytes;
  std::string error;
  bool noMessage = false;
  bool operator==(const Outcome&) const = default;
};

// Hands out `text` in pieces whose lengths come from `lengths` (empty: the whole text at once);
// each piece is a copy of its own, which the receiver may change.
PieceSource PiecesOf(const std::string& text, std::vector<std::size_t> lengths) {
  struct State {
    std::string text;
    std::vector<std::size_t> lengths;
    std::size_t at = 0;
    std::size_t next = 0;
    std::string piece;
  };
  auto state = std::make_shared<State>();
  state->text = text;
  state->lengths = std::move(lengths);
  return [state]() -> std::span<char> {
    State& s = *state;
    std::size_t length = s.text.size() - s.at;
    if (!s.lengths.empty()) {
      length = std::min(length, s.lengths[s.next++ % s.lengths.size()]);
    }
    s.piece = s.text.substr(s.at, length);
    s.at += length;
    return {s.piece.data(), s.piece.size()};
  };
}

template <typename Command>
Outcome Run(Command command) {
  Outcome outcome;
  try {
    outcome.bytes = command();
  } catch (const NoHiddenMessage& nothing) {
    outcome.error = nothing.what();
    outcome.noMessage = true;
  } catch (const ToolError& error) {
    outcome.error = error.what();
  }
  return outcome;
}

Outcome Hide(const std::string& text, const std::vector<std::size_t>& lengths,
             const Message& message, const HideSettings& settings) {
  return Run([&] {
    std::string out;
    HideInPieces(PiecesOf(text, lengths), "fuzz", message, settings,
                 [&out](std::string_view bytes) {
                   Check(!bytes.empty());
                   out += bytes;
                 });
    return out;
  });
}

Outcome Reveal(const std::string& text, const std::vector<std::size_t>& lengths,
               TextEncoding encoding, bool bits) {
  return Run([&] { return RevealInPieces(PiecesOf(text, lengths), "fuzz", encoding, bits); });
}

// What the tool did before it worked on bytes: decode the whole text, make its no-break spaces
// plain, hide with the window's codec, encode again.
struct Reference {
  std::optional<std::size_t> invalidOffset;
  bool looksLikeUtf8 = false; // valid UTF-8 with a character beyond ASCII
  std::u16string text;
};

Reference ReferenceOf(const std::string& bytes, TextEncoding encoding) {
  Reference reference;
  std::u16string utf8Text;
  const std::optional<std::size_t> invalid = DecodeUtf8(bytes, utf8Text);
  reference.looksLikeUtf8 = !invalid && std::any_of(bytes.begin(), bytes.end(), [](char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
  });
  if (encoding == TextEncoding::Utf8) {
    reference.invalidOffset = invalid;
    reference.text = std::move(utf8Text);
  } else {
    reference.text = CharactersOf(bytes);
  }
  return reference;
}

std::string Encode(std::u16string_view text, TextEncoding encoding) {
  return encoding == TextEncoding::Utf8 ? EncodeUtf8(text) : CodesOf(text);
}

std::string InvalidError(std::size_t offset) {
  return "fuzz: not valid UTF-8 at byte offset " + std::to_string(offset) +
         " (use --encoding windows-1252 for files in that code page)";
}

// The options of quillmere-text, as its parser describes them to the walk.
OptionWord Flag(std::vector<std::string> names, std::string letters = "", bool ends = false) {
  return {std::move(names), std::move(letters), false, "", ends};
}
OptionWord Value(std::vector<std::string> names, std::string letters, std::string emptyValue) {
  return {std::move(names), std::move(letters), true, std::move(emptyValue), false};
}

const CommandWords kProgram{"", {Flag({"help"}, "h", true), Flag({"version"}, "", true)}};
const std::vector<CommandWords> kCommands = {
    {"hide",
     {Flag({"help"}, "h", true), Value({"message"}, "m", ""),
      Value({"message-file"}, "", "a file name"), Value({"output"}, "o", "a file name"),
      Flag({"truncate"}), Flag({"force"}), Value({"encoding"}, "", "an encoding name")}},
    {"reveal",
     {Flag({"help"}, "h", true), Flag({"bits"}), Value({"encoding"}, "", "an encoding name")}},
    {"capacity", {Flag({"help"}, "h", true), Value({"encoding"}, "", "an encoding name")}},
    {"show",
     {Flag({"help"}, "h", true), Flag({"marks"}),
      {{"color"}, "", false, "", false, /*valueAfterEquals=*/true},
      Value({"encoding"}, "", "an encoding name")}},
    {"clean",
     {Flag({"help"}, "h", true), Value({"output"}, "o", "a file name"), Flag({"force"}),
      Value({"encoding"}, "", "an encoding name")}},
};

// Makes a command line from `bytes`, one option or argument per byte, the value an option or
// flag is given chosen by the byte after it, and checks that the
// walk gives back what it was made of: every value whole in the form "--name=value", however it
// was written, and the first mistake, or the command and its --help alone, as soon as one comes.
void CheckOptionWords(std::string_view bytes) {
  static const char* const kValues[] = {"", "-", "x", "--output", "-m", "a=b", "--", "hide", "-o",
                                        "=", "--help"};
  std::vector<std::string> words;
  std::vector<std::string> expected;
  std::string mistake;
  bool done = false; // the expected words are complete: a mistake or --help came
  const CommandWords* scope = &kProgram;
  std::vector<int> given(kProgram.options.size(), 0);
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto code = static_cast<unsigned char>(bytes[at]);
    if (code % 5 == 0) {
      // A word that is not an option: at first the command, then an argument.
      if (scope == &kProgram) {
        scope = &kCommands[(code / 5) % kCommands.size()];
        given.assign(scope->options.size(), 0);
        words.push_back(scope->name);
      } else {
        static const char* const kArguments[] = {"", "-", "cover.txt", "hide", "x=y"};
        words.emplace_back(kArguments[(code / 5) % std::size(kArguments)]);
      }
      if (!done) {
        expected.push_back(words.back());
      }
      continue;
    }
    const std::size_t index = (code / 5) % scope->options.size();
    const OptionWord& option = scope->options[index];
    const std::string longName = "--" + option.longNames.front();
    const bool useLetter = !option.shortNames.empty() && code % 5 >= 3;
    const std::string name = useLetter ? std::string("-") + option.shortNames.front() : longName;
    const bool attachedForm = code % 5 == 2 || code % 5 == 4;
    const std::string value =
        option.takesValue || (attachedForm && !useLetter)
            ? kValues[(at + 1 < bytes.size() ? static_cast<unsigned char>(bytes[++at]) : 0U) %
                      std::size(kValues)]
            : "";
    if (!option.takesValue) {
      const bool withValue = attachedForm && !useLetter;
      words.push_back(withValue ? name + "=" + value : name);
      if (done) {
        continue;
      }
      if (withValue && option.valueAfterEquals) {
        expected.push_back(words.back());
        continue;
      }
      done = withValue || option.endsWords;
      if (withValue) {
        mistake = longName + " takes no value";
      } else if (option.endsWords) {
        expected.resize(scope == &kProgram ? 0 : 1);
        expected.push_back(name);
      } else {
        expected.push_back(name);
      }
      continue;
    }
    // A value: "--name=value", "--name value", "-l value" or "-lvalue".
    const bool attached = attachedForm && (!useLetter || !value.empty());
    if (!attached) {
      words.push_back(name);
      words.push_back(value);
    } else {
      words.push_back(name + (useLetter ? "" : "=") + value);
    }
    if (done) {
      continue;
    }
    if (attached && !useLetter && value.empty() && !option.emptyValue.empty()) {
      mistake = longName + " needs " + option.emptyValue;
      done = true;
    } else if (given[index]++ > 0) {
      mistake = longName + " was given twice";
      done = true;
    } else if (value.empty()) {
      expected.push_back(longName);
      expected.emplace_back();
    } else {
      expected.push_back(longName + "=" + value);
    }
  }
  const WalkedWords walked = WalkOptionWords(words, kProgram, kCommands);
  Check(walked.mistake == mistake);
  if (mistake.empty()) {
    Check(walked.words == expected);
  }
}

// What show wrote, also when it failed, and what it found.
struct Shown {
  std::string bytes;
  std::string error;
  ShowReport report;
};

Shown Show(const std::string& text, const std::vector<std::size_t>& lengths, TextEncoding encoding,
           GapView view) {
  Shown shown;
  try {
    shown.report = ShowInPieces(PiecesOf(text, lengths), "fuzz", encoding, view,
                                [&shown](std::string_view bytes) {
                                  Check(!bytes.empty());
                                  shown.bytes += bytes;
                                });
  } catch (const ToolError& error) {
    shown.error = error.what();
  }
  return shown;
}

// Returns true when `line` holds no control character: no C0 control, no DEL, and in UTF-8 no C1
// control (C2 80 to C2 9F).
bool OneLine(std::string_view line, TextEncoding encoding) {
  for (std::size_t at = 0; at < line.size(); ++at) {
    const auto byte = static_cast<unsigned char>(line[at]);
    if (byte < 0x20 || byte == 0x7F) {
      return false;
    }
    if (encoding == TextEncoding::Utf8 && byte == 0xC2 && at + 1 < line.size() &&
        static_cast<unsigned char>(line[at + 1]) < 0xA0) {
      return false;
    }
  }
  return true;
}

// show and clean, against the reference: the text (up to its first bad byte) with each no-break
// space drawn, or made plain.
void CheckShowAndClean(const std::string& text, const std::vector<std::size_t>& lengths,
                       const Reference& reference, const HideSettings& settings) {
  for (const GapView view : {GapView::Marks, GapView::Colour}) {
    const std::u16string_view drawnGap = view == GapView::Marks ? u"·" : u"[43m [49m";
    std::u16string drawn;
    for (const char16_t ch : reference.text) {
      drawn += ch == quillmere::kNoBreakSpace ? drawnGap : std::u16string_view(&ch, 1);
    }
    const Shown whole = Show(text, {}, settings.encoding, view);
    const Shown pieces = Show(text, lengths, settings.encoding, view);
    Check(pieces.bytes == whole.bytes && pieces.error == whole.error);
    Check(whole.bytes == Encode(drawn, settings.encoding));
    if (reference.invalidOffset) {
      Check(whole.error == InvalidError(*reference.invalidOffset));
      continue;
    }
    Check(whole.error.empty());
    const quillmere::BitString bits = quillmere::ExtractBits(reference.text);
    Check(whole.report.gaps == bits.size());
    Check(whole.report.ones ==
          static_cast<std::uint64_t>(std::count(bits.begin(), bits.end(), u'1')));
    const std::u16string allRead = quillmere::BitsToMessage(bits);
    Check(whole.report.message == CodesOf(quillmere::CutAtNul(allRead)));
    Check(pieces.report.gaps == whole.report.gaps && pieces.report.ones == whole.report.ones &&
          pieces.report.message == whole.report.message);
    Check(OneLine(ShowSummary(whole.report, settings.encoding), settings.encoding));
  }

  CleanOptions cleanOptions;
  cleanOptions.encoding = settings.encoding;
  cleanOptions.force = settings.force;
  const HideOptions clean = CleanAsHide(cleanOptions);
  std::uint64_t changed = 0;
  const Outcome cleaned = Run([&] {
    std::string out;
    changed = HideInPieces(PiecesOf(text, lengths), "fuzz", clean.message, clean.settings,
                           [&out](std::string_view bytes) {
                             Check(!bytes.empty());
                             out += bytes;
                           })
                  .noBreakSpaces;
    return out;
  });
  if (reference.invalidOffset) {
    Check(cleaned.error == InvalidError(*reference.invalidOffset));
  } else if (settings.encoding == TextEncoding::Windows1252 && !settings.force &&
             reference.looksLikeUtf8) {
    Check(cleaned.error.starts_with("fuzz: the cover is UTF-8 with characters beyond ASCII"));
  } else {
    Check(cleaned.error.empty());
    std::u16string plain = reference.text;
    std::replace(plain.begin(), plain.end(), quillmere::kNoBreakSpace, quillmere::kSpace);
    Check(cleaned.bytes == Encode(plain, settings.encoding));
    Check(changed == static_cast<std::uint64_t>(std::count(
                         reference.text.begin(), reference.text.end(), quillmere::kNoBreakSpace)));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckOptionWords({reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64)});
  if (size < 2) {
    return 0;
  }
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  HideSettings settings;
  settings.encoding = (data[0] & 1U) != 0 ? TextEncoding::Windows1252 : TextEncoding::Utf8;
  settings.truncate = (data[0] & 2U) != 0;
  settings.force = (data[0] & 4U) != 0;
  const bool raw = (data[0] & 8U) != 0;
  const std::size_t messageLength = std::min<std::size_t>((data[0] >> 4U) * 3U, size - 2);
  Message message{std::string(input.substr(2, messageLength)), 0};
  std::replace(message.codes.begin(), message.codes.end(), '\0', 'x'); // MessageFrom* refuse 0
  const std::string text = TextFromSnippets(input.substr(2 + messageLength), raw, kSnippets);
  std::minstd_rand pick(data[1] + 1U);
  std::vector<std::size_t> lengths(1 + pick() % 8);
  for (std::size_t& length : lengths) {
    length = 1 + pick() % (data[1] % 4 == 0 ? 3 : 97);
  }

  const Reference reference = ReferenceOf(text, settings.encoding);
  std::u16string plain = reference.text;
  std::replace(plain.begin(), plain.end(), quillmere::kNoBreakSpace, quillmere::kSpace);
  const std::uint64_t gaps = quillmere::Capacity(plain);
  const std::uint64_t needed = message.codes.size() * 8;

  // hide: the same whole and in pieces, and as the reference.
  const Outcome whole = Hide(text, {}, message, settings);
  Check(Hide(text, lengths, message, settings) == whole);
  if (reference.invalidOffset) {
    Check(whole.error == InvalidError(*reference.invalidOffset));
  } else if (settings.encoding == TextEncoding::Windows1252 && !settings.force &&
             reference.looksLikeUtf8) {
    Check(whole.error.starts_with("fuzz: the cover is UTF-8 with characters beyond ASCII"));
  } else if (needed > gaps && !settings.truncate) {
    Check(whole.error == "the message needs " + std::to_string(needed) +
                             " gaps, but the cover has only " + std::to_string(gaps) +
                             " (use --truncate to hide only what fits)");
  } else {
    Check(whole.error.empty());
    const std::u16string hidden =
        quillmere::EmbedBits(plain, quillmere::MessageToBits(CharactersOf(message.codes)));
    Check(whole.bytes == Encode(hidden, settings.encoding));
    if (needed > gaps) {
      // What RunHide hides with --truncate: the whole characters that fit, the gaps after them
      // plain, so that reveal reads no made-up character from a cut one.
      const Message cut = WholeCharactersThatFit(message, gaps);
      Check(cut.codes == message.codes.substr(0, gaps / 8));
      const Outcome hiddenCut = Hide(text, lengths, cut, settings);
      Check(hiddenCut.error.empty());
      Check(hiddenCut.bytes ==
            Encode(quillmere::EmbedBits(plain, quillmere::MessageToBits(CharactersOf(cut.codes))),
                   settings.encoding));
      const Outcome back = Reveal(hiddenCut.bytes, lengths, settings.encoding, false);
      Check(back.noMessage ? cut.codes.empty()
                           : back.bytes == Encode(CharactersOf(cut.codes), settings.encoding));
    }
  }

  // capacity and reveal, of the cover and of what hide made of it.
  std::vector<std::string> texts = {text};
  if (whole.error.empty()) {
    texts.push_back(whole.bytes);
  }
  for (const std::string& stego : texts) {
    const Reference stegoReference = ReferenceOf(stego, settings.encoding);
    const std::string name = "fuzz";
    const Outcome capacity = Run([&] {
      const CoverCapacity measured =
          MeasureInPieces(PiecesOf(stego, lengths), name, settings.encoding);
      Check(measured.characters == measured.gaps / 8);
      return std::to_string(measured.gaps);
    });
    const Outcome revealed = Reveal(stego, {}, settings.encoding, false);
    const Outcome bits = Reveal(stego, {}, settings.encoding, true);
    Check(Reveal(stego, lengths, settings.encoding, false) == revealed);
    Check(Reveal(stego, lengths, settings.encoding, true) == bits);
    if (stegoReference.invalidOffset) {
      const std::string error = InvalidError(*stegoReference.invalidOffset);
      Check(capacity.error == error && revealed.error == error && bits.error == error);
      continue;
    }
    const quillmere::BitString extracted = quillmere::ExtractBits(stegoReference.text);
    Check(capacity.bytes == std::to_string(extracted.size()));
    Check(bits.bytes == EncodeUtf8(extracted) + "\n");
    const std::u16string allRead = quillmere::BitsToMessage(extracted);
    const std::u16string_view message16 = quillmere::CutAtNul(allRead);
    Check(revealed.noMessage == message16.empty());
    if (!message16.empty()) {
      Check(revealed.bytes == Encode(message16, settings.encoding));
    }
  }
  CheckShowAndClean(text, lengths, reference, settings);
  if (whole.error.empty()) {
    CheckShowAndClean(whole.bytes, lengths, ReferenceOf(whole.bytes, settings.encoding), settings);
  }
  if (whole.error.empty() && needed <= gaps) {
    // A message hidden whole reads back whole.
    const Outcome back = Reveal(whole.bytes, lengths, settings.encoding, false);
    Check(back.noMessage ? message.codes.empty()
                         : back.bytes == Encode(CharactersOf(message.codes), settings.encoding));
  }
  return 0;
}
