#pragma once

#include <cstdint>

// X reports no double clicks: two presses of the left button within the
// interval and a few pixels of each other make one. A third press starts over.
class DoubleClickDetector
{
public:
  explicit DoubleClickDetector(uint32_t intervalMs = 500, int distance = 4)
      : mInterval(intervalMs), mDistance(distance)
  {
  }

  // True when this press completes a double click.
  bool Press(int button, int x, int y, uint32_t time);
  void Reset() { mPending = false; }

private:
  uint32_t mInterval;
  int mDistance;
  bool mPending = false;
  int mButton = 0, mX = 0, mY = 0;
  uint32_t mTime = 0;
};
