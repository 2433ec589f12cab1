#include "framework/graphics/IGraphicsWin.h"

#include "framework/support/HeapString.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IEffectVST.h"
#include "framework/graphics/IMenu.h"
#include "framework/plugin/IParameter.h"
#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/window/ModuleFolders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
int gLiveEditorWindows = 0;

// Menus deeper than this are refused: a menu that holds itself would never end.
constexpr int kMaxMenuDepth = 16;

// Menu look.
constexpr int kMenuBorder = 1;
constexpr int kMenuCheckColumn = 18;
constexpr int kMenuArrowColumn = 16;
constexpr int kMenuTextPad = 4;
constexpr int kMenuSeparatorHeight = 7;
constexpr uint32_t kMenuBackground = 0xFFF2F2F2;
constexpr uint32_t kMenuFrame = 0xFF808080;
constexpr uint32_t kMenuHighlight = 0xFF3465A4;
constexpr uint32_t kMenuText = 0xFF000000;
constexpr uint32_t kMenuTextHighlighted = 0xFFFFFFFF;
constexpr uint32_t kMenuTextGreyed = 0xFF9A9A9A;
constexpr uint32_t kEntryFrame = 0xFF707070;
constexpr uint32_t kEntrySelection = 0xFF99C2FF;

// A pixel buffer seen as a bitmap, so the text code can draw into menu panels.
class BufferBitmap : public Gfx_IBitmap
{
public:
  BufferBitmap(uint32_t* pixels, int width, int height) : mPixels(pixels), mWidth(width), mHeight(height) {}
  uint32_t* PixelData() const override { return mPixels; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override { return mWidth; }
  bool SetSize(int, int) override { return false; }

private:
  uint32_t* mPixels;
  int mWidth, mHeight;
};

void FillRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour)
{
  if (!bitmap || !bitmap->PixelData()) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap->Width());
  bottom = std::min(bottom, bitmap->Height());
  for (int y = top; y < bottom; ++y)
  {
    uint32_t* row = bitmap->Row(y);
    std::fill(row + left, row + std::max(left, right), colour);
  }
}

void FrameRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour)
{
  FillRect(bitmap, left, top, right, top + 1, colour);
  FillRect(bitmap, left, bottom - 1, right, bottom, colour);
  FillRect(bitmap, left, top, left + 1, bottom, colour);
  FillRect(bitmap, right - 1, top, right, bottom, colour);
}

int TextWidth(Gfx_CachedFont* font, const char* text, int length)
{
  if (!font || !text || length == 0 || !*text) return 0;
  Gfx_Rect r{0, 0, 0, 0};
  font->DrawString(nullptr, text, length, &r, DT_CALCRECT | DT_SINGLELINE);
  return r.right - r.left;
}

uint32_t Opaque(const IColour& c)
{
  return 0xFF000000u | (c.Word() & 0x00FFFFFFu);
}

IMouseMod ModOf(const WindowEvent& e)
{
  return IMouseMod(e.left, e.right, e.shift, e.control, e.alt);
}

IMenu* FindById(IMenu* menu, int id, int& counter, int depth)
{
  if (!menu || depth > kMaxMenuDepth) return nullptr;
  const int first = counter;
  const int count = menu->Count();
  counter += count;
  if (id >= first && id < first + count)
  {
    menu->SetChosenIndex(id - first);
    return menu;
  }
  for (int i = 0; i < count; ++i)
  {
    IMenuItem* item = menu->Item(i);
    if (item && item->Submenu() && !item->Has(IMenuItem::kSeparator))
      if (IMenu* found = FindById(item->Submenu(), id, counter, depth + 1)) return found;
  }
  return nullptr;
}

