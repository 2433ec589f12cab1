#include "GraphicsTestSupport.h"

#include "framework/controls/IKnobMultiControl.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/LayerGroup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace
{
uint32_t GreenAt(const IGraphics& g, int x, int y)
{
  return (g.DrawBitmapSurface()->Row(y)[x] >> 8) & 0xFF;
}
} // namespace

TEST(GraphicsRepaint, ValueFromPluginRepaintsTwiceTextChangeOnce)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  g.CreateDrawBitmaps();
  auto* knob = new CountingControl(&plug, IRectangle(10, 10, 40, 40), 3);
  auto* text = new ITextControl(&plug, IRectangle(50, 10, 90, 30), ITextStyle());
  g.AddControl(knob);
  g.AddControl(text);

  // Every control starts with a redraw request: one first repaint, then quiet.
  EXPECT_EQ(FramesUntilQuiet(g), 1);
  EXPECT_EQ(knob->draws, 1);

  g.SyncParameterToControls(3, 0.25, true); // first value: the default, no repaint
  EXPECT_EQ(FramesUntilQuiet(g), 0);
  EXPECT_DOUBLE_EQ(knob->DefaultValue(), 0.25);

  g.SyncParameterToControls(3, 0.5, true);
  IRectangle painted;
  ASSERT_TRUE(g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(10, 10, 40, 40));
  EXPECT_EQ(FramesUntilQuiet(g), 1); // the second repaint of the dirty flag
  EXPECT_EQ(knob->draws, 3);

  g.SyncParameterToControls(3, 0.5, true); // the same value changes nothing
  EXPECT_EQ(FramesUntilQuiet(g), 0);

  text->SetText("hello");
  ASSERT_TRUE(g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(50, 10, 90, 30));
  EXPECT_EQ(FramesUntilQuiet(g), 0);
  text->SetText("hello"); // equal text: no request
  EXPECT_FALSE(text->NeedsRedraw());
  text->SetText(nullptr);
  EXPECT_TRUE(text->NeedsRedraw());
}

TEST(GraphicsRepaint, HiddenControlsAndBackground)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  g.images[IGraphics::kBackgroundImageId] = {200, 100};
  g.CreateDrawBitmaps();
  auto* a = new CountingControl(&plug, IRectangle(0, 0, 20, 20));
  auto* b = new CountingControl(&plug, IRectangle(100, 50, 120, 70));
  g.AddControl(a);
  g.AddControl(b);
  g.AttachBackgroundFrame(1.0);
  ASSERT_EQ(g.NumControls(), 3);
  EXPECT_EQ(g.GetControl(1), a);
  EXPECT_EQ(g.GetControl(0)->Rect(), IRectangle(0, 0, 200, 100));
  FramesUntilQuiet(g);

  // The background is never collected...
  IControl* background = g.GetControl(0);
  ASSERT_NE(background, nullptr);
  background->RequestRedraw(false);
  EXPECT_FALSE(g.DrawFrame());

  // ...but drawn on every repaint: the whole frame shows its pixels under the control's area.
  b->RequestRedraw(false);
  IRectangle painted;
  ASSERT_TRUE(g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(100, 50, 120, 70));
  EXPECT_EQ(GreenAt(g, 110, 60), 60u);

  // A hidden control's request is not collected; with report-dirty-when-hidden it is.
  b->Hide(true);
  EXPECT_FALSE(g.DrawFrame());
  b->RequestRedraw(false);
  EXPECT_FALSE(g.DrawFrame());
  b->SetReportDirtyWhenHidden(true);
  ASSERT_TRUE(g.DrawFrame(&painted));
  EXPECT_EQ(painted, IRectangle(100, 50, 120, 70));
  const int drawsBefore = b->draws;
  FramesUntilQuiet(g);
  EXPECT_EQ(b->draws, drawsBefore); // collected, but a hidden control is not drawn
}

TEST(GraphicsRepaint, DirtyRectUnionAndMeeting)
{
  EXPECT_TRUE(IGraphics::RectsMeet(IRectangle(0, 0, 10, 10), IRectangle(10, 10, 20, 20)));
  EXPECT_FALSE(IGraphics::RectsMeet(IRectangle(20, 20, 30, 30), IRectangle(10, 10, 20, 20)));
  EXPECT_FALSE(IGraphics::RectsMeet(IRectangle(), IRectangle(0, 0, 5, 5)));

  HostlessPlug plug;
  TestGraphics g(&plug);
  g.CreateDrawBitmaps();
  auto* a = new CountingControl(&plug, IRectangle(10, 10, 20, 20));
  auto* b = new CountingControl(&plug, IRectangle(50, 5, 60, 15));
  auto* zero = new CountingControl(&plug, IRectangle());
  auto* far = new CountingControl(&plug, IRectangle(150, 80, 160, 90));
  g.AddControl(a);
  g.AddControl(b);
  g.AddControl(zero);
  g.AddControl(far);
  FramesUntilQuiet(g);

  a->RequestRedraw(false);
  b->RequestRedraw(false);
  zero->RequestRedraw(false); // contributes nothing to the rectangle
  IRectangle r;
  EXPECT_TRUE(g.CollectDirtyRect(&r));
  EXPECT_EQ(r, IRectangle(10, 5, 60, 20));

  const int farDraws = far->draws;
  const int zeroDraws = zero->draws;
  g.DrawDirty(&r);
  EXPECT_EQ(far->draws, farDraws);   // outside the repainted rectangle
  EXPECT_EQ(zero->draws, zeroDraws); // an all-zero rectangle is never drawn
  ASSERT_FALSE(g.paints.empty());
  EXPECT_EQ(g.paints.back(), r);
  EXPECT_FALSE(g.DrawFrame()); // every request was ended, drawn or not
}

