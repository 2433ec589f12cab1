#include "framework/graphics/IGraphicsWin.h"

#include "framework/controls/IControl.h"
#include "framework/graphics/PanelPaint.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_SysBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <string>

// The one-line text entry of the value prompt: the back end's own where it has one, else drawn here
// over its control.

namespace
{
constexpr uint32_t kEntryFrame = 0xFF707070;
constexpr uint32_t kEntrySelection = 0xFF99C2FF;

uint32_t Opaque(const IColour& c)
{
  return 0xFF000000u | (c.Word() & 0x00FFFFFFu);
}
} // namespace

void IGraphicsWin::ShowTextEntry(IControl* control, const ITextStyle* style, const IRectangle* rect,
                                 const char* text, IParameter* param)
{
  if (!control || !rect || EntryOpen() || !mWindowOpen) return;
  mEntryStyle = style ? *style : control->TextStyle();
  const int height = rect->H() < mEntryStyle.size + 2 ? mEntryStyle.size + 2 : rect->H() + 1;
  mEntryRect = IRectangle(rect->L, rect->T, rect->L + rect->W() + 1, rect->T + height);
  TextEntryField::Filter filter = TextEntryField::kAnyText;
  if (param)
  {
    const int type = param->Type();
    if (type >= IParameter::kTypeBool && type <= IParameter::kTypeEnumerated)
      filter = TextEntryField::kInteger;
    else if (type == IParameter::kTypeContinuous)
      filter = TextEntryField::kDecimal;
  }
  mEntry.Open(text, control->TextEntryLength(), filter);
  mEntryControl = control;
  mEntryParam = param;
  mEntryState = kEntryFocused;
  // The system's own entry where the back end has one, else one drawn over the control.
  NativeTextEntry native;
  native.x = mEntryRect.L;
  native.y = mEntryRect.T;
  native.width = mEntryRect.W();
  native.height = mEntryRect.H();
  native.text = mEntry.Text();
  native.face = mEntryStyle.face;
  native.size = mEntryStyle.size;
  native.bold = mEntryStyle.style == ITextStyle::kBold;
  native.italic = mEntryStyle.style == ITextStyle::kItalic;
  native.align = mEntryStyle.hAlign;
  native.textColour = Opaque(mEntryStyle.entryText);
  native.backColour = Opaque(mEntryStyle.entryBackground);
  native.limit = mEntry.Limit();
  native.filter = filter == TextEntryField::kInteger ? 1 : (filter == TextEntryField::kDecimal ? 2 : 0);
  mNativeEntry = mPlatform->OpenTextEntry(native);
  if (mNativeEntry) return;
  mPlatform->TakeFocus();
  Repair(mEntryRect);
}

void IGraphicsWin::CancelTextEntry()
{
  if (EntryOpen()) mEntryState = kEntryCancel;
}

void IGraphicsWin::CloseEntry(bool commit)
{
  if (!EntryOpen()) return;
  IControl* control = mEntryControl;
  IParameter* param = mEntryParam;
  std::string text = mEntry.Text();
  if (mNativeEntry && mPlatform)
  {
    mPlatform->TextEntryText(text);
    mPlatform->CloseTextEntry();
  }
  mNativeEntry = false;
  text = text.substr(0, TextEntryField::kMaxLength);
  mEntryControl = nullptr;
  mEntryParam = nullptr;
  mEntryState = kEntryOpen;
  // What lay under the entry is drawn again.
  Repair(mEntryRect);
  mEntryRect = IRectangle();
  // The press that opened the entry had its release swallowed: end it here, or the control would
  // keep the capture (wheel and keys) and the host edit it began would stay open.
  if (mMouseCaptured && mPlatform)
  {
    mPlatform->ReleaseMouse();
    mMouseCaptured = false;
  }
  ReleaseMouseCapture();
  if (commit && param) SetValueFromText(control, param, text.c_str());
  EndOpenParamEdit();
}

int IGraphicsWin::EntryTextLeft()
{
  Gfx_CachedFont* font = mEntryStyle.font ? mEntryStyle.font : MakeCachedFont(&mEntryStyle);
  const std::string& text = mEntry.Text();
  const int width = PanelPaint::TextWidth(font, text.c_str(), int(text.size()));
  const int innerL = mEntryRect.L + 3, innerR = mEntryRect.R - 3;
  int x;
  if (mEntryStyle.hAlign == ITextStyle::kAlignLeft)
    x = innerL;
  else if (mEntryStyle.hAlign == ITextStyle::kAlignRight)
    x = innerR - width;
  else
    x = (mEntryRect.L + mEntryRect.R) / 2 - width / 2;
  // Keep the caret in view when the text is wider than the entry.
  const int caretX = x + PanelPaint::TextWidth(font, text.c_str(), mEntry.Caret());
  if (caretX > innerR) x -= caretX - innerR;
  if (caretX < innerL) x += innerL - caretX;
  return x;
}

int IGraphicsWin::EntryPositionAt(int x)
{
  Gfx_CachedFont* font = mEntryStyle.font ? mEntryStyle.font : MakeCachedFont(&mEntryStyle);
  const std::string& text = mEntry.Text();
  const int left = EntryTextLeft();
  int best = 0, bestDistance = std::abs(x - left);
  for (int i = 1; i <= int(text.size()); ++i)
  {
    const int d = std::abs(x - (left + PanelPaint::TextWidth(font, text.c_str(), i)));
    if (d < bestDistance)
    {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

void IGraphicsWin::DrawEntry()
{
  Gfx_SysBitmap* bitmap = DrawBitmapSurface();
  if (!bitmap || !EntryOpen()) return;
  const IRectangle& r = mEntryRect;
  PanelPaint::FillRect(bitmap, r.L, r.T, r.R, r.B, Opaque(mEntryStyle.entryBackground));
  PanelPaint::FrameRect(bitmap, r.L, r.T, r.R, r.B, kEntryFrame);
  Gfx_CachedFont* font = mEntryStyle.font ? mEntryStyle.font : MakeCachedFont(&mEntryStyle);
  const std::string& text = mEntry.Text();
  const int x = EntryTextLeft();
  const int innerT = r.T + 2, innerB = r.B - 2;
  const int innerL = r.L + 2, innerR = r.R - 2;
  if (mEntry.HasSelection())
  {
    const int s0 = x + PanelPaint::TextWidth(font, text.c_str(), mEntry.SelectionStart());
    const int s1 = x + PanelPaint::TextWidth(font, text.c_str(), mEntry.SelectionEnd());
    PanelPaint::FillRect(bitmap, std::max(s0, innerL), innerT, std::min(s1, innerR), innerB, kEntrySelection);
  }
  if (font && !text.empty())
  {
    // Clipped to the entry: the text may be wider than the box.
    DrawFontString(font, Opaque(mEntryStyle.entryText), bitmap, text.c_str(), x, r.T, innerR, r.B,
                   DT_VCENTER | DT_SINGLELINE);
  }
  if (!mEntry.HasSelection())
  {
    const int caretX = x + PanelPaint::TextWidth(font, text.c_str(), mEntry.Caret());
    if (caretX >= innerL && caretX < innerR)
      PanelPaint::FillRect(bitmap, caretX, innerT, caretX + 1, innerB, Opaque(mEntryStyle.entryText));
  }
  mEntryState = mEntryState == kEntryOpen ? kEntryRepainted : mEntryState;
}
