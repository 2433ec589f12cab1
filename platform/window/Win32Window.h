#pragma once

#include "platform/window/PlatformWindow.h"

#include <memory>

// The Win32 back end: a child window of class "IEffectWndClass" inside the HWND the host passes
// to effEditOpen, on the host's user-interface thread. The host's message loop drives it: the
// window procedure turns messages into window events at once, and the frame timer is a window
// timer (id 2). Frames are kept in a DIB section of the window's size, so WM_PAINT repaints from
// it without asking the editor. Events that arrive while the editor is busy with one (a modal
// menu, message box or dialog of ours runs its own loop) wait and are delivered after it, or by
// Pump (effEditIdle); timer ticks that arrive then are dropped.
// Popup menus are the system's own (TrackPopupMenuEx), so is the value prompt's text entry (an
// "EDIT" child, id 99); the message box, file and colour prompts are the system's dialogs; the
// desktop shell opens folders and links.
class Win32Window : public PlatformWindow
{
public:
  Win32Window();
  ~Win32Window() override;

  bool Open(uintptr_t parent, int width, int height, WindowListener* listener) override;
  void Close() override;
  bool IsOpen() const override;
  uintptr_t Handle() const override;
  bool Resize(int width, int height) override;
  void Present(const PixelFrame& frame, int x, int y, int width, int height) override;
  void SetTimerPeriod(int milliseconds) override;
  void Pump() override;
  void TakeFocus() override;
  void CaptureMouse() override;
  void ReleaseMouse() override;
  bool PointerPosition(int& x, int& y) override;
  void WarpPointer(int x, int y) override;
  void SetCursorVisible(bool visible) override;
  void ForwardKeyToHost(const WindowEvent& event) override;
  int TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter) override;
  bool OpenTextEntry(const NativeTextEntry& entry) override;
  bool TextEntryText(std::string& text) override;
  void CloseTextEntry() override;
  int ShowMessageBox(const std::string& text, const std::string& caption, int kind) override;
  DialogStatus PromptForFile(bool save, const std::string& folder, const std::string& file,
                             const std::vector<std::string>& extensions, std::string& path) override;
  DialogStatus PromptForColour(const std::string& title, uint8_t rgb[3]) override;
  bool OpenWithShell(const std::string& target) override;

  // Live windows of the class in this process (the class is registered while there are any).
  static int LiveWindows();
  // The native popup menu of a layout level with its submenus (command ids shifted by one, as the
  // system's menus answer 0 for "nothing chosen"); null when the level does not exist. The caller
  // destroys it with DestroyMenu. Exposed for tests.
  static void* BuildNativeMenu(const PopupMenuLayout& layout, int level);

  struct State; // Win32 objects, kept out of this header

private:
  std::unique_ptr<State> mState;
};
