#include "WindowTestSupport.h"

#include <gtest/gtest.h>

TEST(TextEntryField, FilterLimitAndEditing)
{
  TextEntryField f;
  f.Open("12", 4, TextEntryField::kInteger);
  EXPECT_EQ(f.SelectionStart(), 0);
  EXPECT_EQ(f.SelectionEnd(), 2);
  EXPECT_EQ(f.Key('A', "a", false), TextEntryField::kNothing); // letters refused
  EXPECT_EQ(f.Key(kWindowKeyOther, ".", false), TextEntryField::kNothing);
  EXPECT_EQ(f.Key('7', "7", false), TextEntryField::kEdited); // replaces the selection
  EXPECT_EQ(f.Text(), "7");
  f.Key(kWindowKeyOther, "-", false);
  f.Key('1', "1", false);
  f.Key('2', "2", false);
  EXPECT_EQ(f.Key('3', "3", false), TextEntryField::kNothing); // the limit of 4
  EXPECT_EQ(f.Text(), "7-12");
  f.Key(kWindowKeyBackSpace, "\b", false);
  EXPECT_EQ(f.Text(), "7-1");
  f.Key(kWindowKeyHome, "", false);
  f.Key(kWindowKeyRight, "", true); // shift extends the selection
  f.Key(kWindowKeyDelete, "", false);
  EXPECT_EQ(f.Text(), "-1");
  EXPECT_EQ(f.Key(kWindowKeyReturn, "\r", false), TextEntryField::kCommit);
  EXPECT_EQ(f.Key(kWindowKeyEscape, "\x1b", false), TextEntryField::kCancel);

  f.Open("", 0, TextEntryField::kDecimal);
  EXPECT_EQ(f.Limit(), TextEntryField::kMaxLength);
  f.Key(kWindowKeyOther, ".", false);
  EXPECT_EQ(f.Text(), ".");
  f.Open("abcdefghijklmnopqrstuvwxyz", 16, TextEntryField::kAnyText);
  EXPECT_EQ(f.Text().size(), 16u);
  EXPECT_FALSE(f.Accepts('\t'));
  EXPECT_TRUE(f.Accepts('x'));
}

namespace
{
// A continuous parameter 0..10 on a knob whose prompt is a text entry.
struct EntryFixture
{
  EntryFixture()
  {
    bg = e.AddProbe(IRectangle(0, 0, 200, 100), -1, 0xFF202020);
    bg->takesKeys = false;
    p = e.plug.ParameterAt(9);
    p->SetupContinuous("Cutoff", 2.0, 0.0, 10.0, 0.1, "");
    knob = e.AddProbe(IRectangle(60, 20, 120, 60), 9);
    knob->SetValue(0.2);
    e.graphics->PromptForValue(knob, p, &knob->Rect());
    e.window->Pump();
  }
  HeadlessEditor e;
  ProbeControl* bg = nullptr;
  ProbeControl* knob = nullptr;
  IParameter* p = nullptr;
};
} // namespace

TEST(EditorWindowEntry, ReturnCommitsOnTheNextFrame)
{
  EntryFixture f;
  ASSERT_TRUE(f.e.graphics->EntryOpen());
  EXPECT_EQ(f.e.graphics->Entry().Text(), "2.0");
  EXPECT_EQ(f.e.graphics->Entry().CharFilter(), TextEntryField::kDecimal);
  f.e.Frame();
  // The entry is drawn over the knob, in its background colour.
  const IRectangle r = f.e.graphics->EntryRect();
  EXPECT_EQ(r.L, 60);
  EXPECT_EQ(r.T, 20);
  EXPECT_EQ(f.e.window->PixelAt(r.L + 1, r.B - 2), 0xFFFFFFFFu);

  f.e.window->InjectText("7.5x\r"); // the letter is refused
  f.e.window->Pump();
  EXPECT_EQ(f.e.graphics->EntryStateValue(), IGraphicsWin::kEntryCommit);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.2); // not yet
  f.e.Frame();
  EXPECT_FALSE(f.e.graphics->EntryOpen());
  EXPECT_NEAR(f.knob->Value(), 0.75, 1e-9);
  // The knob shows again where the entry was.
  f.e.Frame();
  EXPECT_EQ(f.e.window->PixelAt(r.L + 1, r.B - 2), 0xFF00FF00u);
}

TEST(EditorWindowEntry, AClickElsewhereDropsItWithoutCommitting)
{
  EntryFixture f;
  f.e.window->InjectText("9");
  f.e.window->InjectPress(5, 5, kWindowButtonLeft, 100);
  f.e.window->InjectRelease(5, 5, kWindowButtonLeft);
  f.e.window->Pump();
  EXPECT_TRUE(f.bg->log.empty()); // the press only ended the entry
  f.e.Frame();
  EXPECT_FALSE(f.e.graphics->EntryOpen());
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.2);
  // The next press reaches the editor again.
  f.e.window->InjectPress(5, 5, kWindowButtonLeft, 2000);
  f.e.window->Pump();
  EXPECT_EQ(f.bg->log.size(), 1u);
}

TEST(EditorWindowEntry, EscapeFocusLossWheelAndCancelAllDrop)
{
  for (int way = 0; way < 4; ++way)
  {
    EntryFixture f;
    f.e.window->InjectText("5");
    if (way == 0)
      f.e.window->InjectText("\x1b");
    else if (way == 1)
      f.e.window->InjectFocusOut();
    else if (way == 2)
      f.e.window->InjectWheel(70, 30, -120);
    f.e.window->Pump();
    if (way == 3) f.e.graphics->CancelTextEntry();
    EXPECT_EQ(f.e.graphics->EntryStateValue(), IGraphicsWin::kEntryCancel) << way;
    f.e.Frame();
    EXPECT_FALSE(f.e.graphics->EntryOpen()) << way;
    EXPECT_DOUBLE_EQ(f.knob->Value(), 0.2) << way;
    EXPECT_TRUE(f.knob->log.empty()) << way; // the wheel did not turn the knob
  }
}

TEST(EditorWindowEntry, EnumeratedFilterClickInsideAndResize)
{
  HeadlessEditor e;
  IParameter* p = e.plug.ParameterAt(11);
  p->SetupEnumerated("Octave", 0, 5, ""); // no display texts: a text entry
  ProbeControl* knob = e.AddProbe(IRectangle(10, 10, 90, 40), 11);
  e.graphics->PromptForValue(knob, p, &knob->Rect());
  ASSERT_TRUE(e.graphics->EntryOpen());
  EXPECT_EQ(e.graphics->Entry().CharFilter(), TextEntryField::kInteger);
  e.window->InjectText("3.x");
  e.window->Pump();
  EXPECT_EQ(e.graphics->Entry().Text(), "3");
  // A click inside the entry moves the caret and keeps the entry.
  const IRectangle r = e.graphics->EntryRect();
  e.window->InjectPress(r.L + 1, r.T + 3, kWindowButtonLeft, 100);
  e.window->Pump();
  EXPECT_TRUE(e.graphics->EntryOpen());
  EXPECT_FALSE(e.graphics->Entry().HasSelection());
  // Resizing deletes the controls: the entry goes first, uncommitted.
  e.graphics->Resize(250, 120);
  EXPECT_FALSE(e.graphics->EntryOpen());
  e.Frame();
  EXPECT_EQ(e.graphics->NumControls(), 0);
}
