#include "GraphicsTestSupport.h"

#include "framework/controls/IBitmapControl.h"
#include "framework/controls/ICaptionControl.h"
#include "framework/controls/IContactControl.h"
#include "framework/controls/IFaderControl.h"
#include "framework/controls/IKnobMultiControl.h"
#include "framework/controls/IRadioButtonsControl.h"
#include "framework/controls/ISwitchControl.h"
#include "framework/controls/ITextControl.h"

#include <gtest/gtest.h>

namespace
{
const IMouseMod kLeft(true, false);
const IMouseMod kShift(true, false, true);

IBitmapStrip Strip(int w, int h, int frames, bool sideBySide = false)
{
  return IBitmapStrip(nullptr, w, h, frames, sideBySide);
}
} // namespace

TEST(StandardControls, SwitchesAndContacts)
{
  HostlessPlug plug;
  ISwitchControl three(&plug, 5, 6, 1, Strip(20, 60, 3));
  EXPECT_EQ(three.Rect(), IRectangle(5, 6, 25, 26));
  std::vector<double> seen;
  for (int i = 0; i < 4; ++i)
  {
    three.OnMouseDown(10, 10, kLeft);
    seen.push_back(three.Value());
  }
  EXPECT_EQ(seen, (std::vector<double>{0.5, 1.0, 0.0, 0.5}));
  three.OnMouseDblClick(10, 10, kLeft);
  EXPECT_DOUBLE_EQ(three.Value(), 1.0);
  EXPECT_EQ(plug.automated.size(), 5u);

  ISwitchControl one(&plug, 0, 0, 1, Strip(20, 20, 1));
  one.OnMouseDown(1, 1, kLeft);
  EXPECT_DOUBLE_EQ(one.Value(), 1.0);
  one.OnMouseDown(1, 1, kLeft);
  EXPECT_DOUBLE_EQ(one.Value(), 0.0);
  ISwitchControl none(&plug, 0, 0, 1, Strip(20, 20, 0)); // no frames: as one, no division
  EXPECT_EQ(none.Rect(), IRectangle(0, 0, 20, 20));
  none.OnMouseDown(1, 1, kLeft);
  EXPECT_DOUBLE_EQ(none.Value(), 1.0);
  one.SetGreyed(true);
  one.OnMouseDown(1, 1, kLeft);
  EXPECT_DOUBLE_EQ(one.Value(), 0.0);

  IContactControl contact(&plug, 0, 0, 2, Strip(20, 40, 2));
  contact.OnMouseDown(1, 1, kLeft);
  EXPECT_DOUBLE_EQ(contact.Value(), 1.0);
  contact.SetGreyed(true);
  contact.OnMouseUp(1, 1, kLeft); // greyed or not
  EXPECT_DOUBLE_EQ(contact.Value(), 0.0);
  EXPECT_EQ(plug.automated.back(), std::make_pair(2, 0.0));

  IBitmapControl bitmap(&plug, 0, 0, -1, Strip(10, 50, 5));
  const double values[] = {0.0, 0.12, 0.13, 0.5, 0.99, 1.0};
  const int frames[] = {1, 1, 2, 3, 5, 5};
  for (int i = 0; i < 6; ++i)
  {
    bitmap.SetValue(values[i]);
    EXPECT_EQ(bitmap.FrameForValue(), frames[i]) << values[i];
  }
}