int Build(IMenu* menu, int& counter, PopupMenuLayout& layout, int depth)
{
  if (!menu || depth > kMaxMenuDepth) return -1;
  const int level = int(layout.levels.size());
  layout.levels.emplace_back();
  const int first = counter;
  const int count = menu->Count();
  counter += count;
  for (int i = 0; i < count; ++i)
  {
    IMenuItem* source = menu->Item(i);
    PopupMenuItem item;
    if (!source)
    {
      item.flags = kPopupItemDisabled;
      layout.levels[size_t(level)].items.push_back(item);
      continue;
    }
    item.text = IGraphicsWin::MenuItemLabel(menu, i);
    if (source->Has(IMenuItem::kSeparator))
    {
      item.text.clear();
      item.flags = kPopupItemSeparator;
    }
    else if (source->Submenu())
    {
      item.flags = source->Flags() & (kPopupItemGreyed | kPopupItemDisabled);
      // The submenu is built now, so it takes the next block of ids.
      item.submenu = Build(source->Submenu(), counter, layout, depth + 1);
      if (item.submenu < 0) item.flags |= kPopupItemDisabled;
    }
    else
    {
      item.id = first + i;
      item.flags = source->Flags() & (kPopupItemGreyed | kPopupItemDisabled | kPopupItemChecked);
    }
    layout.levels[size_t(level)].items.push_back(std::move(item));
  }
  return level;
}
} // namespace

// ---------------------------------------------------------------------------------------------

IGraphicsWin::IGraphicsWin(IEffectBase* plug, int width, int height) : IGraphics(plug, width, height)
{
  mMenuStyle.SetFace("DejaVu Sans");
  mMenuStyle.size = 13;
  mMenuStyle.hAlign = ITextStyle::kAlignLeft;
  mMenuStyle.vAlign = ITextStyle::kAlignMiddle;
  mMenuStyle.quality = ITextStyle::kQualityAntialiased;
}

IGraphicsWin::~IGraphicsWin()
{
  // The plug-in deletes its editor while it is being destroyed itself: no call may reach it now.
  mEditParamIdx = -1;
  DestroyEditorWindow();
  mPlatform.reset();
}

IGraphicsWin* CreateEditorGraphics(IEffectBase* plug, int width, int height)
{
  return new IGraphicsWin(plug, width, height);
}

void IGraphicsWin::SetPlatformWindow(std::unique_ptr<PlatformWindow> window)
{
  DestroyEditorWindow();
  mPlatform = std::move(window);
}

bool IGraphicsWin::EnsurePlatform()
{
  if (!mPlatform) mPlatform = CreateSystemWindow();
  return mPlatform != nullptr;
}

int IGraphicsWin::LiveEditorWindows()
{
  return gLiveEditorWindows;
}

int IGraphicsWin::TimerPeriod(int frameRate)
{
  return frameRate > 0 ? int(1000.0 / frameRate) : 0;
}

int IGraphicsWin::EditorKeyCode(int windowKey)
{
  if (windowKey == kWindowKeySpace) return kKeySpace;
  if (windowKey == kWindowKeyUp) return kKeyUp;
  if (windowKey == kWindowKeyDown) return kKeyDown;
  if (windowKey == kWindowKeyLeft) return kKeyLeft;
  if (windowKey == kWindowKeyRight) return kKeyRight;
  if (windowKey >= '0' && windowKey <= '9') return kKeyDigit0 + (windowKey - '0');
  if (windowKey >= 'A' && windowKey <= 'Z') return kKeyLetterA + (windowKey - 'A');
  return -1;
}

// ---- window life ----

void* IGraphicsWin::CreateEditorWindow(void* parentWindow)
{
  mParentWindow = parentWindow;
  if (mWindowOpen) DestroyEditorWindow();
  if (!EnsurePlatform()) return nullptr;
  if (!DrawBitmapSurface()) CreateDrawBitmaps();
  ++gLiveEditorWindows;
  mPlatform->SetTimerPeriod(TimerPeriod(FrameRate()));
  if (!mPlatform->Open(reinterpret_cast<uintptr_t>(parentWindow), Width(), Height(), this))
  {
    --gLiveEditorWindows;
    return nullptr;
  }
  mWindowOpen = true;
  mRepair = IRectangle();
  ReportMissingImages();
  // The first frame paints every control.
  for (int i = 0; i < NumControls(); ++i)
    GetControl(i)->RequestRedraw(false);
  return WindowHandle();
}

void IGraphicsWin::WindowGone()
{
  if (!mWindowOpen) return;
  if (EntryOpen()) CloseEntry(false);
  if (mCursorHidden) RestoreCursor();
  ReleaseMouseCapture();
  EndOpenParamEdit();
  mMouseCaptured = false;
  mWindowOpen = false;
  --gLiveEditorWindows;
}

void IGraphicsWin::DestroyEditorWindow()
{
  if (!mWindowOpen) return;
  WindowGone();
  if (mPlatform) mPlatform->Close();
}

