#pragma once

#include "platform/window/DoubleClickDetector.h"
#include "platform/window/PlatformWindow.h"

#include <chrono>
#include <deque>
#include <memory>

// The X11 back end: Xlib over a display connection of its own, so that the
// host's connection and event loop are never touched. The host's effEditIdle
// drives Pump, which also runs the frame timer.
class X11Window : public PlatformWindow
{
public:
  // Opens the display named by DISPLAY; IsUsable is false when that failed.
  X11Window();
  ~X11Window() override;
  bool IsUsable() const;

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
  int ShowMessageBox(const std::string& text, const std::string& caption, int kind) override;
  DialogStatus PromptForFile(bool save, const std::string& folder, const std::string& file,
                             const std::vector<std::string>& extensions, std::string& path) override;
  DialogStatus PromptForColour(const std::string& title, uint8_t rgb[3]) override;
  bool OpenWithShell(const std::string& target) override;

  struct State; // Xlib objects, kept out of this header

private:
  std::unique_ptr<State> mState;
};