TEST(StandardControls, RadioButtonSpacingAndSelection)
{
  HostlessPlug plug;
  // Four stacked buttons 20 high in an area 110 high: 10 pixels apart.
  IRadioButtonsControl stacked(&plug, IRectangle(0, 0, 30, 110), 3, 4, Strip(30, 40, 2), 0);
  ASSERT_EQ(stacked.ButtonCount(), 4);
  EXPECT_EQ(stacked.ButtonRect(0), IRectangle(0, 0, 30, 20));
  EXPECT_EQ(stacked.ButtonRect(1), IRectangle(0, 30, 30, 50));
  EXPECT_EQ(stacked.ButtonRect(3), IRectangle(0, 90, 30, 110));

  stacked.OnMouseDown(5, 35, kLeft);
  EXPECT_DOUBLE_EQ(stacked.Value(), 1.0 / 3.0);
  EXPECT_EQ(stacked.SelectedButton(), 1);
  const size_t pushes = plug.automated.size();
  stacked.OnMouseDown(5, 25, kLeft); // between buttons: the unchanged value is pushed
  EXPECT_DOUBLE_EQ(stacked.Value(), 1.0 / 3.0);
  EXPECT_EQ(plug.automated.size(), pushes + 1);
  stacked.OnMouseDown(5, 109, kLeft);
  EXPECT_DOUBLE_EQ(stacked.Value(), 1.0);

  IRadioButtonsControl row(&plug, IRectangle(10, 5, 110, 25), 3, 3, Strip(20, 40, 2),
                           IRadioButtonsControl::kSideBySide);
  EXPECT_EQ(row.ButtonRect(0), IRectangle(10, 5, 30, 25));
  EXPECT_EQ(row.ButtonRect(1), IRectangle(50, 5, 70, 25));
  EXPECT_EQ(row.ButtonRect(2), IRectangle(90, 5, 110, 25));

  // Fewer than two buttons: nothing to lay out, select or draw.
  IRadioButtonsControl single(&plug, IRectangle(0, 0, 30, 30), 3, 1, Strip(30, 40, 2), 0);
  EXPECT_EQ(single.ButtonCount(), 0);
  single.SetValue(0.3);
  single.OnMouseDown(5, 5, kLeft);
  EXPECT_DOUBLE_EQ(single.Value(), 0.3);
  EXPECT_EQ(single.SelectedButton(), -1);
}

TEST(StandardControls, RadioButtonsDrawTheSelectedOneFromTheSecondFrame)
{
  HostlessPlug plug;
  TestGraphics g(&plug, 100, 100);
  g.images[9] = {10, 20}; // two frames of 10 x 10
  g.CreateDrawBitmaps();
  const IBitmapStrip strip = g.LoadScaledBitmap(9, "radio.png", 1.0, 2);
  auto* radio = new IRadioButtonsControl(&plug, IRectangle(0, 0, 50, 10), 3, 3, strip, 1);
  g.AddControl(radio);
  radio->SetValue(0.5);
  FramesUntilQuiet(g);
  auto green = [&](int x, int y) { return (g.DrawBitmapSurface()->Row(y)[x] >> 8) & 0xFF; };
  EXPECT_EQ(green(2, 2), 2u);   // button 0: first frame
  EXPECT_EQ(green(22, 2), 12u); // button 1 (selected): second frame
  EXPECT_EQ(green(42, 2), 2u);
}