void* IGraphicsWin::WindowHandle()
{
  if (!mWindowOpen || !mPlatform || !mPlatform->IsOpen()) return nullptr;
  return reinterpret_cast<void*>(mPlatform->Handle());
}

bool IGraphicsWin::HasWindow()
{
  return WindowHandle() != nullptr;
}

void IGraphicsWin::Idle()
{
  if (mWindowOpen && mPlatform) mPlatform->Pump();
}

// ---- painting ----

bool IGraphicsWin::PaintWindow(const IRectangle* rect)
{
  if (!mWindowOpen || !mPlatform || !rect) return false;
  Gfx_SysBitmap* bitmap = DrawBitmapSurface();
  if (!bitmap || !bitmap->PixelData()) return false;
  // The entry lies over the controls: it is drawn again over whatever was repainted beneath it
  // (the system's own entry is a window of its own, which the repaint leaves alone).
  if (EntryOpen() && !mNativeEntry && !rect->Intersect(mEntryRect).Empty()) DrawEntry();
  PixelFrame frame;
  frame.pixels = bitmap->PixelData();
  frame.width = bitmap->Width();
  frame.height = bitmap->Height();
  frame.stride = bitmap->RowSpan();
  mPlatform->Present(frame, rect->L, rect->T, rect->W(), rect->H());
  return true;
}

void IGraphicsWin::Repair(const IRectangle& rect)
{
  MergeDirtyRect(&mRepair, rect);
}

void IGraphicsWin::OnTimer()
{
  if (EntryOpen())
  {
    if (mEntryState == kEntryCancel)
      CloseEntry(false);
    else if (mEntryState == kEntryCommit)
      CloseEntry(true);
  }
  // Far-apart dirty controls are repainted area by area, not through the rectangle around them.
  DirtyRegion region;
  bool dirty = CollectDirtyRegion(&region);
  if (!mRepair.Empty())
  {
    region.Add(mRepair);
    mRepair = IRectangle();
    dirty = true;
  }
  if (dirty) DrawDirtyRegion(region);
}

void IGraphicsWin::OnExpose(const IRectangle& area)
{
  // The exposed area is repainted together with whatever asked for a repaint,
  // so that no pending request is lost to the expose.
  IRectangle rect = area;
  IRectangle dirty;
  if (CollectDirtyRect(&dirty)) MergeDirtyRect(&rect, dirty);
  if (!mRepair.Empty())
  {
    MergeDirtyRect(&rect, mRepair);
    mRepair = IRectangle();
  }
  DrawDirty(&rect);
}

// ---- events ----

void IGraphicsWin::OnWindowEvent(const WindowEvent& e)
{
  switch (e.kind)
  {
  case kWindowEventTimer:
    OnTimer();
    return;
  case kWindowEventExpose:
    OnExpose(IRectangle(e.x, e.y, e.x + e.width, e.y + e.height));
    return;
  case kWindowEventMouseDown:
    OnPress(e, false);
    return;
  case kWindowEventDoubleClick:
    OnPress(e, true);
    return;
  case kWindowEventMouseUp:
    // Every button's press took the capture (the middle one's too), so every release gives it
    // back: a capture kept would hold the whole display's pointer.
    if (e.button == kWindowButtonNone) return;
    if (mMouseCaptured)
    {
      mPlatform->ReleaseMouse();
      mMouseCaptured = false;
    }
    if (EntryOpen()) return;
    OnMouseUp(e.x, e.y, ModOf(e));
    return;
  case kWindowEventMouseMove:
    if (!(e.left || e.right) || !mMouseCaptured || EntryOpen() || !CapturedControl()) return;
    OnMouseDrag(e.x, e.y, ModOf(e));
    return;
  case kWindowEventWheel:
    if (EntryOpen())
    {
      mEntryState = kEntryCancel;
      return;
    }
    // 120 per notch, truncated toward zero.
    OnMouseWheel(e.x, e.y, ModOf(e), e.wheel / 120);
    return;
  case kWindowEventKeyDown:
    OnKey(e);
    return;
  case kWindowEventFocusIn:
    if (EntryOpen() && mEntryState != kEntryCancel && mEntryState != kEntryCommit)
      mEntryState = kEntryFocused;
    return;
  case kWindowEventFocusOut:
    if (EntryOpen() && mEntryState != kEntryCommit) mEntryState = kEntryCancel;
    return;
  case kWindowEventClose:
    WindowGone();
    return;
  case kWindowEventEntryCommit:
    if (EntryOpen() && mEntryState != kEntryCancel) mEntryState = kEntryCommit;
    return;
  case kWindowEventEntryCancel:
    if (EntryOpen() && mEntryState != kEntryCommit) mEntryState = kEntryCancel;
    return;
  default:
    return;
  }
}

