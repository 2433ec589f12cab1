#include "framework/controls/ICaptionControl.h"

#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IParameter.h"

#include <cstdio>
#include <string>
#include <vector>

ICaptionControl::ICaptionControl(IEffectBase* plug, const IRectangle& rect, int paramIdx,
                                 const ITextStyle& style, bool showLabel)
    : ITextControl(plug, rect, style), mShowLabel(showLabel)
{
  mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (!IsGreyed() && (mod.L || mod.R)) AskForValue();
}

void ICaptionControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  if (!IsGreyed()) AskForValue();
}

void ICaptionControl::CaptionText(char* out, int size) const
{
  if (!out || size <= 0) return;
  out[0] = '\0';
  const IParameter* param = Parameter();
  if (!param) return;
  char value[128];
  param->DisplayValue(param->Value(), false, value, sizeof(value), true);
  if (mShowLabel)
    std::snprintf(out, size_t(size), "%s %s", value, param->HostLabel());
  else
    std::snprintf(out, size_t(size), "%s", value);
}

namespace
{
int TextWidth(IGraphics* graphics, ITextStyle* style, const char* text)
{
  IRectangle extent(0, 0, 0, 0);
  graphics->DrawTextInRect(style, text, &extent, true);
  return extent.W();
}
} // namespace

void ICaptionControl::FitText(IGraphics* graphics, char* text, int size)
{
  const int room = mRect.W();
  if (!graphics || room <= 0 || size < 4 || TextWidth(graphics, &mTextStyle, text) <= room) return;
  // Characters come out of the middle until both ends and "..." fit: the end often tells two
  // names apart ("...:out" and "...:in", "MIDI 1" and "MIDI 2").
  const std::string whole = text;
  std::vector<size_t> starts; // where each (UTF-8) character begins
  for (size_t i = 0; i < whole.size(); ++i)
    if ((static_cast<unsigned char>(whole[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(whole.size());
  const size_t characters = starts.size() - 1;
  std::string shown = "...";
  for (size_t keep = characters; keep-- > 0;)
  {
    const size_t tail = keep / 2, head = keep - tail;
    shown = whole.substr(0, starts[head]) + "..." + whole.substr(starts[characters - tail]);
    if (TextWidth(graphics, &mTextStyle, shown.c_str()) <= room) break;
  }
  std::snprintf(text, size_t(size), "%s", shown.c_str());
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
  if (!Parameter()) return ITextControl::Draw(graphics);
  char text[256];
  CaptionText(text, sizeof(text));
  std::lock_guard<std::mutex> lock(mTextLock);
  mText.Set(text);
  // A value wider than its field (a long port name) is shortened with "..." instead of covering
  // its neighbours; the control's text stays whole.
  FitText(graphics, text, sizeof(text));
  return DrawLockedText(graphics, text);
}
