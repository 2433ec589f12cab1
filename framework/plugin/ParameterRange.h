#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

// v as a whole number: the nearest one (halves go up, as a control snaps); 0 for a value that is
// not a number, and the ends of int's range past them. How an integer setting is read: a value a
// hair below a whole number is that number, not the one below it.
inline int NearestWhole(double v)
{
  if (!(v == v)) return 0;
  constexpr double kMin = -2147483648.0, kMax = 2147483647.0;
  if (v <= kMin) return int(kMin);
  if (v >= kMax) return int(kMax);
  // A whole value needs no rounding (most are, and floor may be a call).
  const double whole = double(int64_t(v));
  if (whole == v) return int(whole);
  return int(std::floor(v + 0.5));
}

// What every parameter of a recall is read and written through: the value, its range, the step it
// snaps to and the shape of the normalised scale. A parameter table keeps the ranges side by side,
// apart from the names and display texts, so that a pass over thousands of parameters walks a few
// hundred kilobytes rather than every parameter's whole record.
struct ParameterRange
{
  // A parameter of this type is never snapped to its step.
  static constexpr int32_t kContinuousType = 4;

  // Read by the link's worker threads, which take no lock.
  std::atomic<double> value{0.0};
  double min = 0.0;
  double max = 1.0;
  double step = 1.0;
  double shape = 1.0;
  int32_t type = 0;

  double Value() const { return value.load(std::memory_order_relaxed); }
  void Store(double v) { value.store(v, std::memory_order_relaxed); }

  // v in the range without snapping; a non-finite value becomes the minimum.
  double Clamped(double v) const
  {
    if (!std::isfinite(v))
      v = min;
    else if (min > v)
      v = min;
    else if (v > max)
      v = max;
    return v;
  }
  // The grid point nearest v, as a control snaps it: the grid counts from 0 and halves go up.
  double OnStep(double v) const
  {
    if (!(step > 0.0) || !std::isfinite(v)) return v;
    // Most values lie on a grid point already and need no rounding.
    const double steps = step == 1.0 ? v : v / step;
    if (std::fabs(steps) < 1e15 && double(int64_t(steps)) == steps) return v;
    return std::floor(steps + 0.5) * step;
  }
  // v in the range and, unless continuous, on the step grid, exactly where a control would put it:
  // a value a hair off a grid point (a state written elsewhere, a value through a float) is moved
  // onto it, so that every reading of it agrees.
  double Constrained(double v) const { return Clamped(type != kContinuousType ? OnStep(v) : v); }
  // The value as an integer: its nearest step, as a whole number.
  int IntValue() const { return NearestWhole(OnStep(Value())); }
  // The shape the scale uses: a shape that is not positive counts as linear.
  double EffectiveShape() const { return shape > 0.0 ? shape : 1.0; }
  // v clamped into the range, on the normalised scale; 0 for an empty range. Inline: most
  // parameters are linear and cost no call.
  double Normalise(double v) const
  {
    const double range = max - min;
    if (!(range > 0.0) || !std::isfinite(range)) return 0.0;
    if (!(v >= min)) // also NaN
      v = min;
    else if (v > max)
      v = max;
    const double x = (v - min) / range;
    return shape == 1.0 ? x : std::pow(x, 1.0 / EffectiveShape());
  }
};
