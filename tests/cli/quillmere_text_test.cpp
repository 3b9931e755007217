// SPDX-License-Identifier: MIT
#include "cli/text_files.hpp"
#include "run_program.hpp"
#include "window/form1_actions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillmere::cli {
namespace {

namespace fs = std::filesystem;
using quillmere::testing::ProgramResult;
using Arguments = std::vector<std::string>;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void Store(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Runs the tool in a scratch directory; each test gets its own.
class QuillmereText : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("quillmere_text_test_" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path In(const std::string& name) const { return dir_ / name; }

  // Runs the tool with `arguments` in the scratch directory, `input` on its standard input.
  ProgramResult Run(const Arguments& arguments, std::string_view input = {}) const {
    return quillmere::testing::RunProgram(QUILLMERE_TEXT_EXECUTABLE, arguments, dir_, input);
  }

  // Writes a cover of German prose, its lines joined by `lineEnd`, without a final line end.
  std::string ProseCover(const std::string& name, const std::string& lineEnd = "\n") const {
    std::istringstream lines(Slurp(QUILLMERE_TEST_DATA "/prosa.txt"));
    std::string text;
    for (std::string line; std::getline(lines, line);) {
      text += line + lineEnd;
    }
    text.resize(text.size() - lineEnd.size());
    Store(In(name), text);
    return text;
  }

  fs::path dir_;
};

// Returns `stego` with its no-break spaces made plain again, as UTF-8 bytes.
std::string Unhidden(std::string stego) {
  for (std::size_t at; (at = stego.find("\xC2\xA0")) != std::string::npos;) {
    stego.replace(at, 2, " ");
  }
  return stego;
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
  EXPECT_NE(hidden.err.find("warning: 1 message character(s) have no Windows-1252 code"),
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
  EXPECT_EQ(Run({"reveal", "--encoding", "windows-1252", "s.txt"}).out, "\xC4h");
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
      {{}, "no command given (choose hide, reveal or capacity)"},
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

TEST_F(QuillmereText, EncodingNamesIgnoreCaseAndCp1252IsWindows1252) {
  Store(In("cover.txt"), "ein Text mit genug Lücken für ein x und noch mehr");
  for (const char* name : {"UTF-8", "utf-8", "Windows-1252", "cp1252", "CP1252"}) {
    const ProgramResult r = Run({"capacity", "--encoding", name, "cover.txt"});
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(r.out, "10 gaps, 1 characters\n") << name;
  }
}

TEST_F(QuillmereText, HelpStartsWithUsageFitsEightyColumnsAndNamesFiles) {
  for (const char* command : {"", "hide", "reveal", "capacity"}) {
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

TEST_F(QuillmereText, TheWindowReadsWhatTheToolHid) {
  ProseCover("cover.txt", "\r\n");
  ASSERT_EQ(Run({"hide", "-m", "Um acht am Tor", "cover.txt", "-o", "stego.txt"}).status, 0);
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserSetsText(TextBox::Text1,
                      DecodeText(Slurp(In("stego.txt")), Encoding::Utf8, "stego.txt"));
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.text4, u"Um acht am Tor");
}

TEST_F(QuillmereText, TheToolReadsWhatTheWindowHid) {
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserClicks(Button::Command3); // the plain cover text
  window.UserSetsText(TextBox::Text2, u"Grüße");
  window.UserClicks(Button::Command2);
  Store(In("stego.txt"), EncodeText(window.text1, Encoding::Utf8));
  EXPECT_EQ(Run({"reveal", "stego.txt"}).out, "Grüße");
  EXPECT_EQ(Run({"capacity", "stego.txt"}).out, "58 gaps, 7 characters\n");
}

} // namespace
} // namespace quillmere::cli
