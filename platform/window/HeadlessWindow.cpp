#include "platform/window/HeadlessWindow.h"

#include <algorithm>
#include <cstring>

uintptr_t HeadlessWindow::sNextHandle = 0x1000;

bool HeadlessWindow::Open(uintptr_t parent, int width, int height, WindowListener* listener)
{
  if (mOpen || parent == 0 || width <= 0 || height <= 0) return false;
  mOpen = true;
  mParent = parent;
  mHandle = sNextHandle++;
  mListener = listener;
  mWidth = width;
  mHeight = height;
  mScreen.assign(size_t(width) * size_t(height), 0u);
  mFocused = true;
  ++mOpenCount;
  // A server exposes a window when it is first shown.
  InjectExpose(0, 0, width, height);
  return true;
}

void HeadlessWindow::Close()
{
  if (!mOpen) return;
  mOpen = false;
  mListener = nullptr;
  mQueue.clear();
  mCaptured = false;
}

bool HeadlessWindow::Resize(int width, int height)
{
  if (!mOpen || width <= 0 || height <= 0) return false;
  std::vector<uint32_t> screen(size_t(width) * size_t(height), 0u);
  for (int y = 0; y < std::min(height, mHeight); ++y)
    std::memcpy(&screen[size_t(y) * size_t(width)], &mScreen[size_t(y) * size_t(mWidth)],
                size_t(std::min(width, mWidth)) * 4);
  mScreen.swap(screen);
  mWidth = width;
  mHeight = height;
  return true;
}

void HeadlessWindow::Present(const PixelFrame& frame, int x, int y, int width, int height)
{
  if (!mOpen || !frame.pixels) return;
  // Clip to the frame and to the window, as a blit to the screen would.
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min({x + width, frame.width, mWidth});
  const int y1 = std::min({y + height, frame.height, mHeight});
  ++mPresentCount;
  mLastPresent[0] = x;
  mLastPresent[1] = y;
  mLastPresent[2] = width;
  mLastPresent[3] = height;
  for (int row = y0; row < y1; ++row)
    for (int col = x0; col < x1; ++col)
      mScreen[size_t(row) * size_t(mWidth) + size_t(col)] =
          frame.pixels[size_t(row) * size_t(frame.stride) + size_t(col)];
}

void HeadlessWindow::Pump()
{
  // Events injected while the listener handles one wait for the next pump, as
  // they would in a real queue.
  std::deque<WindowEvent> pending;
  pending.swap(mQueue);
  while (!pending.empty() && mOpen)
  {
    WindowEvent e = pending.front();
    pending.pop_front();
    if (mListener) mListener->OnWindowEvent(e);
  }
}

bool HeadlessWindow::PointerPosition(int& x, int& y)
{
  if (!mOpen || mPointerX < 0) return false;
  x = mPointerX;
  y = mPointerY;
  return true;
}

void HeadlessWindow::WarpPointer(int x, int y)
{
  mPointerX = x;
  mPointerY = y;
}

void HeadlessWindow::InjectPress(int x, int y, int button, uint32_t time, bool shift, bool control)
{
  WindowEvent e;
  e.x = x;
  e.y = y;
  e.button = button;
  e.time = time;
  e.shift = shift;
  e.control = control;
  if (button == kWindowButtonLeft) mLeftHeld = true;
  if (button == kWindowButtonRight) mRightHeld = true;
  e.left = mLeftHeld;
  e.right = mRightHeld;
  e.kind = mDoubleClick.Press(button, x, y, time) ? kWindowEventDoubleClick : kWindowEventMouseDown;
  mPointerX = x;
  mPointerY = y;
  Inject(e);
}

void HeadlessWindow::InjectRelease(int x, int y, int button)
{
  WindowEvent e;
  e.kind = kWindowEventMouseUp;
  e.x = x;
  e.y = y;
  e.button = button;
  if (button == kWindowButtonLeft) mLeftHeld = false;
  if (button == kWindowButtonRight) mRightHeld = false;
  e.left = mLeftHeld;
  e.right = mRightHeld;
  Inject(e);
}

void HeadlessWindow::InjectMove(int x, int y, int buttonHeld)
{
  WindowEvent e;
  e.kind = kWindowEventMouseMove;
  e.x = x;
  e.y = y;
  e.left = buttonHeld == kWindowButtonLeft || mLeftHeld;
  e.right = buttonHeld == kWindowButtonRight || mRightHeld;
  mPointerX = x;
  mPointerY = y;
  Inject(e);
}

void HeadlessWindow::InjectWheel(int x, int y, int distance)
{
  WindowEvent e;
  e.kind = kWindowEventWheel;
  e.x = x;
  e.y = y;
  e.wheel = distance;
  Inject(e);
}

