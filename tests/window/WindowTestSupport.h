#pragma once

#include "framework/controls/IControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/graphics/IGraphicsWin.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/window/HeadlessWindow.h"
#include "tests/graphics/GraphicsTestSupport.h"

#include <memory>
#include <string>
#include <vector>

// A control that paints itself in one colour and records what reaches it.
class ProbeControl : public IControl
{
public:
  ProbeControl(IEffectBase* plug, const IRectangle& r, int paramIdx = -1, uint32_t colour = 0xFF00FF00)
      : IControl(plug, r, paramIdx), colour(colour)
  {
  }
  bool Draw(IGraphics* g) override
  {
    ++draws;
    Gfx_SysBitmap* b = g->DrawBitmapSurface();
    const IRectangle clip = Rect().Intersect(g->DrawRect());
    for (int y = std::max(0, clip.T); y < std::min(clip.B, b->Height()); ++y)
      for (int x = std::max(0, clip.L); x < std::min(clip.R, b->Width()); ++x)
        b->Row(y)[x] = colour;
    return true;
  }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override
  {
    log.push_back("down " + std::to_string(x) + "," + std::to_string(y) + (mod.R ? " R" : "") +
                  (mod.L ? " L" : ""));
    IControl::OnMouseDown(x, y, mod);
  }
  void OnMouseUp(int x, int y, const IMouseMod&) override
  {
    log.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  }
  void OnMouseDrag(int, int, int dx, int dy, const IMouseMod&) override
  {
    log.push_back("drag " + std::to_string(dx) + "," + std::to_string(dy));
  }
  void OnMouseDblClick(int, int, const IMouseMod&) override { log.push_back("dblclick"); }
  void OnMouseWheel(int, int, const IMouseMod&, int notches) override
  {
    log.push_back("wheel " + std::to_string(notches));
  }
  bool OnKeyDown(int, int, int key) override
  {
    log.push_back("key " + std::to_string(key));
    return takesKeys;
  }
  uint32_t colour;
  bool takesKeys = true;
  int draws = 0;
  std::vector<std::string> log;
};

// A plug-in with an editor on the headless back end, opened in a fake parent.
struct HeadlessEditor
{
  static constexpr int kWidth = 200, kHeight = 100;
  static constexpr uintptr_t kParent = 0x5000;

  explicit HeadlessEditor(bool open = true)
  {
    graphics = new IGraphicsWin(&plug, kWidth, kHeight);
    auto w = std::make_unique<HeadlessWindow>();
    window = w.get();
    graphics->SetPlatformWindow(std::move(w));
    plug.AttachEditor(graphics); // the plug-in owns the editor from here on
    if (open) Open();
  }
  void Open()
  {
    graphics->CreateEditorWindow(reinterpret_cast<void*>(kParent));
    window->Pump(); // the first expose
  }
  ProbeControl* AddProbe(const IRectangle& r, int paramIdx = -1, uint32_t colour = 0xFF00FF00)
  {
    auto* c = new ProbeControl(&plug, r, paramIdx, colour);
    graphics->AddControl(c);
    return c;
  }
  // One frame of the timer.
  void Frame()
  {
    window->AdvanceTime(graphics->TimerPeriod(graphics->FrameRate()));
    window->Pump();
  }

  HostlessPlug plug;
  IGraphicsWin* graphics = nullptr;
  HeadlessWindow* window = nullptr;
};
