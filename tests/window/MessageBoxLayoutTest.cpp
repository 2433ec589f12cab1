#include "platform/window/MessageBoxLayout.h"
#include "platform/window/PlatformWindow.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(MessageBoxLayout, TextWrapsAtTheLastSpaceOrIsCut)
{
  EXPECT_EQ(MessageBoxLayout::WrapLines("", 10), (Lines{""}));
  EXPECT_EQ(MessageBoxLayout::WrapLines("one\ntwo\n", 10), (Lines{"one", "two", ""}));
  // The space the line breaks at goes; a line without one is cut at the column.
  EXPECT_EQ(MessageBoxLayout::WrapLines("aaa bbb ccc ddd", 10), (Lines{"aaa bbb", "ccc ddd"}));
  EXPECT_EQ(MessageBoxLayout::WrapLines("abcdefghijklmnopqrstuvwxy", 10),
            (Lines{"abcdefghij", "klmnopqrst", "uvwxy"}));
  // A space only at the start is no place to break; a space right at the column starts the next line.
  EXPECT_EQ(MessageBoxLayout::WrapLines(" bcdefghijkl", 10), (Lines{" bcdefghij", "kl"}));
  EXPECT_EQ(MessageBoxLayout::WrapLines("abcdefghij klm", 10), (Lines{"abcdefghij", " klm"}));
  EXPECT_EQ(MessageBoxLayout::WrapLines("exactly 10", 10), (Lines{"exactly 10"}));

  const std::string sentence =
      "The bank could not be written: the synthesizer did not answer the request in time";
  const Lines wrapped = MessageBoxLayout::WrapLines(sentence, MessageBoxLayout::kWrapColumns);
  ASSERT_EQ(wrapped.size(), 2u);
  EXPECT_EQ(wrapped[0], "The bank could not be written: the synthesizer did not answer the");
  EXPECT_EQ(wrapped[1], "request in time");
}

TEST(MessageBoxLayout, ButtonsSizesAndAnswers)
{
  const auto sixEach = [](const std::string& s) { return 6 * int(s.size()); };

  // Yes, No, Cancel: 3 x 80 + 2 x 10 wide, wider than the text; centred under it.
  const MessageBoxLayout three("Replace the bank?\nIt holds changes.", kMessageBoxYesNoCancel, 13, sixEach);
  EXPECT_EQ(three.Lines(), (Lines{"Replace the bank?", "It holds changes."}));
  EXPECT_EQ(three.Width(), 260 + 32);
  EXPECT_EQ(three.Height(), 16 + 2 * 13 + 16 + 25 + 16);
  EXPECT_EQ(three.LineTop(1), 16 + 13);
  ASSERT_EQ(three.Buttons().size(), 3u);
  const MessageBoxButton& no = three.Buttons()[1];
  EXPECT_EQ(no.label, "No");
  EXPECT_EQ(no.x, 16 + 90);
  EXPECT_EQ(no.y, three.Height() - 16 - 25);
  EXPECT_EQ(no.width, 80);
  EXPECT_EQ(no.height, 25);
  EXPECT_EQ(no.labelX, no.x + (80 - 12) / 2);
  EXPECT_EQ(no.labelTop, no.y + 6);
  EXPECT_EQ(three.AnswerAt(no.x, no.y), kMessageBoxAnswerNo);
  EXPECT_EQ(three.AnswerAt(no.x + 79, no.y + 24), kMessageBoxAnswerNo);
  EXPECT_EQ(three.AnswerAt(no.x + 80, no.y), kMessageBoxAnswerNone); // the gap
  EXPECT_EQ(three.AnswerAt(no.x, no.y - 1), kMessageBoxAnswerNone);
  EXPECT_EQ(three.AnswerAt(no.x - 11, no.y), kMessageBoxAnswerYes);
  EXPECT_EQ(three.ReturnAnswer(), kMessageBoxAnswerYes);
  EXPECT_EQ(three.EscapeAnswer(), kMessageBoxAnswerCancel);

  // A long text sets the width; OK alone answers both keys.
  const MessageBoxLayout ok(std::string(50, 'x'), kMessageBoxOk, 10, sixEach);
  EXPECT_EQ(ok.Width(), 300 + 32);
  ASSERT_EQ(ok.Buttons().size(), 1u);
  EXPECT_EQ(ok.Buttons()[0].x, (332 - 80) / 2);
  EXPECT_EQ(ok.ReturnAnswer(), kMessageBoxAnswerOk);
  EXPECT_EQ(ok.EscapeAnswer(), kMessageBoxAnswerOk);

  const MessageBoxLayout yesNo("?", kMessageBoxYesNo, 10, sixEach);
  EXPECT_EQ(yesNo.ReturnAnswer(), kMessageBoxAnswerYes);
  EXPECT_EQ(yesNo.EscapeAnswer(), kMessageBoxAnswerNo);
  const MessageBoxLayout okCancel("?", kMessageBoxOkCancel, 10, sixEach);
  EXPECT_EQ(okCancel.Buttons()[1].label, "Cancel");
  EXPECT_EQ(okCancel.EscapeAnswer(), kMessageBoxAnswerCancel);
}