TEST(StandardControls, FaderDragsAndDrawing)
{
  HostlessPlug plug;
  IFaderControl fader(&plug, 10, 20, 100, 4, Strip(16, 20, 1), IFaderControl::kVertical);
  EXPECT_EQ(fader.Rect(), IRectangle(10, 20, 26, 120));
  EXPECT_EQ(fader.Travel(), 80);
  fader.OnMouseDrag(15, 20 + 10, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(fader.Value(), 1.0);
  fader.OnMouseDrag(15, 20 + 90, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(fader.Value(), 0.0);
  fader.OnMouseDrag(15, 20 + 50, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(fader.Value(), 0.5);
  EXPECT_EQ(fader.HandleRect(), IRectangle(10, 60, 26, 80));
  fader.OnMouseDrag(15, 500, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(fader.Value(), 0.0);
  fader.OnMouseDown(15, -50, kLeft); // the handle jumps to the press, clamped
  EXPECT_DOUBLE_EQ(fader.Value(), 1.0);
  EXPECT_EQ(fader.HandleRect(), IRectangle(10, 20, 26, 40));
  fader.SetGreyed(true);
  fader.OnMouseDrag(15, 70, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(fader.Value(), 1.0);

  IFaderControl horizontal(&plug, 0, 0, 60, 4, Strip(20, 10, 1), IFaderControl::kHorizontal);
  EXPECT_EQ(horizontal.Rect(), IRectangle(0, 0, 60, 10));
  horizontal.OnMouseDrag(30, 5, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(horizontal.Value(), 0.5);
  EXPECT_EQ(horizontal.HandleRect(), IRectangle(20, 0, 40, 10));

  // No travel: the handle fills the track, nothing moves.
  IFaderControl stuck(&plug, 0, 0, 20, 4, Strip(10, 20, 1), IFaderControl::kVertical);
  stuck.SetValue(0.3);
  stuck.OnMouseDrag(5, 0, 0, 0, kLeft);
  EXPECT_DOUBLE_EQ(stuck.Value(), 0.3);
  EXPECT_EQ(stuck.HandleRect(), IRectangle(0, 0, 10, 20));
}

TEST(StandardControls, KnobDragGearing)
{
  HostlessPlug plug;
  IKnobMultiControl knob(&plug, 0, 0, 5, Strip(40, 400, 10));
  EXPECT_EQ(knob.Rect(), IRectangle(0, 0, 40, 40));
  knob.SetValue(0.5);
  knob.OnMouseDrag(0, 0, 0, -4, kLeft); // 4 pixels up
  EXPECT_NEAR(knob.Value(), 0.525, 1e-12);
  knob.OnMouseDrag(0, 0, 0, -4, kShift);
  EXPECT_NEAR(knob.Value(), 0.5275, 1e-12);
  knob.OnMouseDrag(0, 0, 0, 400, kLeft);
  EXPECT_DOUBLE_EQ(knob.Value(), 0.0);
  knob.SetValue(1.0);
  EXPECT_EQ(knob.FrameForValue(), 10);

  IKnobMultiControl across(&plug, 0, 0, 5, Strip(40, 400, 10), IKnobMultiControl::kHorizontal, 2.0);
  across.OnMouseDrag(0, 0, 8, -100, kLeft);
  EXPECT_NEAR(across.Value(), 0.1, 1e-12);

  // No size or no gearing: nothing moves.
  IKnobMultiControl flat(&plug, 0, 0, 5, Strip(40, 0, 10));
  flat.SetValue(0.5);
  flat.OnMouseDrag(0, 0, 0, -4, kLeft);
  EXPECT_DOUBLE_EQ(flat.Value(), 0.5);
  knob.SetGearing(0.0);
  knob.SetValue(0.5);
  knob.OnMouseDrag(0, 0, 0, -4, kLeft);
  EXPECT_DOUBLE_EQ(knob.Value(), 0.5);
  knob.SetGearing(4.0);
  knob.SetGreyed(true);
  knob.OnMouseDrag(0, 0, 0, -4, kLeft);
  EXPECT_DOUBLE_EQ(knob.Value(), 0.5);
}

TEST(StandardControls, CaptionsAndTexts)
{
  HostlessPlug plug;
  IParameter* mode = plug.ParameterAt(8);
  mode->SetupEnumerated("Mode", 3, 6, "");
  for (int i = 0; i <= 5; ++i)
    mode->AddValueText(i, i == 4 ? "" : ("Mode " + std::to_string(i)).c_str());
  ICaptionControl caption(&plug, IRectangle(0, 0, 80, 20), 8, ITextStyle());
  char text[64];
  caption.CaptionText(text, sizeof(text));
  EXPECT_STREQ(text, "Mode 3");
  caption.SetShowLabel(true);
  caption.CaptionText(text, sizeof(text));
  EXPECT_STREQ(text, "Mode 3 "); // a blank always; no label while the value has a text
  mode->SetClamped(4.0);
  caption.CaptionText(text, sizeof(text));
  EXPECT_STREQ(text, "4 ");

  // Drawing stores the shown text without asking for another repaint.
  TestGraphics g(&plug);
  caption.TakeRedrawRequest();
  caption.Draw(&g);
  EXPECT_TRUE(caption.TextEquals("4 "));
  EXPECT_FALSE(caption.NeedsRedraw());

  ITextControl label(&plug, IRectangle(0, 0, 50, 10), ITextStyle("Mono", 10, IColour(255, 1, 2, 3)));
  EXPECT_EQ(label.ParamIdx(), -1);
  EXPECT_STREQ(label.TextStyle().face, "Mono");
  label.TakeRedrawRequest();
  label.SetText("");
  EXPECT_FALSE(label.NeedsRedraw()); // absent counts as empty
  label.SetText("x");
  EXPECT_TRUE(label.NeedsRedraw());
  label.TakeRedrawRequest();
  label.SetText("x");
  EXPECT_FALSE(label.NeedsRedraw());
  char small[3];
  label.SetText("longer");
  EXPECT_EQ(label.GetText(small, sizeof(small)), 6);
  EXPECT_STREQ(small, "lo");
}

// A value wider than its field is shortened with "..." inside the field (a long port name covered
// the menus beside it); the control's text stays whole, and a value that fits is drawn as it is.
TEST(StandardControls, CaptionShortensAValueWiderThanItsField)
{
  HostlessPlug plug;
  IParameter* port = plug.ParameterAt(9);
  port->SetupEnumerated("Port", 0, 2, "");
  port->AddValueText(0, "synth");
  port->AddValueText(1, "a-very-long-client-name-of-a-midi-device:its-port-name");
  TestGraphics g(&plug, 200, 30);
  g.CreateDrawBitmaps();
  ICaptionControl caption(&plug, IRectangle(60, 5, 140, 25), 9,
                          ITextStyle("DejaVu Sans Mono", 12, IColour(255, 255, 255, 255)));
  auto inkOutside = [&]
  {
    int pixels = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 200; ++x)
        if ((x < 60 || x >= 140) && (g.DrawBitmapSurface()->Row(y)[x] >> 24) != 0) ++pixels;
    return pixels;
  };
  auto inkInside = [&]
  {
    int pixels = 0;
    for (int y = 5; y < 25; ++y)
      for (int x = 60; x < 140; ++x)
        pixels += (g.DrawBitmapSurface()->Row(y)[x] >> 24) != 0;
    return pixels;
  };
  auto snapshot = [&]
  {
    std::vector<uint32_t> pixels;
    for (int y = 0; y < 30; ++y)
      pixels.insert(pixels.end(), g.DrawBitmapSurface()->Row(y), g.DrawBitmapSurface()->Row(y) + 200);
    return pixels;
  };
  auto clear = [&]
  {
    for (int y = 0; y < 30; ++y)
      std::fill(g.DrawBitmapSurface()->Row(y), g.DrawBitmapSurface()->Row(y) + 200, 0u);
  };
  for (int32_t align : {ITextStyle::kAlignCentre, ITextStyle::kAlignLeft, ITextStyle::kAlignRight})
  {
    caption.TextStyle().hAlign = align;
    port->SetClamped(1.0);
    clear();
    ASSERT_TRUE(caption.Draw(&g));
    EXPECT_EQ(inkOutside(), 0) << "alignment " << int(align);
    EXPECT_GT(inkInside(), 0);
    EXPECT_TRUE(caption.TextEquals("a-very-long-client-name-of-a-midi-device:its-port-name"));

    // A short value: the same pixels as the text drawn by itself.
    port->SetClamped(0.0);
    clear();
    caption.Draw(&g);
    const std::vector<uint32_t> drawn = snapshot();
    clear();
    IRectangle rect = caption.Rect();
    ITextStyle style = caption.TextStyle();
    g.DrawTextInRect(&style, "synth", &rect);
    EXPECT_EQ(drawn, snapshot());
  }
}
