#include "framework/controls/ITextControl.h"

#include "framework/graphics/IGraphics.h"

#include <cstring>

ITextControl::ITextControl(IEffectBase* plug, const IRectangle& rect, const ITextStyle& style)
    : IControl(plug, rect, -1, IBlend(IBlend::kSourceAlpha, 1.0f))
{
  mTextStyle = style;
}

ITextControl::~ITextControl() = default;

void ITextControl::SetText(const char* text)
{
  if (!text) text = "";
  std::lock_guard<std::mutex> lock(mTextLock);
  if (std::strcmp(mText.Get(), text) == 0) return;
  RequestRedraw(false);
  mText.Set(text);
  mTextChanged.store(true, std::memory_order_release);
}

int ITextControl::GetText(char* out, int size) const
{
  std::lock_guard<std::mutex> lock(mTextLock);
  const int length = mText.Length();
  if (out && size > 0)
  {
    const int n = length < size - 1 ? length : size - 1;
    std::memcpy(out, mText.Get(), size_t(n));
    out[n] = '\0';
  }
  return length;
}

bool ITextControl::TextEquals(const char* text) const
{
  std::lock_guard<std::mutex> lock(mTextLock);
  return std::strcmp(mText.Get(), text ? text : "") == 0;
}

bool ITextControl::NeedsRedraw()
{
  // A text set by another thread after this frame drew the control, but before the frame ended
  // its redraw request, is still owed a repaint.
  return IControl::NeedsRedraw() || mTextChanged.load(std::memory_order_acquire);
}

bool ITextControl::TakeRedrawRequest()
{
  // A frame that could not draw the control (hidden, in a hidden group, no rectangle) owes nothing
  // to its text: whatever shows it again repaints it.
  if (!mDrawn.exchange(false, std::memory_order_acq_rel))
    mTextChanged.store(false, std::memory_order_release);
  return IControl::TakeRedrawRequest();
}

bool ITextControl::Draw(IGraphics* graphics)
{
  std::lock_guard<std::mutex> lock(mTextLock);
  return DrawLockedText(graphics);
}

bool ITextControl::DrawLockedText(IGraphics* graphics, const char* shown)
{
  mDrawn.store(true, std::memory_order_release);
  mTextChanged.store(false, std::memory_order_release);
  if (!shown) shown = mText.Get();
  if (!*shown) return true;
  if (!graphics) return false;
  IRectangle rect = mRect;
  return graphics->DrawTextInRect(&mTextStyle, shown, &rect, false);
}
