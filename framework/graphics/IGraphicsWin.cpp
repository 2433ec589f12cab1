#include "framework/graphics/IGraphicsWin.h"

#include "framework/support/HeapString.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IEffectVST.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/window/ModuleFolders.h"

#include <atomic>
#include <string>
#include <vector>

namespace
{
// Editors of several instances open and close on the threads of their hosts' choosing.
std::atomic<int> gLiveEditorWindows{0};

IMouseMod ModOf(const WindowEvent& e)
{
  return IMouseMod(e.left, e.right, e.shift, e.control, e.alt);
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
  return gLiveEditorWindows.load();
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
