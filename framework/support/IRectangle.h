#pragma once

#include <cstdint>

// An integer rectangle: left and top inside, right and bottom outside.
struct IRectangle
{
  int32_t L = 0;
  int32_t T = 0;
  int32_t R = 0;
  int32_t B = 0;

  IRectangle() = default;
  IRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) : L(left), T(top), R(right), B(bottom)
  {
  }

  int32_t W() const { return R - L; }
  int32_t H() const { return B - T; }

  // All four coordinates zero: the "no rectangle" value.
  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }

  // Not all zero, and left <= x < right, top <= y < bottom.
  bool Contains(int32_t x, int32_t y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }

  // The common part of the two, or all zero when either is all zero or they do
  // not meet. Touching at this rectangle's right or bottom edge counts as
  // meeting (the drawing code has always clipped that way).
  IRectangle Intersect(const IRectangle& other) const;

  bool operator==(const IRectangle& other) const = default;
};
