#include "WindowTestSupport.h"

#include "framework/support/HeapString.h"
#include "platform/window/DoubleClickDetector.h"
#include "platform/window/ModuleFolders.h"
#include "platform/window/ProcessSpawn.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(EditorWindowDialogs, FilePrompt)
{
  HeadlessEditor e;
  HeapString file("patch.syx"), folder("/data/banks/");
  e.window->QueueFileAnswer(kDialogChosen, "/home/u/My Banks/new.syx");
  e.graphics->PromptForFilePath(&file, 1, &folder, "syx mid");
  EXPECT_STREQ(file.Get(), "/home/u/My Banks/new.syx");
  EXPECT_STREQ(folder.Get(), "/home/u/My Banks/");
  EXPECT_EQ(e.graphics->LastDialogStatus(), kDialogChosen);

  // Cancelled or unavailable: both keep their values, and the status says which.
  e.window->QueueFileAnswer(kDialogUnavailable, "");
  e.graphics->PromptForFilePath(&file, 0, &folder, "syx");
  EXPECT_STREQ(file.Get(), "/home/u/My Banks/new.syx");
  EXPECT_EQ(e.graphics->LastDialogStatus(), kDialogUnavailable);

  // An empty folder starts at the desktop.
  HeapString empty;
  e.graphics->PromptForFilePath(&file, 0, &empty, "syx");
  EXPECT_STREQ(empty.Get(), DesktopFolder().c_str());
  EXPECT_EQ(e.graphics->LastDialogStatus(), kDialogCancelled);

  // Without a window the file is emptied.
  e.graphics->DestroyEditorWindow();
  e.graphics->PromptForFilePath(&file, 0, &folder, "syx");
  EXPECT_STREQ(file.Get(), "");
}

TEST(EditorWindowDialogs, ColourMessageBoxAndShell)
{
  HeadlessEditor e;
  IColour c(128, 1, 2, 3);
  e.window->QueueColourAnswer(kDialogChosen, 10, 20, 30);
  EXPECT_TRUE(e.graphics->PromptForColour(&c, "Pick"));
  EXPECT_EQ(c, IColour(128, 10, 20, 30));                // alpha unchanged
  EXPECT_FALSE(e.graphics->PromptForColour(&c, "Pick")); // cancelled
  EXPECT_EQ(c, IColour(128, 10, 20, 30));

  // The confirmation is asked first; No opens nothing.
  e.window->QueueMessageBoxAnswer(kMessageBoxAnswerNo);
  EXPECT_FALSE(e.graphics->OpenWithShell("https://example.org/a b", "Web", "Open the page?", "Failed"));
  EXPECT_TRUE(e.window->ShellTargets().empty());
  e.window->QueueMessageBoxAnswer(kMessageBoxAnswerYes);
  EXPECT_TRUE(e.graphics->OpenWithShell("https://example.org/a b", "Web", "Open the page?", "Failed"));
  ASSERT_EQ(e.window->ShellTargets().size(), 1u);
  EXPECT_EQ(e.window->ShellTargets()[0], "https://example.org/a b");
  // An empty target fails and shows the error text.
  EXPECT_FALSE(e.graphics->OpenWithShell("", "Web", nullptr, "Could not open"));
  EXPECT_EQ(e.window->MessageBoxTexts().back(), "Web: Could not open");
  e.window->QueueMessageBoxAnswer(kMessageBoxAnswerCancel);
  EXPECT_EQ(e.graphics->ShowMessageBox("Sure?", "Q", kMessageBoxYesNoCancel), kMessageBoxAnswerCancel);
}

TEST(HelperPrograms, WindowsCommandLinesQuoteOnlyWhatNeedsIt)
{
  EXPECT_EQ(QuotedCommandLine({"prog", "plain", "C:\\dir\\file"}), "prog plain C:\\dir\\file");
  EXPECT_EQ(QuotedCommandLine({"a b", ""}), "\"a b\" \"\"");
  // Backslashes double only before a quote: an inner one and the closing one.
  EXPECT_EQ(QuotedCommandLine({"say \"hi\""}), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuotedCommandLine({"x\\\"y"}), "\"x\\\\\\\"y\"");
  EXPECT_EQ(QuotedCommandLine({"C:\\My Folder\\"}), "\"C:\\My Folder\\\\\"");
  EXPECT_EQ(QuotedCommandLine({}), "");
}

TEST(HelperPrograms, PromptArgumentsAndAnswers)
{
  auto save = FilePromptArguments(true, "/tmp/x y", "a.syx", {"syx", "mid"});
  EXPECT_EQ(save, (std::vector<std::string>{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                                            "--filename=/tmp/x y/a.syx", "--file-filter=*.syx *.mid"}));
  auto open = FilePromptArguments(false, "", "", {});
  EXPECT_EQ(open, (std::vector<std::string>{"zenity", "--file-selection"}));
  const uint8_t start[3] = {1, 2, 255};
  auto colour = ColourPromptArguments("Title", start);
  EXPECT_EQ(colour[2], "--color=rgb(1,2,255)");

  uint8_t rgb[3] = {};
  EXPECT_TRUE(ParseColourAnswer("rgb(10,20,30)\n", rgb));
  EXPECT_EQ(rgb[1], 20);
  EXPECT_TRUE(ParseColourAnswer("rgba(1,2,3,0.5)", rgb));
  EXPECT_EQ(rgb[2], 3);
  EXPECT_TRUE(ParseColourAnswer("#A0b1C2", rgb));
  EXPECT_EQ(rgb[0], 0xA0);
  EXPECT_EQ(rgb[2], 0xC2);
  EXPECT_FALSE(ParseColourAnswer("rgb(300,0,0)", rgb));
  EXPECT_FALSE(ParseColourAnswer("", rgb));
  EXPECT_FALSE(ParseColourAnswer("#12345", rgb));
}

TEST(HelperPrograms, FoldersAndDoubleClicks)
{
  EXPECT_EQ(FolderOfPath("/usr/lib/vst/velk.so"), "/usr/lib/vst/");
  EXPECT_EQ(FolderOfPath("/usr/lib/"), "");
  EXPECT_EQ(FolderOfPath("velk.so"), "");
  EXPECT_FALSE(HostExecutableFolder().empty());

  DoubleClickDetector d(500, 4);
  EXPECT_FALSE(d.Press(kWindowButtonLeft, 10, 10, 0xFFFFFF80u));
  EXPECT_TRUE(d.Press(kWindowButtonLeft, 14, 6, 0x00000100u)); // across the clock's wrap
  EXPECT_FALSE(d.Press(kWindowButtonRight, 10, 10, 1000));
  EXPECT_FALSE(d.Press(kWindowButtonRight, 10, 10, 1010)); // right presses stay presses
}