void IGraphicsWin::OnPress(const WindowEvent& e, bool doubleClick)
{
  if (EntryOpen())
  {
    if (mEntryRect.Contains(e.x, e.y) && e.button == kWindowButtonLeft)
    {
      // A press in the entry edits it.
      if (doubleClick)
        mEntry.SelectAll();
      else
        mEntry.SetCaret(EntryPositionAt(e.x), e.shift);
      Repair(mEntryRect);
      return;
    }
    if (mEntryState == kEntryFocused)
    {
      // A press elsewhere while the entry has the focus cancels it on the next frame.
      if (e.button == kWindowButtonLeft || e.button == kWindowButtonRight) mEntryState = kEntryCancel;
      return;
    }
    // Otherwise the entry goes at once, uncommitted, and the press goes on.
    CloseEntry(false);
    Repair(IRectangle(0, 0, Width(), Height()));
  }
  if (doubleClick)
  {
    if (e.button != kWindowButtonLeft) return;
    OnMouseDblClick(e.x, e.y, ModOf(e));
    if (CapturedControl() && mWindowOpen)
    {
      mPlatform->CaptureMouse();
      mMouseCaptured = true;
    }
    return;
  }
  mPlatform->TakeFocus();
  mPlatform->CaptureMouse();
  mMouseCaptured = true;
  OnMouseDown(e.x, e.y, ModOf(e));
}

void IGraphicsWin::OnKey(const WindowEvent& e)
{
  if (EntryOpen())
  {
    // The system's own entry takes its keys itself.
    if (mNativeEntry || mEntryState == kEntryCancel || mEntryState == kEntryCommit) return;
    switch (mEntry.Key(e.key, e.text, e.shift))
    {
    case TextEntryField::kCommit:
      mEntryState = kEntryCommit;
      break;
    case TextEntryField::kCancel:
      mEntryState = kEntryCancel;
      break;
    case TextEntryField::kEdited:
      Repair(mEntryRect);
      break;
    default:
      break;
    }
    return;
  }
  const int code = EditorKeyCode(e.key);
  if (code < 0)
  {
    mPlatform->ForwardKeyToHost(e);
    return;
  }
  // The control under the pointer decides; a key nobody takes belongs to the host.
  int x = e.x, y = e.y;
  mPlatform->PointerPosition(x, y);
  if (!OnKeyDown(x, y, code)) mPlatform->ForwardKeyToHost(e);
}

// ---- text entry ----

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
  const int width = TextWidth(font, text.c_str(), int(text.size()));
  const int innerL = mEntryRect.L + 3, innerR = mEntryRect.R - 3;
  int x;
  if (mEntryStyle.hAlign == ITextStyle::kAlignLeft)
    x = innerL;
  else if (mEntryStyle.hAlign == ITextStyle::kAlignRight)
    x = innerR - width;
  else
    x = (mEntryRect.L + mEntryRect.R) / 2 - width / 2;
  // Keep the caret in view when the text is wider than the entry.
  const int caretX = x + TextWidth(font, text.c_str(), mEntry.Caret());
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
    const int d = std::abs(x - (left + TextWidth(font, text.c_str(), i)));
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
  FillRect(bitmap, r.L, r.T, r.R, r.B, Opaque(mEntryStyle.entryBackground));
  FrameRect(bitmap, r.L, r.T, r.R, r.B, kEntryFrame);
  Gfx_CachedFont* font = mEntryStyle.font ? mEntryStyle.font : MakeCachedFont(&mEntryStyle);
  const std::string& text = mEntry.Text();
  const int x = EntryTextLeft();
  const int innerT = r.T + 2, innerB = r.B - 2;
  const int innerL = r.L + 2, innerR = r.R - 2;
  if (mEntry.HasSelection())
  {
    const int s0 = x + TextWidth(font, text.c_str(), mEntry.SelectionStart());
    const int s1 = x + TextWidth(font, text.c_str(), mEntry.SelectionEnd());
    FillRect(bitmap, std::max(s0, innerL), innerT, std::min(s1, innerR), innerB, kEntrySelection);
  }
  if (font && !text.empty())
  {
    // Clipped to the entry: the text may be wider than the box.
    DrawFontString(font, Opaque(mEntryStyle.entryText), bitmap, text.c_str(), x, r.T, innerR, r.B,
                   DT_VCENTER | DT_SINGLELINE);
  }
  if (!mEntry.HasSelection())
  {
    const int caretX = x + TextWidth(font, text.c_str(), mEntry.Caret());
    if (caretX >= innerL && caretX < innerR)
      FillRect(bitmap, caretX, innerT, caretX + 1, innerB, Opaque(mEntryStyle.entryText));
  }
  mEntryState = mEntryState == kEntryOpen ? kEntryRepainted : mEntryState;
}

