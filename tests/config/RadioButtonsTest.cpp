#include "FactoryTestSupport.h"

#include "config/ICustomRadioButtonsControl.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_StretchBlit.h"
#include "gfx/Gfx_SysBitmap.h"

#include <gtest/gtest.h>

#include <cmath>

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
  EXPECT_EQ(radio->SourceRect(1, false), IRectangle(100, 0, 200, 20));
  EXPECT_EQ(radio->SourceRect(3, true), IRectangle(300, 20, 400, 40));
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
  EXPECT_EQ(radio->ButtonRect(3).R, 10 + strip.width);
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

namespace
{
constexpr uint32_t kSelectedGreen = 200, kNormalGreen = 60;
uint32_t CellRed(int cell)
{
  return uint32_t(40 + 25 * cell);
}

// A radio picture at its normal size as the skin draws it: cell i covers i * length / n up to
// (i + 1) * length / n, in a colour of its own (red), normal look first, selected look second
// (green); the looks lie one under the other, or side by side when the cells form a column.
std::unique_ptr<Gfx_MemBitmap> CellArt(int n, int length, int look, bool column)
{
  const int w = column ? 2 * look : length, h = column ? length : 2 * look;
  auto b = std::make_unique<Gfx_MemBitmap>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
    {
      const int along = column ? y : x, across = column ? x : y;
      const int cell = int((along + 0.5) * n / length);
      const uint32_t green = across < look ? kNormalGreen : kSelectedGreen;
      b->Row(y)[x] = 0xFF000000u | (CellRed(cell) << 16) | (green << 8) | 0x55u;
    }
  return b;
}
} // namespace

TEST(RadioButtons, CellsStayOnTheirArtAtEveryCountAndSize)
{
  struct Case
  {
    int cells, length;
    double scale;
  };
  // 7 cells over 119 px become 101 px at 0.85: whole-pixel cells of 14 would end the last one 3 px
  // short and 2.6 px before its art.
  const Case cases[] = {{7, 119, 0.85}, {7, 119, 1.15}, {5, 104, 0.85},
                        {5, 104, 1.0},  {3, 104, 1.15}, {8, 333, 0.85}};
  HostlessPlug plug;
  const IRectangle all(0, 0, 600, 600);
  for (const Case& c : cases)
    for (bool column : {false, true})
    {
      SCOPED_TRACE(::testing::Message() << c.cells << " cells over " << c.length << " px at " << c.scale
                                        << (column ? ", stacked" : ", side by side"));
      plug.ParameterAt(kArpDirection)->SetupEnumerated("Dir", 0, c.cells, "");
      const int look = 23; // an odd look: the selected one starts between two pixels when scaled
      auto art = CellArt(c.cells, c.length, look, column);
      // Scaled as the image registry scales: truncated sides, filtered.
      const int w = int(art->Width() * c.scale), h = int(art->Height() * c.scale);
      Gfx_MemBitmap scaled(w, h);
      Gfx_StretchBlit(&scaled, art.get(), 0, 0, w, h, 0.0f, 0.0f, float(art->Width()), float(art->Height()),
                      1.0f);
      const IBitmapStrip strip(&scaled, w, h, 2, column);
      IGraphics graphics(&plug, 600, 600);
      graphics.CreateDrawBitmaps();
      const int length = column ? h : w;
      const IRectangle area =
          column ? IRectangle(10, 20, 10 + w / 2, 20 + h) : IRectangle(10, 20, 10 + w, 20 + h / 2);
      auto* radio = new ICustomRadioButtonsControl(&plug, area, kArpDirection, c.cells, strip,
                                                   column ? IRadioButtonsControl::kStacked
                                                          : IRadioButtonsControl::kSideBySide);
      graphics.AddControl(radio);
      const int origin = column ? area.T : area.L;
      auto from = [&](const IRectangle& r) { return column ? r.T : r.L; };
      auto to = [&](const IRectangle& r) { return column ? r.B : r.R; };
      const double cellLength = double(length) / c.cells; // the art's cells, scaled

      // Hit areas and source rectangles meet the art's cell edges within a pixel, tile the
      // picture, and the last one ends at its edge.
      for (int k = 0; k < c.cells; ++k)
      {
        const IRectangle hit = radio->ButtonRect(k);
        for (bool selected : {false, true})
        {
          const IRectangle source = radio->SourceRect(k, selected);
          EXPECT_LE(std::fabs(from(source) - k * cellLength), 1.0) << "cell " << k;
          EXPECT_LE(std::fabs(to(source) - (k + 1) * cellLength), 1.0) << "cell " << k;
          EXPECT_EQ(to(source) - from(source), to(hit) - from(hit)) << "cell " << k;
        }
        EXPECT_EQ(from(hit), k == 0 ? origin : to(radio->ButtonRect(k - 1))) << "cell " << k;
      }
      EXPECT_EQ(to(radio->ButtonRect(c.cells - 1)), origin + length);
      EXPECT_EQ(to(radio->SourceRect(c.cells - 1, true)), length);

      // Every point of the picture selects the cell whose art is under it (a pixel at an art edge
      // may go either way).
      const int across = column ? area.L + w / 4 : area.T + h / 4;
      for (int p = origin; p < origin + length; ++p)
      {
        radio->OnMouseDown(column ? across : p, column ? p : across, IMouseMod(true, false));
        const double at = p - origin + 0.5;
        const int cell = int(at / cellLength);
        const double nearestEdge = std::min(at - cell * cellLength, (cell + 1) * cellLength - at);
        if (nearestEdge < 1.0) continue;
        EXPECT_EQ(radio->SelectedIndex(), cell) << "at " << p;
      }

      // Drawn with the middle cell selected: each button shows its own cell's art, in the
      // selected look for the selected one only, away from the blurred edges of the art.
      const int chosen = c.cells / 2;
      radio->SetValue(double(chosen) / (c.cells - 1));
      graphics.DrawDirty(&all);
      const Gfx_SysBitmap* surface = graphics.DrawBitmapSurface();
      const int middle = column ? area.L + w / 4 : area.T + h / 4;
      for (int k = 0; k < c.cells; ++k)
      {
        const IRectangle hit = radio->ButtonRect(k);
        for (int p = from(hit); p < to(hit); ++p)
        {
          const double at = p - origin + 0.5;
          if (at - k * cellLength < 1.5 || (k + 1) * cellLength - at < 1.5) continue;
          const uint32_t pixel = column ? surface->Row(p)[middle] : surface->Row(middle)[p];
          EXPECT_EQ((pixel >> 16) & 0xFF, CellRed(k)) << "cell " << k << " at " << p;
          EXPECT_EQ((pixel >> 8) & 0xFF, k == chosen ? kSelectedGreen : kNormalGreen)
              << "cell " << k << " at " << p;
        }
      }
    }
}