TEST(GraphicsRepaint, KnobFramesAndClippingInTheDrawBitmap)
{
  HostlessPlug plug;
  TestGraphics g(&plug, 100, 100);
  g.images[7] = {20, 100}; // five frames of 20 x 20
  g.CreateDrawBitmaps();
  const IBitmapStrip strip = g.LoadScaledBitmap(7, "knob.png", 1.0, 5);
  auto* knob = new IKnobMultiControl(&plug, 10, 10, 2, strip);
  g.AddControl(knob);
  EXPECT_EQ(knob->Rect(), IRectangle(10, 10, 30, 30));

  knob->SetValue(0.5); // frame 3: source rows 40..59
  knob->RequestRedraw(false);
  FramesUntilQuiet(g);
  EXPECT_EQ(GreenAt(g, 15, 10), 40u);
  EXPECT_EQ(GreenAt(g, 15, 29), 59u);
  EXPECT_EQ(g.DrawBitmapSurface()->Row(9)[15], 0u); // nothing above the control

  // A repaint of part of the control only touches that part (the drawing rectangle clips).
  knob->SetValue(1.0); // frame 5: rows 80..99
  const IRectangle part(10, 10, 30, 20);
  g.DrawDirty(&part);
  EXPECT_EQ(GreenAt(g, 15, 10), 80u);
  EXPECT_EQ(GreenAt(g, 15, 19), 89u);
  EXPECT_EQ(GreenAt(g, 15, 20), 50u); // below the clip: still frame 3
}

namespace
{
class RecordingText : public ITextControl
{
public:
  using ITextControl::ITextControl;
  // Records under the text lock, so the record is the text that was drawn.
  bool Draw(IGraphics* g) override
  {
    std::lock_guard<std::mutex> lock(mTextLock);
    lastDrawn = mText.Get();
    return DrawLockedText(g);
  }
  std::string lastDrawn;
};

class RecordingKnob : public CountingControl
{
public:
  using CountingControl::CountingControl;
  bool Draw(IGraphics* g) override
  {
    lastDrawn = Value();
    return CountingControl::Draw(g);
  }
  double lastDrawn = -1.0;
};
} // namespace

TEST(GraphicsRepaint, TextsAndRequestsArrivingMidFrameAreStillRepainted)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  g.CreateDrawBitmaps();
  auto* text = new ITextControl(&plug, IRectangle(20, 0, 60, 10), ITextStyle());
  auto* other = new CountingControl(&plug, IRectangle(0, 50, 10, 60));
  g.AddControl(text);
  g.AddControl(other);
  FramesUntilQuiet(g);

  // The order another thread can produce: the frame draws, the text changes, the frame ends.
  text->SetText("one");
  text->Draw(&g);
  text->SetText("two");
  text->TakeRedrawRequest();
  EXPECT_TRUE(text->NeedsRedraw());
  EXPECT_EQ(FramesUntilQuiet(g), 1);

  // The text changes after the frame was collected (over another control only), before it draws:
  // the text is not in the repainted area, and its request waits for the next frame.
  other->RequestRedraw(false);
  IRectangle collected;
  ASSERT_TRUE(g.CollectDirtyRect(&collected));
  text->SetText("later");
  g.DrawDirty(&collected);
  EXPECT_TRUE(text->NeedsRedraw());
  IRectangle next;
  ASSERT_TRUE(g.DrawFrame(&next));
  EXPECT_EQ(next, text->Rect());
  EXPECT_FALSE(g.DrawFrame());

  // The same for a greying that arrives late.
  other->RequestRedraw(false);
  collected = IRectangle();
  ASSERT_TRUE(g.CollectDirtyRect(&collected));
  text->SetGreyed(true);
  g.DrawDirty(&collected);
  EXPECT_EQ(FramesUntilQuiet(g), 1);

  // A hidden text that reports while hidden is not repainted for ever: a frame that passes over
  // it undrawn settles it.
  text->Hide(true);
  text->SetReportDirtyWhenHidden(true);
  text->SetText("three");
  EXPECT_EQ(FramesUntilQuiet(g), 2); // the hide's dirty flag gives the second
  text->Hide(false);
  EXPECT_EQ(FramesUntilQuiet(g), 2);
}

TEST(GraphicsRepaint, ValuesFromOtherThreadsAreDrawnByTheNextFrames)
{
  HostlessPlug plug;
  TestGraphics g(&plug);
  g.CreateDrawBitmaps();
  auto* knob = new RecordingKnob(&plug, IRectangle(0, 0, 10, 10), 1);
  auto* text = new RecordingText(&plug, IRectangle(20, 0, 60, 10), ITextStyle());
  g.AddControl(knob);
  g.AddControl(text);
  g.SyncParameterToControls(1, 0.0, true);

  std::atomic<bool> done{false};
  std::thread midi(
      [&]
      {
        char buffer[16];
        for (int i = 1; i <= 2000; ++i)
        {
          g.SyncParameterToControls(1, i / 2000.0, true);
          std::snprintf(buffer, sizeof(buffer), "%d", i);
          text->SetText(buffer);
        }
        done = true;
      });
  while (!done)
    g.DrawFrame();
  midi.join();

  FramesUntilQuiet(g);
  EXPECT_DOUBLE_EQ(knob->lastDrawn, 1.0);
  EXPECT_EQ(text->lastDrawn, "2000");
}
