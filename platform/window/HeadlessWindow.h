#pragma once

#include "platform/window/DoubleClickDetector.h"
#include "platform/window/PlatformWindow.h"

#include <deque>
#include <string>
#include <vector>

// The test back end: no display. Tests inject events (delivered by Pump),
// script the answers of menus and dialogs, and read the frames presented
// into a bitmap of the window's size.
class HeadlessWindow : public PlatformWindow
{
public:
  HeadlessWindow() = default;

  // PlatformWindow
  bool Open(uintptr_t parent, int width, int height, WindowListener* listener) override;
  void Close() override;
  bool IsOpen() const override { return mOpen; }
  uintptr_t Handle() const override { return mOpen ? mHandle : 0; }
  bool Resize(int width, int height) override;
  void Present(const PixelFrame& frame, int x, int y, int width, int height) override;
  void SetTimerPeriod(int milliseconds) override { mTimerPeriod = milliseconds; }
  void Pump() override;
  void TakeFocus() override { mFocused = true; }
  void CaptureMouse() override { mCaptured = true; }
  void ReleaseMouse() override { mCaptured = false; }
  bool PointerPosition(int& x, int& y) override;
  void WarpPointer(int x, int y) override;
  void SetCursorVisible(bool visible) override { mCursorVisible = visible; }
  void ForwardKeyToHost(const WindowEvent& event) override { mForwardedKeys.push_back(event); }
  int TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter) override;
  int ShowMessageBox(const std::string& text, const std::string& caption, int kind) override;
  DialogStatus PromptForFile(bool save, const std::string& folder, const std::string& file,
                             const std::vector<std::string>& extensions, std::string& path) override;
  DialogStatus PromptForColour(const std::string& title, uint8_t rgb[3]) override;
  bool OpenWithShell(const std::string& target) override;

  // ---- Driving it from a test ----
  void Inject(const WindowEvent& event) { mQueue.push_back(event); }
  // A press as the X11 back end reports it: the second quick left press becomes a double click.
  void InjectPress(int x, int y, int button, uint32_t time, bool shift = false, bool control = false);
  void InjectRelease(int x, int y, int button);
  void InjectMove(int x, int y, int buttonHeld);
  void InjectWheel(int x, int y, int distance);
  // A key as the window reports it (key code and the character it types, if any).
  void InjectKey(int key, const char* text = "");
  // Types a text, one key per character ('\r' is Return, '\x1b' Escape, '\b' BackSpace).
  void InjectText(const char* text);
  void InjectExpose(int x, int y, int width, int height);
  void InjectFocusOut();
  // Queues the timer ticks due when the clock moves on by the given time.
  void AdvanceTime(int milliseconds);
  void SetPointer(int x, int y)
  {
    mPointerX = x;
    mPointerY = y;
  }

  // Scripted answers, used in order; when none is left menus answer -1 and dialogs cancel.
  void QueueMenuAnswer(int id) { mMenuAnswers.push_back(id); }
  void QueueMessageBoxAnswer(int answer) { mMessageAnswers.push_back(answer); }
  void QueueFileAnswer(DialogStatus status, const std::string& path)
  {
    mFileAnswers.push_back({status, path});
  }
  void QueueColourAnswer(DialogStatus status, uint8_t r, uint8_t g, uint8_t b)
  {
    mColourAnswers.push_back({status, {r, g, b}});
  }

  // ---- What happened ----
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  uintptr_t Parent() const { return mParent; }
  // The window's pixels, as presented (0 where nothing was presented yet).
  const std::vector<uint32_t>& Screen() const { return mScreen; }
  uint32_t PixelAt(int x, int y) const;
  int PresentCount() const { return mPresentCount; }
  int LastPresentX() const { return mLastPresent[0]; }
  int LastPresentY() const { return mLastPresent[1]; }
  int LastPresentWidth() const { return mLastPresent[2]; }
  int LastPresentHeight() const { return mLastPresent[3]; }
  int TimerPeriod() const { return mTimerPeriod; }
  bool Focused() const { return mFocused; }
  bool Captured() const { return mCaptured; }
  bool CursorVisible() const { return mCursorVisible; }
  const std::vector<WindowEvent>& ForwardedKeys() const { return mForwardedKeys; }
  int MenusShown() const { return mMenusShown; }
  const PopupMenuLayout& LastMenu() const { return mLastMenu; }
  int LastMenuX() const { return mLastMenuX; }
  int LastMenuY() const { return mLastMenuY; }
  // The top level of the last menu as its painter drew it.
  const std::vector<uint32_t>& LastMenuPixels() const { return mLastMenuPixels; }
  int LastMenuWidth() const { return mLastMenuWidth; }
  int LastMenuHeight() const { return mLastMenuHeight; }
  const std::vector<std::string>& MessageBoxTexts() const { return mMessageTexts; }
  const std::vector<std::string>& ShellTargets() const { return mShellTargets; }
  int OpenCount() const { return mOpenCount; }

private:
  bool mOpen = false;
  uintptr_t mParent = 0;
  uintptr_t mHandle = 0;
  int mWidth = 0, mHeight = 0;
  WindowListener* mListener = nullptr;
  std::deque<WindowEvent> mQueue;
  std::vector<uint32_t> mScreen;
  int mPresentCount = 0;
  int mLastPresent[4] = {};
  int mTimerPeriod = 0;
  int mTimeSinceTick = 0;
  uint32_t mClock = 0;
  bool mFocused = false, mCaptured = false, mCursorVisible = true;
  int mPointerX = -1, mPointerY = -1;
  bool mLeftHeld = false, mRightHeld = false;
  DoubleClickDetector mDoubleClick;
  std::vector<WindowEvent> mForwardedKeys;
  std::deque<int> mMenuAnswers;
  std::deque<int> mMessageAnswers;
  struct FileAnswer
  {
    DialogStatus status;
    std::string path;
  };
  std::deque<FileAnswer> mFileAnswers;
  struct ColourAnswer
  {
    DialogStatus status;
    uint8_t rgb[3];
  };
  std::deque<ColourAnswer> mColourAnswers;
  int mMenusShown = 0;
  PopupMenuLayout mLastMenu;
  int mLastMenuX = 0, mLastMenuY = 0;
  std::vector<uint32_t> mLastMenuPixels;
  int mLastMenuWidth = 0, mLastMenuHeight = 0;
  std::vector<std::string> mMessageTexts;
  std::vector<std::string> mShellTargets;
  int mOpenCount = 0;
  static uintptr_t sNextHandle;
};