// ---- menus ----

std::string IGraphicsWin::MenuItemLabel(const IMenu* menu, int index)
{
  if (!menu || !menu->Item(index)) return std::string();
  const char* text = menu->Item(index)->Text();
  const char* format = nullptr;
  switch (menu->PrefixStyle())
  {
  case IMenu::kPrefix1:
    format = "%1d: %s";
    break;
  case IMenu::kPrefix2:
    format = "%02d: %s";
    break;
  case IMenu::kPrefix3:
    format = "%03d: %s";
    break;
  default:
    return text;
  }
  const int n = std::snprintf(nullptr, 0, format, index + 1, text);
  if (n < 0) return text;
  std::string label(size_t(n) + 1, '\0');
  std::snprintf(label.data(), label.size(), format, index + 1, text);
  label.resize(size_t(n));
  return label;
}

int IGraphicsWin::BuildMenu(IMenu* menu, int& counter, PopupMenuLayout& layout)
{
  return Build(menu, counter, layout, 0);
}

IMenu* IGraphicsWin::FindMenuItemById(IMenu* menu, int id)
{
  if (id < 0) return nullptr;
  int counter = 0;
  return FindById(menu, id, counter, 0);
}

IMenu* IGraphicsWin::ShowPopupMenu(IMenu* menu, const IRectangle* rect)
{
  ReleaseMouseCapture();
  if (mMouseCaptured && mPlatform)
  {
    mPlatform->ReleaseMouse();
    mMouseCaptured = false;
  }
  if (!menu || !rect || !mWindowOpen || !mPlatform) return nullptr;
  PopupMenuLayout layout;
  int counter = 0;
  if (BuildMenu(menu, counter, layout) < 0) return nullptr;
  const int id = mPlatform->TrackPopupMenu(layout, rect->L, rect->B, *this);
  return id >= 0 ? FindMenuItemById(menu, id) : nullptr;
}

void IGraphicsWin::MeasureLevel(const PopupMenuLayout& layout, int level, int& width, int& height)
{
  width = height = 0;
  if (level < 0 || level >= int(layout.levels.size())) return;
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const int rowHeight = std::max(font ? font->LineHeight() : 0, 14) + 6;
  int textWidth = 40;
  height = 2 * kMenuBorder;
  for (const PopupMenuItem& item : layout.levels[size_t(level)].items)
  {
    if (item.flags & kPopupItemSeparator)
    {
      height += kMenuSeparatorHeight;
      continue;
    }
    height += rowHeight;
    textWidth =
        std::max(textWidth, font ? TextWidth(font, item.text.c_str(), -1) : int(item.text.size()) * 7);
  }
  if (layout.levels[size_t(level)].items.empty()) height += rowHeight; // an empty menu still shows as a box
  width = 2 * kMenuBorder + kMenuCheckColumn + textWidth + 2 * kMenuTextPad + kMenuArrowColumn;
}

void IGraphicsWin::ItemRow(const PopupMenuLayout& layout, int level, int item, int& top, int& bottom)
{
  top = bottom = 0;
  if (level < 0 || level >= int(layout.levels.size())) return;
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const int rowHeight = std::max(font ? font->LineHeight() : 0, 14) + 6;
  int y = kMenuBorder;
  const std::vector<PopupMenuItem>& items = layout.levels[size_t(level)].items;
  for (int i = 0; i < int(items.size()); ++i)
  {
    const int h = (items[size_t(i)].flags & kPopupItemSeparator) ? kMenuSeparatorHeight : rowHeight;
    if (i == item)
    {
      top = y;
      bottom = y + h;
      return;
    }
    y += h;
  }
}

