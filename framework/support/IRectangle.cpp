#include "framework/support/IRectangle.h"

#include <algorithm>

IRectangle IRectangle::Intersect(const IRectangle& other) const
{
  if (Empty() || other.Empty()) return IRectangle();
  const bool meet = R >= other.L && L < other.R && B >= other.T && T < other.B;
  if (!meet) return IRectangle();
  return IRectangle(std::max(L, other.L), std::max(T, other.T), std::min(R, other.R), std::min(B, other.B));
}
