#include "platform/window/DoubleClickDetector.h"

#include "platform/window/PlatformWindow.h"

#include <cstdlib>

bool DoubleClickDetector::Press(int button, int x, int y, uint32_t time)
{
  if (button != kWindowButtonLeft)
  {
    mPending = false;
    return false;
  }
  // Unsigned difference copes with the server's 32-bit millisecond clock wrapping.
  const bool isDouble = mPending && mButton == button && uint32_t(time - mTime) <= mInterval &&
                        std::abs(x - mX) <= mDistance && std::abs(y - mY) <= mDistance;
  if (isDouble)
  {
    mPending = false;
    return true;
  }
  mPending = true;
  mButton = button;
  mX = x;
  mY = y;
  mTime = time;
  return false;
}