int IGraphicsWin::ItemAt(const PopupMenuLayout& layout, int level, int x, int y)
{
  if (level < 0 || level >= int(layout.levels.size()) || x < 0) return -1;
  int width = 0, height = 0;
  MeasureLevel(layout, level, width, height);
  if (x >= width) return -1;
  const int count = int(layout.levels[size_t(level)].items.size());
  for (int i = 0; i < count; ++i)
  {
    int top = 0, bottom = 0;
    ItemRow(layout, level, i, top, bottom);
    if (y >= top && y < bottom)
      return (layout.levels[size_t(level)].items[size_t(i)].flags & kPopupItemSeparator) ? -1 : i;
  }
  return -1;
}

void IGraphicsWin::PaintLevel(const PopupMenuLayout& layout, int level, int highlighted, uint32_t* pixels,
                              int width, int height)
{
  if (!pixels || width <= 0 || height <= 0 || level < 0 || level >= int(layout.levels.size())) return;
  BufferBitmap panel(pixels, width, height);
  FillRect(&panel, 0, 0, width, height, kMenuBackground);
  FrameRect(&panel, 0, 0, width, height, kMenuFrame);
  Gfx_CachedFont* font = mMenuStyle.font ? mMenuStyle.font : MakeCachedFont(&mMenuStyle);
  const std::vector<PopupMenuItem>& items = layout.levels[size_t(level)].items;
  for (int i = 0; i < int(items.size()); ++i)
  {
    const PopupMenuItem& item = items[size_t(i)];
    int top = 0, bottom = 0;
    ItemRow(layout, level, i, top, bottom);
    if (item.flags & kPopupItemSeparator)
    {
      const int mid = (top + bottom) / 2;
      FillRect(&panel, kMenuBorder + 4, mid, width - kMenuBorder - 4, mid + 1, kMenuFrame);
      continue;
    }
    const bool greyed = (item.flags & (kPopupItemGreyed | kPopupItemDisabled)) != 0;
    const bool lit = i == highlighted && !greyed;
    if (lit) FillRect(&panel, kMenuBorder, top, width - kMenuBorder, bottom, kMenuHighlight);
    const uint32_t ink = greyed ? kMenuTextGreyed : (lit ? kMenuTextHighlighted : kMenuText);
    if (item.flags & kPopupItemChecked)
    {
      // A small tick in the check column.
      const int cx = kMenuBorder + 5, cy = (top + bottom) / 2;
      for (int k = 0; k < 3; ++k)
        FillRect(&panel, cx + k, cy + k - 1, cx + k + 2, cy + k + 1, ink);
      for (int k = 0; k < 6; ++k)
        FillRect(&panel, cx + 3 + k, cy + 1 - k, cx + 5 + k, cy + 3 - k, ink);
    }
    if (item.submenu >= 0)
    {
      // A right-pointing triangle in the arrow column.
      const int ax = width - kMenuBorder - kMenuArrowColumn + 5, cy = (top + bottom) / 2;
      for (int k = 0; k < 4; ++k)
        FillRect(&panel, ax + k, cy - 3 + k, ax + k + 1, cy + 4 - k, ink);
    }
    if (font && !item.text.empty())
    {
      DrawFontString(font, ink, &panel, item.text.c_str(), kMenuBorder + kMenuCheckColumn + kMenuTextPad, top,
                     width - kMenuBorder - kMenuArrowColumn, bottom, DT_VCENTER | DT_SINGLELINE);
    }
  }
}

// ---- resizing ----

void IGraphicsWin::Resize(int width, int height)
{
  if (width == Width() && height == Height()) return;
  // The entry's control is about to be deleted with the others.
  if (EntryOpen()) CloseEntry(false);
  IGraphics::Resize(width, height);
  if (!mWindowOpen || !mPlatform) return;
  // Only our own window changes; the host is asked to fit its window around it.
  mPlatform->Resize(Width(), Height());
  if (IEffectVST* vst = dynamic_cast<IEffectVST*>(mPlug))
    if (audioMasterCallback host = vst->HostCallback())
      host(vst->Effect(), audioMasterSizeWindow, Width(), Height(), nullptr, 0.0f);
  Repair(IRectangle(0, 0, Width(), Height()));
}

