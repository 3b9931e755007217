// SPDX-License-Identifier: MIT
#include "window/form1_actions.hpp"

#include "codec/gap_carriers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace quillmere {
namespace {

using namespace std::string_literals;

std::u16string WithOrdinarySpaces(std::u16string text) {
  std::replace(text.begin(), text.end(), kNoBreakSpace, kSpace);
  return text;
}

void TypeKeyByKey(Form1State& window, TextBox box, std::u16string_view text) {
  for (std::size_t n = 1; n <= text.size(); ++n) {
    window.UserSetsText(box, text.substr(0, n));
  }
}

TEST(Form1State, StartsWithTheStartupTextAndLockedCipherButtons) {
  const Form1State window;
  EXPECT_EQ(window.title, u"Verschlüsselungsdemo");
  EXPECT_EQ(window.text1, StartupCoverText());
  EXPECT_TRUE(window.text2.empty() && window.text3.empty() && window.text4.empty());
  EXPECT_FALSE(window.IsButtonEnabled(Button::Command1));
  EXPECT_FALSE(window.IsButtonEnabled(Button::Command2));
  for (const Button always : {Button::Command3, Button::Command4, Button::Command5}) {
    EXPECT_TRUE(window.IsButtonEnabled(always));
  }
}

TEST(StoredCoverTexts, HaveTheirShapeAndCarryTheirSampleMessages) {
  const std::u16string& startup = StartupCoverText();
  const std::u16string& sample = SampleCoverText();
  EXPECT_EQ(PlainCoverText.size(), 334U);
  EXPECT_EQ(ExtractBits(PlainCoverText), std::u16string(58, u'0'));
  EXPECT_EQ(startup.size(), 350U);
  EXPECT_EQ(sample.size(), 333U);
  EXPECT_EQ(ExtractBits(startup).size(), 58U);
  EXPECT_EQ(ExtractBits(sample).size(), 57U);
  EXPECT_EQ(WithOrdinarySpaces(sample), PlainCoverText.substr(0, 333));
  EXPECT_EQ(std::count(startup.begin(), startup.end(), u'\n'), 8);
  EXPECT_TRUE(WithOrdinarySpaces(startup).ends_with(u"Ruder \r\nläuft. \r\n"));
  EXPECT_NE(StartupMessage, SampleMessage);
  EXPECT_EQ(CutAtNul(BitsToMessage(ExtractBits(startup))), StartupMessage);
  EXPECT_EQ(CutAtNul(BitsToMessage(ExtractBits(sample))), SampleMessage);

  std::u16string words = WithOrdinarySpaces(startup);
  for (std::size_t at = words.find(u"\r\n"); at != std::u16string::npos; at = words.find(u"\r\n")) {
    words.erase(at, 2);
  }
  EXPECT_EQ(words, PlainCoverText);
}

TEST(CheckAccessCode, UnlocksOnlyOnTheExactWholeText) {
  struct Case {
    const char* what;
    std::u16string_view text;
    bool keyByKey;
    bool unlocks;
  };
  const Case cases[] = {
      {"exact, typed", u"TULPEN", true, true},
      {"exact, pasted", u"TULPEN", false, true},
      {"small letters never match", u"tulpen", true, false},
      {"a leading space is not trimmed", u" TULPEN", true, false},
      {"typed on past the code: matched at the sixth letter", u"TULPEN ", true, true},
      {"pasted with a trailing space: never matched", u"TULPEN ", false, false},
      {"a prefix", u"TULPE", true, false},
  };
  for (const Case& c : cases) {
    Form1State window;
    if (c.keyByKey) {
      TypeKeyByKey(window, TextBox::Text3, c.text);
    } else {
      window.UserSetsText(TextBox::Text3, c.text);
    }
    EXPECT_EQ(window.command1Enabled, c.unlocks) << c.what;
    EXPECT_EQ(window.command2Enabled, c.unlocks) << c.what;
  }
}

TEST(CheckAccessCode, ButtonsAreNeverLockedAgain) {
  Form1State window;
  window.UserSetsText(TextBox::Text3, AccessCode);
  window.UserSetsText(TextBox::Text3, u"TULP");
  window.UserSetsText(TextBox::Text3, u"");
  EXPECT_TRUE(window.command1Enabled && window.command2Enabled);
}

TEST(HandleClick, LockedCipherButtonsDoNothing) {
  Form1State window;
  window.text2 = u"abc";
  const Form1State before = window;
  window.UserClicks(Button::Command1);
  window.UserClicks(Button::Command2);
  EXPECT_EQ(window.title, before.title);
  EXPECT_EQ(window.text1, before.text1);
  EXPECT_EQ(window.text4, before.text4);
}

class UnlockedWindow : public ::testing::Test {
protected:
  UnlockedWindow() { window.UserSetsText(TextBox::Text3, AccessCode); }
  Form1State window;
};

TEST_F(UnlockedWindow, DecodeReadsTheStoredSampleMessages) {
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title.size(), 58U);
  EXPECT_EQ(window.text4, StartupMessage);

  window.UserClicks(Button::Command4);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title.size(), 57U);
  EXPECT_EQ(window.text4, SampleMessage);
}

TEST_F(UnlockedWindow, DecodeOfThePlainTextGivesZerosAndAnEmptyResult) {
  window.text4 = u"old";
  window.UserClicks(Button::Command3);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title, std::u16string(58, u'0'));
  EXPECT_EQ(window.text4, u"");
}

