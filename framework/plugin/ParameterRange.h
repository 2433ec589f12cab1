#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>

// What every parameter of a recall is read and written through: the value, its range, the step it
// snaps to and the shape of the normalised scale. A parameter table keeps the ranges side by side,
// apart from the names and display texts, so that a pass over thousands of parameters walks a few
// hundred kilobytes rather than every parameter's whole record.
struct ParameterRange
{
  // A parameter of this type is never snapped to its step.
  static constexpr int32_t kContinuousType = 4;
  // How far, in steps, a value may lie from a grid point and still count as on it.
  static constexpr double kGridTolerance = 1e-9;

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
  // v in the range and, unless continuous, on the step grid, as a control would put it. A value
  // within rounding error of a grid point stays as it is, so that a state reads back exactly as it
  // was saved.
  double Constrained(double v) const
  {
    if (type != kContinuousType && step > 0.0 && std::isfinite(v))
    {
      // The grid counts from 0, as on the control path; a value a few units in the last place off
      // a grid point is one that arithmetic put there, and it is kept. Most values lie exactly on
      // a grid point and need no rounding.
      const double steps = step == 1.0 ? v : v / step;
      const bool whole = std::fabs(steps) < 1e15 && double(int64_t(steps)) == steps;
      const double nearest = whole ? steps : std::floor(steps + 0.5);
      if (!(std::fabs(steps - nearest) <= kGridTolerance)) v = nearest * step;
    }
    return Clamped(v);
  }
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