// ---- cursor ----

void IGraphicsWin::HideMouseCursor()
{
  if (mCursorHidden || !mWindowOpen || !mPlatform) return;
  int x = -1, y = -1;
  if (!mPlatform->PointerPosition(x, y)) x = y = -1;
  mCursorX = x;
  mCursorY = y;
  mPlatform->SetCursorVisible(false);
  mCursorHidden = true;
}

void IGraphicsWin::RestoreCursor()
{
  if (!mCursorHidden) return;
  if (mPlatform && mWindowOpen)
  {
    if (mCursorX >= 0 && mCursorY >= 0) mPlatform->WarpPointer(mCursorX, mCursorY);
    mPlatform->SetCursorVisible(true);
  }
  mCursorHidden = false;
  mCursorX = mCursorY = -1;
}

// ---- dialogs, shell and folders ----

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type)
{
  if (!EnsurePlatform()) return 0;
  int kind = type & 0xF;
  if (kind != kMessageBoxOk && kind != kMessageBoxOkCancel && kind != kMessageBoxYesNo &&
      kind != kMessageBoxYesNoCancel)
    kind = kMessageBoxOk;
  return mPlatform->ShowMessageBox(text ? text : "", caption ? caption : "", kind);
}

void IGraphicsWin::PromptForFilePath(HeapString* file, int action, HeapString* folder, const char* extensions)
{
  if (!file) return;
  if (!mWindowOpen || !mPlatform)
  {
    file->Set("");
    mLastDialogStatus = kDialogUnavailable;
    return;
  }
  if (folder && folder->Empty()) DesktopFolder(folder);
  std::vector<std::string> list;
  if (extensions)
  {
    const std::string all = extensions;
    size_t start = 0;
    while (start < all.size())
    {
      size_t end = all.find(' ', start);
      if (end == std::string::npos) end = all.size();
      if (end > start) list.push_back(all.substr(start, end - start));
      start = end + 1;
    }
  }
  std::string path;
  mLastDialogStatus =
      mPlatform->PromptForFile(action == 1, folder ? folder->Get() : "", file->Get(), list, path);
  if (mLastDialogStatus == kDialogUnavailable)
    Log("File prompt unavailable: zenity is not installed; treated as cancelled");
  if (mLastDialogStatus != kDialogChosen) return;
  if (folder) folder->Set(FolderOfPath(path).c_str());
  file->Set(path.c_str());
}

bool IGraphicsWin::PromptForColour(IColour* colour, const char* title)
{
  if (!colour || !mWindowOpen || !mPlatform)
  {
    mLastDialogStatus = kDialogUnavailable;
    return false;
  }
  uint8_t rgb[3] = {uint8_t(colour->R & 0xFF), uint8_t(colour->G & 0xFF), uint8_t(colour->B & 0xFF)};
  mLastDialogStatus = mPlatform->PromptForColour(title ? title : "", rgb);
  if (mLastDialogStatus == kDialogUnavailable)
    Log("Colour prompt unavailable: zenity is not installed; treated as cancelled");
  if (mLastDialogStatus != kDialogChosen) return false;
  colour->R = rgb[0];
  colour->G = rgb[1];
  colour->B = rgb[2];
  return true;
}

bool IGraphicsWin::OpenWithShell(const char* target, const char* caption, const char* confirmText,
                                 const char* errorText)
{
  if (confirmText && ShowMessageBox(confirmText, caption, kMessageBoxYesNo) != kMessageBoxAnswerYes)
    return false;
  if (target && *target && EnsurePlatform() && mPlatform->OpenWithShell(target)) return true;
  if (errorText) ShowMessageBox(errorText, caption, kMessageBoxOk);
  return false;
}

void IGraphicsWin::HostExecutablePath(HeapString* out)
{
  if (out) out->Set(HostExecutableFolder().c_str());
}

void IGraphicsWin::PluginModulePath(HeapString* out)
{
  if (out) out->Set(PluginModuleFolder().c_str());
}

void IGraphicsWin::DesktopFolder(HeapString* out)
{
  if (out) out->Set(::DesktopFolder().c_str());
}