TEST_F(UnlockedWindow, RoadOfOneMessage) {
  window.UserClicks(Button::Command3);
  window.UserSetsText(TextBox::Text2, u"abc");
  window.UserClicks(Button::Command2);
  EXPECT_EQ(window.title, u"011000010110001001100011");
  EXPECT_EQ(window.text2, u"abc");
  EXPECT_EQ(window.text4, u"");
  EXPECT_EQ(window.text1.size(), PlainCoverText.size());

  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title, u"011000010110001001100011" + std::u16string(34, u'0'));
  EXPECT_EQ(window.text4, u"abc");
  EXPECT_EQ(window.text2, u"abc");
}

TEST_F(UnlockedWindow, EncodeOfAnEmptyMessageClearsTheTitleOnly) {
  const std::u16string cover = window.text1;
  window.UserClicks(Button::Command2);
  EXPECT_EQ(window.title, u"");
  EXPECT_EQ(window.text1, cover);
}

TEST_F(UnlockedWindow, SecondEncodeKeepsTheFirstMessagesNoBreakSpaces) {
  window.UserClicks(Button::Command3);
  window.UserSetsText(TextBox::Text2, u"abc");
  window.UserClicks(Button::Command2);
  const std::u16string firstBits = ExtractBits(window.text1);
  window.UserSetsText(TextBox::Text2, u"xyz");
  window.UserClicks(Button::Command2);
  window.UserClicks(Button::Command1);
  ASSERT_EQ(window.title.size(), 58U);
  for (std::size_t i = 0; i < firstBits.size(); ++i) {
    if (firstBits[i] == u'1') {
      EXPECT_EQ(window.title[i], u'1') << "gap " << i;
    }
  }
  EXPECT_NE(window.text4, u"abc");
  EXPECT_NE(window.text4, u"xyz");
}

TEST_F(UnlockedWindow, EditingTheCoverByHandShiftsLaterBits) {
  window.UserClicks(Button::Command3);
  window.UserSetsText(TextBox::Text2, u"abc");
  window.UserClicks(Button::Command2);
  window.UserSetsText(TextBox::Text1, u"Hallo " + window.text1);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title.substr(0, 25), u"0011000010110001001100011");
  EXPECT_NE(window.text4, u"abc");
}

TEST_F(UnlockedWindow, OverlongMessageIsCutToTheCapacity) {
  window.UserClicks(Button::Command3);
  window.UserSetsText(TextBox::Text2, u"abcdefgh");
  window.UserClicks(Button::Command2);
  EXPECT_EQ(window.title.size(), 64U);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.text4, u"abcdefg@"); // "h" is 0x68: only its top bits 01 survive
  EXPECT_EQ(window.text4.size(), 8U);
}

TEST_F(UnlockedWindow, CapacityBoundaryIsExactAndOnlyBitsBeyondItAreDropped) {
  // "abcdefg" needs 56 gaps. With 55, the last bit of "g" (0x67) is dropped and it reads as "f".
  const auto cover = [](std::size_t gaps) {
    std::u16string text = u"Wort";
    for (std::size_t gap = 0; gap < gaps; ++gap) {
      text += u" Wort";
    }
    return text;
  };
  window.UserSetsText(TextBox::Text2, u"abcdefg");
  window.UserSetsText(TextBox::Text1, cover(56));
  window.UserClicks(Button::Command2);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.text4, u"abcdefg");

  window.UserSetsText(TextBox::Text1, cover(55));
  window.UserClicks(Button::Command2);
  EXPECT_EQ(window.title.size(), 56U);
  window.UserClicks(Button::Command1);
  EXPECT_EQ(window.title.size(), 55U);
  EXPECT_EQ(window.text4, u"abcdeff");
}

// ReplaceGaps sets gaps in order and leaves every other character, and the gaps beyond `gaps`.
TEST(Form1State, ReplaceGapsSetsTheFirstGapsOnly) {
  struct Case {
    std::u16string_view text;
    std::u16string_view gaps;
    std::u16string_view expected;
  };
  const Case cases[] = {
      {u"a b\u00A0c d", u"\u00A0 ", u"a\u00A0b c d"},
      {u"a b\r\nc", u"\u00A0\u00A0\u00A0", u"a\u00A0b\r\nc"},
      {u"a b c", u"", u"a b c"},
      {u"abc", u"\u00A0", u"abc"},
  };
  for (const Case& each : cases) {
    Form1State window;
    window.text1 = each.text;
    window.ReplaceGaps(TextBox::Text1, each.gaps);
    EXPECT_EQ(window.text1, each.expected);
    EXPECT_EQ(window.ReadGaps(TextBox::Text1), CarriersOf(each.expected));
  }
}

TEST(ShowInfo, ShowsTheInfoTextCaptionedWithTheApplicationTitle) {
  Form1State window;
  window.UserClicks(Button::Command5);
  ASSERT_EQ(window.messageBoxes.size(), 1U);
  EXPECT_EQ(window.messageBoxes[0], (MessageBoxShown{u"quillmere", std::u16string(InfoText)}));
  EXPECT_TRUE(InfoText.starts_with(u"Es handelt sich hier um eine Demo"));
}

TEST(TextBoxRule, TextsEndAtTheirFirstNul) {
  Form1State window;
  window.UserSetsText(TextBox::Text2, u"ab\0cd"s);
  EXPECT_EQ(window.text2, u"ab");
  window.UserSetsText(TextBox::Text3, u"TULPEN\0X"s);
  EXPECT_TRUE(window.command1Enabled);
  window.ReplaceText(TextBox::Text1, u"\0abc"s);
  EXPECT_EQ(window.text1, u"");
}

TEST(TitleFor, CutsOnlyTitlesLongerThanAMillionCharacters) {
  const std::u16string exact(MaxTitleLength, u'1');
  EXPECT_EQ(TitleFor(exact), exact);
  const std::u16string longer = exact + u"0";
  EXPECT_EQ(TitleFor(longer), exact + u"\u2026");
}

} // namespace
} // namespace quillmere
