#include "platform/clock/SystemClock.h"

#include "platform/clock/RealClock.h"
#include "platform/clock/ScaledClock.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

double ClockScaleFromText(const char* text)
{
  if (!text) return 1.0;
  const char* end = text + std::strlen(text);
  double factor = 0.0;
  const auto [rest, error] = std::from_chars(text, end, factor);
  if (error != std::errc() || rest != end || !std::isfinite(factor) || factor <= 0.0) return 1.0;
  return factor;
}

Clock& SystemClock()
{
  // Never destroyed: a host's audio thread may still read the time while the process exits, after
  // the static destructors have run. Made in static storage rather than on the heap, so that
  // unloading the plug-in leaves nothing behind.
  constexpr size_t kSize = std::max(sizeof(RealClock), sizeof(ScaledClock));
  constexpr size_t kAlignment = std::max(alignof(RealClock), alignof(ScaledClock));
  alignas(kAlignment) static unsigned char storage[kSize];
  static Clock* const clock = []() -> Clock*
  {
    const double factor = ClockScaleFromText(std::getenv("VELK_CLOCK_SCALE"));
    if (factor != 1.0) return new (storage) ScaledClock(factor);
    return new (storage) RealClock();
  }();
  return *clock;
}