void HeadlessWindow::InjectKey(int key, const char* text)
{
  WindowEvent e;
  e.kind = kWindowEventKeyDown;
  e.key = key;
  e.x = mPointerX;
  e.y = mPointerY;
  if (text) std::strncpy(e.text, text, sizeof e.text - 1);
  Inject(e);
}

void HeadlessWindow::InjectText(const char* text)
{
  for (const char* p = text; p && *p; ++p)
  {
    const char c = *p;
    const char s[2] = {c, 0};
    if (c == '\r' || c == '\n')
      InjectKey(kWindowKeyReturn, "\r");
    else if (c == '\x1b')
      InjectKey(kWindowKeyEscape, "\x1b");
    else if (c == '\b')
      InjectKey(kWindowKeyBackSpace, "\b");
    else if (c >= 'a' && c <= 'z')
      InjectKey(c - 'a' + 'A', s);
    else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ')
      InjectKey(c, s);
    else
      InjectKey(kWindowKeyOther, s);
  }
}

void HeadlessWindow::InjectExpose(int x, int y, int width, int height)
{
  WindowEvent e;
  e.kind = kWindowEventExpose;
  e.x = x;
  e.y = y;
  e.width = width;
  e.height = height;
  Inject(e);
}

void HeadlessWindow::InjectFocusOut()
{
  WindowEvent e;
  e.kind = kWindowEventFocusOut;
  mFocused = false;
  Inject(e);
}

void HeadlessWindow::AdvanceTime(int milliseconds)
{
  mClock += uint32_t(milliseconds);
  if (mTimerPeriod <= 0) return;
  mTimeSinceTick += milliseconds;
  while (mTimeSinceTick >= mTimerPeriod)
  {
    mTimeSinceTick -= mTimerPeriod;
    WindowEvent e;
    e.kind = kWindowEventTimer;
    e.time = mClock;
    Inject(e);
  }
}

uint32_t HeadlessWindow::PixelAt(int x, int y) const
{
  if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return 0;
  return mScreen[size_t(y) * size_t(mWidth) + size_t(x)];
}

int HeadlessWindow::TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter)
{
  ++mMenusShown;
  mLastMenu = layout;
  mLastMenuX = x;
  mLastMenuY = y;
  mLastMenuPixels.clear();
  mLastMenuWidth = mLastMenuHeight = 0;
  if (!layout.levels.empty())
  {
    int w = 0, h = 0;
    painter.MeasureLevel(layout, 0, w, h);
    if (w > 0 && h > 0)
    {
      mLastMenuPixels.assign(size_t(w) * size_t(h), 0u);
      painter.PaintLevel(layout, 0, -1, mLastMenuPixels.data(), w, h);
      mLastMenuWidth = w;
      mLastMenuHeight = h;
    }
  }
  if (mMenuAnswers.empty()) return -1;
  const int id = mMenuAnswers.front();
  mMenuAnswers.pop_front();
  // Only an item a user could click is answered.
  for (const PopupMenuLevel& level : layout.levels)
    for (const PopupMenuItem& item : level.items)
      if (item.id == id && id >= 0)
        return (item.flags & (kPopupItemGreyed | kPopupItemDisabled | kPopupItemSeparator)) ? -1 : id;
  return -1;
}

int HeadlessWindow::ShowMessageBox(const std::string& text, const std::string& caption, int kind)
{
  mMessageTexts.push_back(caption + ": " + text);
  if (mMessageAnswers.empty())
    return kind == kMessageBoxOk ? kMessageBoxAnswerOk
                                 : (kind == kMessageBoxYesNo ? kMessageBoxAnswerNo : kMessageBoxAnswerCancel);
  const int answer = mMessageAnswers.front();
  mMessageAnswers.pop_front();
  return answer;
}

DialogStatus HeadlessWindow::PromptForFile(bool, const std::string&, const std::string&,
                                           const std::vector<std::string>&, std::string& path)
{
  if (mFileAnswers.empty()) return kDialogCancelled;
  FileAnswer answer = mFileAnswers.front();
  mFileAnswers.pop_front();
  if (answer.status == kDialogChosen) path = answer.path;
  return answer.status;
}

DialogStatus HeadlessWindow::PromptForColour(const std::string&, uint8_t rgb[3])
{
  if (mColourAnswers.empty()) return kDialogCancelled;
  ColourAnswer answer = mColourAnswers.front();
  mColourAnswers.pop_front();
  if (answer.status == kDialogChosen) std::memcpy(rgb, answer.rgb, 3);
  return answer.status;
}

bool HeadlessWindow::OpenWithShell(const std::string& target)
{
  mShellTargets.push_back(target);
  return !target.empty();
}
