// SPDX-License-Identifier: MIT
#include "codec/bit_string.hpp"
#include "codec/gap_carriers.hpp"
#include "quillmere_text_fixture.hpp"
#include "window/form1_actions.hpp"

#include <gtest/gtest.h>
#include <utf8.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillmere::cli {
namespace {

#ifdef _WIN32
// Returns true under wine, whose ntdll names its version.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
#endif

// Returns a cover of `gaps` gaps between words, every `noBreakEvery`th of them a no-break space.
std::string CoverWithGaps(std::size_t gaps, std::size_t noBreakEvery = 0) {
  std::string cover = "Wort";
  for (std::size_t gap = 1; gap <= gaps; ++gap) {
    cover += noBreakEvery != 0 && gap % noBreakEvery == 0 ? "\xC2\xA0" : " ";
    cover += "Wort";
  }
  return cover;
}

TEST_F(QuillmereText, RoundTripThroughFilesKeepsEveryOtherByte) {
  const std::string cover = ProseCover("cover.txt", "\r\n");
  ASSERT_GT(cover.size(), 1000U);
  ASSERT_EQ(Run({"hide", "-m", "Treffen um acht, Brücke", "cover.txt", "-o", "stego.txt"}).status,
            0);
  const std::string stego = Slurp(In("stego.txt"));
  EXPECT_EQ(Unhidden(stego), cover);
  const ProgramResult revealed = Run({"reveal", "stego.txt"});
  EXPECT_EQ(revealed.status, 0);
  EXPECT_EQ(revealed.out, "Treffen um acht, Brücke");
}

TEST_F(QuillmereText, RoundTripThroughStandardStreams) {
  const std::string cover = ProseCover("cover.txt");
  Store(In("message.txt"), "Zeile 1\nZeile 2\n");
  const ProgramResult hidden = Run({"hide", "--message-file", "message.txt"}, cover);
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  const ProgramResult r = Run({"reveal", "-"}, hidden.out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Zeile 1\nZeile 2\n");
}

// On Windows, main() gets its arguments in the ANSI code page; the tool must see UTF-8.
TEST_F(QuillmereText, MessageArgumentsArriveAsUtf8) {
  ProseCover("cover.txt");
  struct Case {
    const char* message;
    const char* revealed;
  };
  const Case cases[] = {
      {"Grüße aus Köln", "Grüße aus Köln"}, // in the ANSI code page, but not UTF-8 there
      {"Łódź, 8 Uhr", "?ód?, 8 Uhr"},       // outside it
      {"Treffen \"am\" Tor\\", "Treffen \"am\" Tor\\"}, // quotes and a final backslash
  };
  for (const Case& c : cases) {
    const ProgramResult hidden = Run({"hide", "-m", c.message, "cover.txt", "-o", "stego.txt"});
    EXPECT_EQ(hidden.status, 0) << c.message << ": " << hidden.err;
    EXPECT_EQ(Run({"reveal", "stego.txt"}).out, c.revealed) << c.message;
  }
}

TEST_F(QuillmereText, OutputOverTheCoverItselfIsSafe) {
  const std::string cover = ProseCover("cover.txt");
  ASSERT_EQ(Run({"hide", "-m", "Geheim", "cover.txt", "-o", "cover.txt"}).status, 0);
  EXPECT_EQ(Unhidden(Slurp(In("cover.txt"))), cover);
  EXPECT_EQ(Run({"reveal", "cover.txt"}).out, "Geheim");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1)
      << "a temporary file was left behind";
}

// File names are UTF-8 on every system. On Windows they must reach the wide-character calls
// whole: through the ANSI code page "ä" came out mangled and "Ł" could not be named at all.
TEST_F(QuillmereText, FileNamesBeyondAsciiAreReadAndWrittenUnderTheirOwnNames) {
  const std::string cover = ProseCover("Łódź.txt");
  Store(In("Grüße.txt"), cover);
  Store(In("Nachricht-ß.txt"), "Grüße");
  fs::create_directory(In("Ordner-é"));
  struct Case {
    Arguments arguments;
    const char* output;
    const char* message;
  };
  const Case cases[] = {
      {{"hide", "-m", "hi", "Łódź.txt", "-o", "Ausgabe-ä.txt"}, "Ausgabe-ä.txt", "hi"},
      {{"hide", "--message-file", "Nachricht-ß.txt", "Łódź.txt", "-o", "Notiz-😀.txt"},
       "Notiz-😀.txt",
       "Grüße"},
      {{"hide", "-m", "hi", "Grüße.txt", "-o", "Grüße.txt"}, "Grüße.txt", "hi"}, // in place
      {{"hide", "-m", "hi", "Łódź.txt", "-o", "Ordner-é/Łódź.txt"}, "Ordner-é/Łódź.txt", "hi"},
  };
  for (const Case& c : cases) {
    const ProgramResult hidden = Run(c.arguments);
    EXPECT_EQ(hidden.status, 0) << c.output << ": " << hidden.err;
    EXPECT_TRUE(SameBytes(Unhidden(Slurp(In(c.output))), cover)) << c.output;
    EXPECT_EQ(Run({"reveal", c.output}).out, c.message) << c.output;
  }
  EXPECT_EQ(Run({"capacity", "Łódź.txt"}).status, 0);
  const ProgramResult missing = Run({"capacity", "Fehlt-ö.txt"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("quillmere-text: Fehlt-ö.txt: ", 0), 0U) << missing.err;
  const std::vector<std::string> expected = {"Ausgabe-ä.txt", "Grüße.txt", "Nachricht-ß.txt",
                                             "Notiz-😀.txt", "Ordner-é", "Łódź.txt"};
  EXPECT_EQ(Names(), expected) << "a file was left behind or named wrongly";
}

// A device is written directly, never replaced through a new file beside it.
TEST_F(QuillmereText, DevicesAreWrittenDirectly) {
  ProseCover("cover.txt");
#ifdef _WIN32
  const char* const devices[] = {"NUL", "nul", "\\\\.\\NUL"};
#else
  const char* const devices[] = {"/dev/null"};
#endif
  for (const char* device : devices) {
    const ProgramResult r = Run({"hide", "-m", "hi", "cover.txt", "-o", device});
    EXPECT_EQ(r.status, 0) << device << ": " << r.err;
    EXPECT_EQ(r.err, "") << device;
    EXPECT_EQ(Names(), std::vector<std::string>{"cover.txt"}) << device;
  }
}

#ifdef _WIN32
// ReplaceFileW carries the replaced file's attributes and access rights over; a rename would give
// the new file those of a new file.
TEST_F(QuillmereText, ReplacingAFileKeepsItsAttributes) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "wine's ReplaceFileW does not carry attributes over";
  }
  ProseCover("cover.txt");
  Store(In("versteckt.txt"), "alt");
  ASSERT_NE(SetFileAttributesW(In("versteckt.txt").c_str(), FILE_ATTRIBUTE_HIDDEN), 0);
  const ProgramResult r = Run({"hide", "-m", "hi", "cover.txt", "-o", "versteckt.txt"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(GetFileAttributesW(In("versteckt.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0U);
  EXPECT_EQ(Run({"reveal", "versteckt.txt"}).out, "hi");
}
#endif

TEST_F(QuillmereText, StrayNoBreakSpacesInTheCoverAreMadePlainFirst) {
  Store(In("cover.txt"),
        "Ein\xC2\xA0Text mit\xC2\xA0vielen Leerzeichen, die hier stehen und "
        "dort\xC2\xA0"
        "auch, so dass es reicht.\xC2\xA0");
  const ProgramResult hidden = Run({"hide", "-m", "x", "cover.txt", "-o", "stego.txt"});
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  EXPECT_EQ(Run({"reveal", "stego.txt"}).out, "x");
  EXPECT_EQ(Run({"reveal", "--bits", "stego.txt"}).out, "011110000000000\n");
}

TEST_F(QuillmereText, FailuresExitWithOneAndWriteNothing) {
  Store(In("short.txt"), "nur drei Lücken hier");
  Store(In("bad.txt"), "gut \xC3\xA4 und dann \xFF schlecht");
  struct Case {
    Arguments arguments;
    const char* message;
  };
  const Case cases[] = {
      {{"hide", "-m", "zu-lang", "short.txt", "-o", "out.txt"},
       "needs 56 gaps, but the cover has only 3"},
      {{"hide", "-m", "x", "bad.txt", "-o", "out.txt"},
       "bad.txt: not valid UTF-8 at byte offset 16"},
      {{"reveal", "bad.txt"}, "not valid UTF-8 at byte offset 16"},
      {{"hide", "-m", "x", "missing.txt", "-o", "out.txt"}, "missing.txt"},
      // An output that cannot be opened is told at once, as tee tells it, before the cover's
      // content is read.
      {{"hide", "-m", "x", "bad.txt", "-o", "missing/out.txt"},
       "missing/out.txt: cannot create a file next to it"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.message;
    EXPECT_FALSE(fs::exists(In("out.txt"))) << c.message;
    fs::remove(In("out.txt"));
  }
}

// Standard output cannot take anything back: the cover's faults must be known before a byte goes
// out, also when they lie beyond the first piece read, and when the cover arrives on standard
// input.
TEST_F(QuillmereText, StandardOutputGetsNothingFromABadCover) {
  const std::string prose = ProseCover("cover.txt");
  std::string cover;
  while (cover.size() < std::size_t{600} << 10) {
    cover += prose + "\n";
  }
  Store(In("bad.txt"), cover + "\xFF");
  Store(In("short.txt"), cover);
  Store(In("long.txt"), std::string(cover.size() / 4, 'x'));
  const std::string badOffset = "offset " + std::to_string(cover.size());
  struct Case {
    Arguments arguments;
    std::string input;
    std::string error;
  };
  const Case cases[] = {
      {{"hide", "-m", "x", "bad.txt"}, "", badOffset},
      {{"hide", "-m", "x"}, cover + "\xFF", badOffset},
      {{"hide", "--message-file", "long.txt", "short.txt"}, "", "but the cover has only"},
      {{"hide", "--message-file", "long.txt", "-"}, cover, "but the cover has only"},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.arguments, c.input);
    EXPECT_EQ(r.status, 1) << c.error;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    EXPECT_EQ(r.out.size(), 0U) << c.error;
  }
}

// The reference: the whole text decoded, its no-break spaces made plain, the message hidden with
// the window's codec, and the text encoded again.
std::string HiddenByTheCodec(const std::string& cover, const std::string& message) {
  std::u16string text = utf8::utf8to16(cover);
  std::replace(text.begin(), text.end(), kNoBreakSpace, kSpace);
  return utf8::utf16to8(EmbedBits(text, MessageToBits(utf8::utf8to16(message))));
}

TEST_F(QuillmereText, ACoverOfSeveralPiecesComesOutAlikeOnEveryRoute) {
  // Over 600 KB of prose with CR LF, tabs and stray no-break spaces; the message's bits reach past
  // the first pieces the tool reads.
  const std::string prose = ProseCover("prose.txt", "\r\n\t");
  std::string cover;
  for (int copy = 0; cover.size() < std::size_t{600} << 10; ++copy) {
    cover += prose + (copy % 3 == 0 ? "\xC2\xA0" : " ");
  }
  Store(In("cover.txt"), cover);
  std::string message;
  while (message.size() < 9000) {
    message += "Grüße vom Treffpunkt, ";
  }
  Store(In("message.txt"), message);
  const std::string expected = HiddenByTheCodec(cover, message);
  const Arguments hide = {"hide", "--message-file", "message.txt"};
  const auto with = [&hide](std::initializer_list<std::string> more) {
    Arguments arguments = hide;
    arguments.insert(arguments.end(), more);
    return arguments;
  };
  const ProgramResult toFile = Run(with({"cover.txt", "-o", "out1.txt"}));
  const ProgramResult toStream = Run(with({"cover.txt"}));
  const ProgramResult throughStreams = Run(hide, cover);
  const ProgramResult fromStream = Run(with({"-", "-o", "out2.txt"}), cover);
  for (const ProgramResult* r : {&toFile, &toStream, &throughStreams, &fromStream}) {
    EXPECT_EQ(r->status, 0) << r->err;
  }
  EXPECT_TRUE(SameBytes(Slurp(In("out1.txt")), expected));
  EXPECT_TRUE(SameBytes(toStream.out, expected));
  EXPECT_TRUE(SameBytes(throughStreams.out, expected));
  EXPECT_TRUE(SameBytes(Slurp(In("out2.txt")), expected));
  EXPECT_EQ(Run({"reveal", "out1.txt"}).out, message);
}

TEST_F(QuillmereText, TruncateCutsAndWarns) {
  Store(In("short.txt"), "nur drei Lücken hier");
  const ProgramResult r =
      Run({"hide", "--truncate", "-m", "zu-lang", "short.txt", "-o", "out.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning: the message was cut"), std::string::npos) << r.err;
}

TEST_F(QuillmereText, CharactersOutsideWindows1252AreReplacedWithAWarning) {
  ProseCover("cover.txt");
  const ProgramResult hidden = Run({"hide", "-m", "Gruß 😀", "cover.txt"});
  const ProgramResult r = Run({"reveal"}, hidden.out);
  EXPECT_EQ(hidden.status, 0);
  EXPECT_EQ(r.out, "Gruß ?");
  EXPECT_NE(hidden.err.find("warning: 1 message character has no Windows-1252 code and was hidden"),
            std::string::npos)
      << hidden.err;
}

TEST_F(QuillmereText, Windows1252FilesRoundTrip) {
  const std::string cover =
      "Sch\xF6ne Gr\xFC\xDF"
      "e aus K\xF6ln \x80 \x93zitiert\x94 und so weiter, "
      "bis genug L\xFC"
      "cken da sind, und noch ein paar mehr.\r\n";
  Store(In("cover.txt"), cover);
  Store(In("message.txt"), "\xC4h");
  const ProgramResult hidden = Run({"hide", "--encoding", "windows-1252", "--message-file",
                                    "message.txt", "cover.txt", "-o", "s.txt"});
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  std::string plain = Slurp(In("s.txt"));
  std::replace(plain.begin(), plain.end(), '\xA0', ' ');
  EXPECT_EQ(plain, cover);
  const ProgramResult revealed = Run({"reveal", "--encoding", "windows-1252", "s.txt"});
  EXPECT_EQ(revealed.out, "\xC4h") << revealed.status << ": " << revealed.err;
  EXPECT_EQ(Run({"capacity", "--encoding", "windows-1252", "cover.txt"}).out,
            "18 gaps, 2 characters\n");
}

TEST_F(QuillmereText, CommandLineMistakesExitWithTwoAndNameTheMistake) {
  Store(In("cover.txt"), "ein Text mit genug Lücken für ein x und noch mehr");
  struct Case {
    Arguments arguments;
    const char* message;
  };
  const Case cases[] = {
      {{}, "no command given (choose hide, reveal, capacity, show or clean)"},
      {{"frobnicate", "cover.txt"}, "unknown command 'frobnicate'"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"reveal", "--frobnicate", "cover.txt"}, "unknown option '--frobnicate'"},
      {{"reveal", "cover.txt", "cover.txt"}, "unexpected argument 'cover.txt'"},
      {{"hide", "cover.txt", "-o", "out.txt"},
       "hide needs one message: -m TEXT or --message-file FILE"},
      {{"hide", "-m", "x", "--message-file", "cover.txt", "cover.txt", "-o", "out.txt"},
       "hide needs one message: -m TEXT or --message-file FILE"},
      {{"hide", "cover.txt", "-o", "out.txt", "-m"}, "option --message needs a value"},
      {{"reveal", "--encoding", "latin1", "cover.txt"},
       "unknown encoding 'latin1' (choose utf-8 or windows-1252)"},
      {{"hide", "-m", "x", "--encoding", "1", "cover.txt", "-o", "out.txt"},
       "unknown encoding '1' (choose utf-8 or windows-1252)"}, // not the coding's number
      {{"capacity", "--encoding", "0", "cover.txt"},
       "unknown encoding '0' (choose utf-8 or windows-1252)"},
      // "--name=" gives the empty value, which never comes from the next word.
      {{"hide", "--message-file=", "cover.txt", "-o", "out.txt"},
       "--message-file needs a file name"},
      {{"reveal", "--encoding=", "cover.txt"}, "--encoding needs an encoding name"},
      {{"hide", "-m", "hi", "--encoding=", "utf-8", "cover.txt", "-o", "out.txt"},
       "--encoding needs an encoding name"},
      // An option given twice, a flag given a value.
      {{"hide", "-m", "a", "-m", "b", "cover.txt", "-o", "out.txt"}, "--message was given twice"},
      {{"hide", "-m", "a", "--message=b", "cover.txt", "-o", "out.txt"},
       "--message was given twice"},
      {{"hide", "-m", "a", "cover.txt", "-o", "out.txt", "--output", "other.txt"},
       "--output was given twice"},
      {{"reveal", "--encoding", "utf-8", "--encoding", "cp1252", "cover.txt"},
       "--encoding was given twice"},
      {{"reveal", "--bits=x", "cover.txt"}, "--bits takes no value"},
      {{"reveal", "--bits=false", "cover.txt"}, "--bits takes no value"},
      {{"hide", "--truncate=1", "-m", "a", "cover.txt", "-o", "out.txt"},
       "--truncate takes no value"},
      // Both from standard input: the message would take all of it.
      {{"hide", "--message-file", "-", "-", "-o", "out.txt"},
       "the message and the cover cannot both come from standard input"},
      {{"hide", "--message-file=-", "-o", "out.txt"},
       "the message and the cover cannot both come from standard input"},
  };
  for (const Case& c : cases) {
    const std::string shown = c.arguments.empty() ? "(none)" : c.arguments[0];
    const ProgramResult r = Run(c.arguments);
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_EQ(r.err.rfind(std::string("quillmere-text: ") + c.message + "\n", 0), 0U)
        << shown << ": " << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_FALSE(fs::exists(In("out.txt"))) << shown;
  }
}

// "--output= brief.txt" wrote an empty brief.txt: the next word became the output, and the cover
// was read from standard input. "--message= --truncate" hid the flag as the message.
TEST_F(QuillmereText, AnEmptyOptionValueNeverTakesTheNextWord) {
  const std::string cover = CoverWithGaps(40);
  Store(In("cover.txt"), cover);
  const ProgramResult output = Run({"hide", "--truncate", "-m", "hi", "--output=", "cover.txt"});
  EXPECT_EQ(output.status, 2) << output.err;
  EXPECT_EQ(output.err.rfind("quillmere-text: --output needs a file name\n", 0), 0U) << output.err;
  EXPECT_EQ(Names(), std::vector<std::string>{"cover.txt"});
  EXPECT_EQ(Slurp(In("cover.txt")), cover);
  // An empty message is a message of no characters; the flag after it stays a flag.
  const ProgramResult empty =
      Run({"hide", "--message=", "--truncate", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(empty.status, 0) << empty.err;
  EXPECT_EQ(empty.err, "");
  EXPECT_EQ(Run({"reveal", "out.txt"}).status, 3);
  EXPECT_EQ(Slurp(In("out.txt")), cover);
}

// An empty file name is a file that does not exist, as for cat, never a standard stream.
TEST_F(QuillmereText, AnEmptyFileNameIsNoSuchFileNotAStandardStream) {
  const std::string cover = CoverWithGaps(40);
  Store(In("cover.txt"), cover);
  const Arguments cases[] = {
      {"reveal", ""},
      {"capacity", ""},
      {"hide", "-m", "hi", ""},
      {"hide", "-m", "hi", "cover.txt", "-o", ""},
      {"hide", "-m", "hi", "cover.txt", "--output", ""},
      {"hide", "--message-file", "", "cover.txt"},
  };
  for (const Arguments& arguments : cases) {
    const std::string shown = arguments[0] + " " + arguments[arguments.size() - 2];
    const ProgramResult r = Run(arguments, cover);
    EXPECT_EQ(r.status, 1) << shown << ": " << r.err;
    EXPECT_EQ(r.err, "quillmere-text: '': No such file or directory\n") << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(Names(), std::vector<std::string>{"cover.txt"}) << shown;
  }
}

// As with getopt_long, the words are taken in order: --help before a mistake prints the help, and
// a value is taken whole, even when it starts with a dash.
TEST_F(QuillmereText, WordsAreTakenInOrderHelpFirstValuesWhole) {
  Store(In("cover.txt"), CoverWithGaps(80));
  for (const Arguments& arguments :
       {Arguments{"hide", "--help", "-m"}, Arguments{"hide", "-h", "--output="},
        Arguments{"reveal", "--help", "--bits=x"}}) {
    const ProgramResult r = Run(arguments);
    EXPECT_EQ(r.status, 0) << arguments[1] << " " << arguments[2] << ": " << r.err;
    EXPECT_EQ(r.out.rfind("Usage: quillmere-text " + arguments[0] + " [OPTIONS] ", 0), 0U)
        << r.out;
  }
  const ProgramResult dash = Run({"hide", "-m", "--help", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(dash.status, 0) << dash.err;
  EXPECT_EQ(Run({"reveal", "out.txt"}).out, "--help");
  const ProgramResult joined = Run({"hide", "--message=-x=y", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(joined.status, 0) << joined.err;
  EXPECT_EQ(Run({"reveal", "out.txt"}).out, "-x=y");
}

// A name that holds a line end would otherwise split the message in two.
TEST_F(QuillmereText, FileNamesWithLineEndsAreQuotedInMessages) {
  const ProgramResult r = Run({"capacity", "zwei\nZeilen.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quillmere-text: 'zwei\\nZeilen.txt': No such file or directory\n");
#ifndef _WIN32
  const ProgramResult bytes = Run({"reveal", "kaputt\xFF.txt"});
  EXPECT_EQ(bytes.status, 1);
  EXPECT_EQ(bytes.err, "quillmere-text: 'kaputt\\xFF.txt': No such file or directory\n");
#endif
}

TEST_F(QuillmereText, OneCharacterAndOneGapAreSingular) {
  struct Case {
    std::size_t gaps;
    const char* shown;
  };
  for (const Case& c : {Case{0, "0 gaps, 0 characters\n"}, Case{1, "1 gap, 0 characters\n"},
                        Case{8, "8 gaps, 1 character\n"}, Case{16, "16 gaps, 2 characters\n"}}) {
    Store(In("cover.txt"), CoverWithGaps(c.gaps));
    EXPECT_EQ(Run({"capacity", "cover.txt"}).out, c.shown);
  }
}

// --truncate hides whole characters: 11 gaps hold "A" and three bits of "B", which read back as a
// made-up "@".
TEST_F(QuillmereText, TruncateHidesWholeCharactersOnlyAndSaysHowMany) {
  Store(In("c12"), "x x x x x x x x x x x x\n");
  for (const Arguments& output : {Arguments{"-o", "out.txt"}, Arguments{}}) {
    Arguments hide{"hide", "-m", "AB", "--truncate", "c12"};
    hide.insert(hide.end(), output.begin(), output.end());
    const ProgramResult hidden = Run(hide);
    ASSERT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(hidden.err, "quillmere-text: warning: the message was cut to 1 of its 2 characters, "
                          "as many as the cover's 11 gaps hold\n");
    if (output.empty()) {
      Store(In("out.txt"), hidden.out);
    }
    EXPECT_EQ(Run({"reveal", "out.txt"}).out, "A");
    EXPECT_EQ(Run({"reveal", "--bits", "out.txt"}).out, "01000001000\n");
  }
}

TEST_F(QuillmereText, EncodingNamesIgnoreCaseAndCp1252IsWindows1252) {
  Store(In("cover.txt"), "ein Text mit genug Lücken für ein x und noch mehr");
  for (const char* name : {"UTF-8", "utf-8", "Windows-1252", "cp1252", "CP1252"}) {
    const ProgramResult r = Run({"capacity", "--encoding", name, "cover.txt"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, "10 gaps, 1 character\n") << name;
  }
}

TEST_F(QuillmereText, HelpStartsWithUsageFitsEightyColumnsAndNamesFiles) {
  for (const char* command : {"", "hide", "reveal", "capacity", "show", "clean"}) {
    Arguments arguments;
    if (*command != '\0') {
      arguments.emplace_back(command);
    }
    arguments.emplace_back("--help");
    const ProgramResult r = Run(arguments);
    const std::string usage =
        std::string("Usage: quillmere-text") + (*command != '\0' ? " " : "") + command;
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_EQ(r.out.rfind(usage + " [OPTIONS] ", 0), 0U) << r.out;
    EXPECT_NE(r.out.find("FILE"), std::string::npos) << r.out;
    std::string lower = r.out;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_EQ(lower.find("stego"), std::string::npos) << r.out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_LE(line.size(), 80U) << line;
    }
    EXPECT_EQ(r.out.back(), '\n');
  }
}

TEST_F(QuillmereText, VersionNamesTheLicenceAndEndsWithANewline) {
  const ProgramResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quillmere-text 1.00\n", 0), 0U) << version.out;
  EXPECT_NE(version.out.find("MIT License"), std::string::npos) << version.out;
  EXPECT_EQ(version.out.back(), '\n');
}

// On Windows standard streams are text streams unless told otherwise, and write LF as CR LF.
TEST_F(QuillmereText, EveryLineEndWrittenIsLf) {
  Store(In("short.txt"), "nur drei Lücken hier");
  const Arguments runs[] = {
      {"--version"},
      {"--help"},
      {"hide", "--help"},
      {"reveal", "--encoding", "latin1"},
      {"capacity", "missing.txt"},
      {"capacity", "short.txt"},
      {"reveal", "--bits", "short.txt"},
      {"hide", "--truncate", "-m", "zu-lang", "short.txt", "-o", "out.txt"},
  };
  for (const Arguments& arguments : runs) {
    const ProgramResult r = Run(arguments);
    EXPECT_NE(r.out + r.err, "") << arguments[0];
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << arguments[0] << ": " << r.out;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << arguments[0] << ": " << r.err;
  }
}

// The exit status says what happened: 0 done, 1 failed and nothing written, 3 nothing found.
class ExitStatus : public QuillmereText {};

TEST_F(ExitStatus, AMessageThatFillsEveryGapIsHiddenWholeOneGapMoreFails) {
  // "AC" needs 16 gaps. In 15, --truncate hides "A" only: a "C" without its last bit would read
  // back as "B".
  struct Case {
    std::size_t gaps;
    std::size_t noBreakEvery;
    Arguments options;
    int status;
    const char* revealed;
  };
  const Case cases[] = {
      {16, 0, {}, 0, "AC"},
      {16, 3, {}, 0, "AC"},
      {15, 0, {}, 1, nullptr},
      {15, 3, {}, 1, nullptr},
      {15, 0, {"--truncate"}, 0, "A"},
      {15, 3, {"--truncate"}, 0, "A"},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.gaps) + " gaps, no-break every " +
                             std::to_string(c.noBreakEvery) +
                             (c.options.empty() ? "" : " --truncate");
    Store(In("cover.txt"), CoverWithGaps(c.gaps, c.noBreakEvery));
    fs::remove(In("out.txt"));
    Arguments hide{"hide"};
    hide.insert(hide.end(), c.options.begin(), c.options.end());
    hide.insert(hide.end(), {"-m", "AC", "cover.txt", "-o", "out.txt"});
    const ProgramResult hidden = Run(hide);
    EXPECT_EQ(hidden.status, c.status) << name << ": " << hidden.err;
    if (c.revealed == nullptr) {
      EXPECT_NE(hidden.err.find("needs 16 gaps, but the cover has only 15"), std::string::npos)
          << name << ": " << hidden.err;
      EXPECT_FALSE(fs::exists(In("out.txt"))) << name;
    } else {
      EXPECT_EQ(Run({"reveal", "out.txt"}).out, c.revealed) << name;
    }
  }
}

TEST_F(ExitStatus, RevealWithoutAMessageSaysSoAndExitsThree) {
  Store(In("plain.txt"), CoverWithGaps(48));
  Store(In("nogaps.txt"), "Kein_einziger_Zwischenraum");
  Store(In("long.txt"), CoverWithGaps(20000)); // several pieces

  ASSERT_EQ(Run({"hide", "-m", "Hallo", "plain.txt", "-o", "stego.txt"}).status, 0);
  ASSERT_EQ(Run({"hide", "-m", "", "plain.txt", "-o", "empty.txt"}).status, 0);
  struct Case {
    Arguments command;
    int status;
    const char* out;
    const char* err;
  };
  const Case cases[] = {
      {{"reveal", "plain.txt"}, 3, "", "no hidden message: all 48 gaps are ordinary spaces\n"},
      {{"reveal", "empty.txt"}, 3, "", "no hidden message: all 48 gaps are ordinary spaces\n"},
      {{"reveal", "nogaps.txt"}, 3, "", "no hidden message: the text has no gaps\n"},
      {{"reveal", "long.txt"}, 3, "", "no hidden message: all 20000 gaps are ordinary spaces\n"},
      {{"reveal", "stego.txt"}, 0, "Hallo", ""},
      {{"reveal", "--bits", "plain.txt"},
       0,
       "000000000000000000000000000000000000000000000000\n",
       ""},
  };
  for (const Case& c : cases) {
    const ProgramResult r = Run(c.command);
    EXPECT_EQ(r.status, c.status) << c.command.back();
    EXPECT_EQ(r.out, c.out) << c.command.back();
    EXPECT_EQ(r.err, c.err[0] == '\0' ? "" : std::string("quillmere-text: ") + c.err)
        << c.command.back();
  }
}

TEST_F(ExitStatus, MessageWithNulIsRefusedSinceRevealWouldStopThere) {
  Store(In("cover.txt"), CoverWithGaps(100));
  // Not "nul.txt": on Windows that names the NUL device, whatever the extension.
  Store(In("ab-nul.txt"), std::string("ab\0cd", 5));
  Store(In("emoji-nul.txt"), std::string("\xF0\x9F\x98\x80\0", 5));
  const ProgramResult nul =
      Run({"hide", "--message-file", "ab-nul.txt", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(nul.status, 1);
  EXPECT_EQ(nul.err,
            "quillmere-text: the message holds U+0000 at character 3; nothing after it could be "
            "revealed\n");
  const ProgramResult emoji =
      Run({"hide", "--message-file", "emoji-nul.txt", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(emoji.status, 1);
  EXPECT_NE(emoji.err.find("U+0000 at character 2;"), std::string::npos) << emoji.err;
  EXPECT_FALSE(fs::exists(In("out.txt")));
}

TEST_F(ExitStatus, Windows1252OnAUtf8CoverIsRefusedUnlessForced) {
  // "à" is C3 A0 in UTF-8: read as Windows-1252 its A0 is a gap, and hiding would break it.
  const std::string utf8 = CoverWithGaps(20) + " voil\xC3\xA0 \xE2\x80\xA0";
  Store(In("utf8.txt"), utf8);
  Store(In("ascii.txt"), CoverWithGaps(20));
  const ProgramResult refused =
      Run({"hide", "--encoding", "windows-1252", "-m", "a", "utf8.txt", "-o", "out.txt"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("utf8.txt: the cover is UTF-8"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(In("out.txt")));
  EXPECT_EQ(
      Run({"hide", "--encoding", "windows-1252", "--force", "-m", "a", "utf8.txt", "-o", "out.txt"})
          .status,
      0);
  EXPECT_EQ(
      Run({"hide", "--encoding", "windows-1252", "-m", "a", "ascii.txt", "-o", "out.txt"}).status,
      0);
}

TEST_F(ExitStatus, EncodingHintOnlyForFilesNeverForTheMessageArgument) {
  Store(In("cover.txt"), CoverWithGaps(20));
  Store(In("bad.txt"), "gut \xFF");
#ifndef _WIN32
  // Windows passes arguments as UTF-16, so no invalid UTF-8 can reach the tool there.
  const ProgramResult argument = Run({"hide", "-m", "a\xFF", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(argument.status, 1);
  EXPECT_EQ(argument.err, "quillmere-text: the message: not valid UTF-8 at byte offset 1\n");
#endif
  const ProgramResult file =
      Run({"hide", "--message-file", "bad.txt", "cover.txt", "-o", "out.txt"});
  EXPECT_EQ(file.status, 1);
  EXPECT_NE(file.err.find("bad.txt: not valid UTF-8 at byte offset 4 (use --encoding"),
            std::string::npos)
      << file.err;
}

#ifndef _WIN32
TEST_F(ExitStatus, OutputThatCannotBeWrittenIsAnErrorEvenForVersionAndHelp) {
  Store(In("cover.txt"), CoverWithGaps(20));
  ASSERT_EQ(RunShell("$Q hide -m x cover.txt -o stego.txt").status, 0);
  for (const char* command : {"$Q --version >/dev/full", "$Q --help >/dev/full", "$Q --version >&-",
                              "$Q reveal stego.txt >/dev/full", "$Q capacity cover.txt >&-",
                              "$Q hide -m x cover.txt >/dev/full"}) {
    const ProgramResult r = RunShell(command);
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("standard output: write error"), std::string::npos)
        << command << ": " << r.err;
  }
}
#endif

TEST_F(QuillmereText, TheWindowReadsWhatTheToolHid) {
  ProseCover("cover.txt", "\r\n");
  ASSERT_EQ(Run({"hide", "-m", "Um acht am Tor", "cover.txt", "-o", "stego.txt"}).status, 0);
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserSetsText(TextBox::Text1, utf8::utf8to16(Slurp(In("stego.txt"))));
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.text4, u"Um acht am Tor");
}

TEST_F(QuillmereText, TheToolReadsWhatTheWindowHid) {
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserClicks(Button::Command3); // the plain cover text
  window.UserSetsText(TextBox::Text2, u"Grüße");
  window.UserClicks(Button::Command2);
  Store(In("stego.txt"), utf8::utf16to8(window.text1));
  EXPECT_EQ(Run({"reveal", "stego.txt"}).out, "Grüße");
  EXPECT_EQ(Run({"capacity", "stego.txt"}).out, "58 gaps, 7 characters\n");
}

} // namespace
} // namespace quillmere::cli
