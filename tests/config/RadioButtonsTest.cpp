#include "FactoryTestSupport.h"

#include "config/ICustomRadioButtonsControl.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_SysBitmap.h"

#include <gtest/gtest.h>

namespace
{
// Every pixel holds its source row in green and its column (low bits) in blue.
std::unique_ptr<Gfx_MemBitmap> Coded(int w, int h)
{
  auto b = std::make_unique<Gfx_MemBitmap>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b->Row(y)[x] = 0xFF000000u | (uint32_t(y) << 8) | uint32_t(x & 0xFF);
  return b;
}

int SourceRowAt(IGraphics& g, int x, int y)
{
  return int((g.DrawBitmapSurface()->Row(y)[x] >> 8) & 0xFF);
}
} // namespace

TEST(RadioButtons, CellsSelectionAndDrawing)
{
  HostlessPlug plug;
  IGraphics graphics(&plug, 600, 100);
  graphics.CreateDrawBitmaps();
  plug.ParameterAt(kArpDirection)->SetupEnumerated("Dir", 0, 4, "");
  auto bitmap = Coded(400, 40);
  const IBitmapStrip strip(bitmap.get(), 400, 40, 2, false);
  auto* radio = new ICustomRadioButtonsControl(&plug, IRectangle(10, 30, 410, 50), kArpDirection, 4, strip,
                                               IRadioButtonsControl::kSideBySide);
  graphics.AddControl(radio);
  EXPECT_EQ(radio->CellWidth(), 100);
  EXPECT_EQ(radio->CellHeight(), 20);
  for (int k = 0; k < 4; ++k)
    EXPECT_EQ(radio->ButtonRect(k), IRectangle(10 + 100 * k, 30, 110 + 100 * k, 50)) << k;
  EXPECT_TRUE(radio->NoPrompt());

  // A click on the third button selects it; a click between buttons changes nothing.
  radio->OnMouseDown(215, 35, IMouseMod(true, false));
  EXPECT_DOUBLE_EQ(radio->Value(), 2.0 / 3.0);
  EXPECT_EQ(radio->SelectedIndex(), 2);
  radio->OnMouseDown(215, 60, IMouseMod(true, false));
  EXPECT_DOUBLE_EQ(radio->Value(), 2.0 / 3.0);
  EXPECT_EQ(plug.ParameterAt(kArpDirection)->Value(), 2.0);
  // A right press selects nothing; a double click does nothing.
  radio->OnMouseDown(15, 35, IMouseMod(false, true));
  radio->OnMouseDblClick(15, 35, IMouseMod(true, false));
  EXPECT_EQ(radio->SelectedIndex(), 2);
  radio->SetValue(0.5);
  EXPECT_EQ(radio->SelectedIndex(), 2) << "(int)(1.5 + 0.5)";

  // Drawn at full strength: the selected cell from the lower row of the picture.
  radio->SetGreyed(true);
  const IRectangle all(0, 0, 600, 100);
  graphics.DrawDirty(&all);
  EXPECT_EQ(radio->Blend().alpha, 1.0f);
  EXPECT_EQ(SourceRowAt(graphics, 15, 30), 0);
  EXPECT_EQ(SourceRowAt(graphics, 215, 30), 20);
  EXPECT_EQ(SourceRowAt(graphics, 315, 31), 1);

  // A one-frame picture draws the selected button from the normal row too.
  auto single = Coded(200, 20);
  auto* plain = new ICustomRadioButtonsControl(&plug, IRectangle(0, 60, 200, 80), kArpDirection, 2,
                                               IBitmapStrip(single.get(), 200, 20, 1, false),
                                               IRadioButtonsControl::kSideBySide);
  plain->SetValue(1.0);
  graphics.AddControl(plain);
  graphics.DrawDirty(&all);
  EXPECT_EQ(SourceRowAt(graphics, 150, 60), 0);
}

TEST(RadioButtons, FactoryBuildsStackedAndSideBySideAndRefusesOneButton)
{
  Factories t;
  ControlElement e = Factories::Element("Page", kMainTab, 10, 20, -1, nullptr, "Pages");
  e.imageId = "BUTTON_TAB_TOPBAR_ID"; // two frames stacked: buttons side by side
  e.buttons = 4;
  auto* radio = dynamic_cast<ICustomRadioButtonsControl*>(t.R().CreateRadioButtons(e));
  ASSERT_NE(radio, nullptr);
  const IBitmapStrip strip = t.R().GetImage("BUTTON_TAB_TOPBAR_ID");
  EXPECT_EQ(radio->Rect(), IRectangle(10, 20, 10 + strip.width, 20 + strip.height / 2));
  EXPECT_EQ(radio->CellWidth(), strip.width / 4);
  IParameter* p = t.P(kMainTab);
  EXPECT_STREQ(p->Name(), "Page");
  EXPECT_STREQ(p->Group(), "Pages");
  EXPECT_EQ(p->Type(), IParameter::kTypeEnumerated);
  EXPECT_EQ(p->Max(), 3);
  EXPECT_EQ(t.Record(kMainTab)->kind, MidiMapRecord::kNone);

  ControlElement s = e;
  s.paramIdx = kQuickTab;
  s.imageId = "BUTTON_TAB_SIDEBAR_ID"; // frames side by side: buttons stacked
  s.buttons = 8;
  auto* stacked = dynamic_cast<ICustomRadioButtonsControl*>(t.R().CreateRadioButtons(s));
  ASSERT_NE(stacked, nullptr);
  const IBitmapStrip side = t.R().GetImage("BUTTON_TAB_SIDEBAR_ID");
  EXPECT_EQ(stacked->Rect(), IRectangle(10, 20, 10 + side.width / 2, 20 + side.height));
  EXPECT_EQ(stacked->ButtonRect(1).T, 20 + side.height / 8);

  ControlElement one = e;
  one.paramIdx = kDatatype;
  one.buttons = 1;
  EXPECT_EQ(t.R().CreateRadioButtons(one), nullptr);
  EXPECT_EQ(t.Record(kDatatype), nullptr);
  EXPECT_TRUE(t.Logged("radio Page: 1 buttons, NOT BUILT!"));
}
