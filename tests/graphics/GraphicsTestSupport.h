#pragma once

#include "framework/controls/IControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/IMenu.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_SysBitmap.h"
#include "tests/support/HostlessPlug.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

// An editor without a window: paints are recorded, images come from a table of sizes (every
// opaque pixel holds its source row in green and its column in blue), menus and text entries
// are answered from the test.
class TestGraphics : public IGraphics
{
public:
  TestGraphics(IEffectBase* plug, int w = 200, int h = 100) : IGraphics(plug, w, h) {}

  bool PaintWindow(const IRectangle* rect) override
  {
    paints.push_back(*rect);
    return true;
  }

  Gfx_IBitmap* LoadBitmapResource(int id, const char*) override
  {
    ++loads[id];
    auto it = images.find(id);
    if (it == images.end()) return nullptr;
    auto* b = new Gfx_MemBitmap(it->second.first, it->second.second);
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x)
        b->Row(y)[x] = 0xFF000000u | (uint32_t(y) << 8) | uint32_t(x & 0xFF);
    return b;
  }

  IMenu* ShowPopupMenu(IMenu* menu, const IRectangle* rect) override
  {
    ReleaseMouseCapture();
    lastMenuTexts.clear();
    lastMenuChecked = -1;
    for (int i = 0; i < menu->Count(); ++i)
    {
      lastMenuTexts.push_back(menu->Item(i)->Text());
      if (menu->Item(i)->Has(IMenuItem::kChecked)) lastMenuChecked = i;
    }
    lastPromptRect = *rect;
    if (menuChoice < 0) return nullptr;
    menu->SetChosenIndex(menuChoice);
    return menu;
  }

  void ShowTextEntry(IControl* control, const ITextStyle*, const IRectangle* rect, const char* text,
                     IParameter* param) override
  {
    entryControl = control;
    entryParam = param;
    entryText = text;
    lastPromptRect = *rect;
  }

  std::vector<IRectangle> paints;
  std::map<int, std::pair<int, int>> images;
  std::map<int, int> loads;
  int menuChoice = -1;
  std::vector<std::string> lastMenuTexts;
  int lastMenuChecked = -1;
  IRectangle lastPromptRect;
  IControl* entryControl = nullptr;
  IParameter* entryParam = nullptr;
  std::string entryText;
};

// A control that counts its draws.
class CountingControl : public IControl
{
public:
  CountingControl(IEffectBase* plug, const IRectangle& r, int paramIdx = -1) : IControl(plug, r, paramIdx) {}
  bool Draw(IGraphics*) override
  {
    ++draws;
    return true;
  }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    presses.emplace_back(x, y);
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int x, int y, const IMouseMod&) override { releases.emplace_back(x, y); }
  void OnMouseDrag(int, int, int dx, int dy, const IMouseMod&) override { drags.emplace_back(dx, dy); }
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override
  {
    ++dblClicks;
    IControl::OnMouseDblClick(x, y, mod);
  }

  int draws = 0;
  int dblClicks = 0;
  std::vector<std::pair<int, int>> presses;
  std::vector<std::pair<int, int>> releases;
  std::vector<std::pair<int, int>> drags;
};

// Runs frames until nothing is collected; answers how many frames repainted.
inline int FramesUntilQuiet(IGraphics& g, int limit = 10)
{
  int n = 0;
  while (n < limit && g.DrawFrame())
    ++n;
  return n;
}
