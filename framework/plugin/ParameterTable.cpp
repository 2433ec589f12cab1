#include "framework/plugin/ParameterTable.h"

#include "framework/plugin/IParameter.h"
#include "platform/memory/Prefault.h"

#include <cstddef>
#include <new>

namespace
{
constexpr std::size_t RoundUp(std::size_t n, std::size_t to)
{
  return (n + to - 1) / to * to;
}
} // namespace

ParameterTable::~ParameterTable()
{
  for (int i = mCount; i-- > 0;)
    mParameters[i].~IParameter();
  for (int i = mCount; i-- > 0;)
    mRanges[i].~ParameterRange();
  ::operator delete(mBlock);
}

IParameter& ParameterTable::Parameter(int index) const
{
  return mParameters[index];
}

bool ParameterTable::Make(int count)
{
  if (mBlock || count <= 0) return false;
  const std::size_t rangeBytes = RoundUp(sizeof(ParameterRange) * std::size_t(count), alignof(IParameter));
  const std::size_t bytes = rangeBytes + sizeof(IParameter) * std::size_t(count);
  static_assert(alignof(IParameter) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  static_assert(alignof(ParameterRange) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  void* block = ::operator new(bytes, std::nothrow);
  if (!block) return false;
  // Every byte is written right away: the pages in one call rather than a fault each.
  PrefaultForWrite(block, bytes);
  mBlock = block;
  mRanges = static_cast<ParameterRange*>(block);
  mParameters = reinterpret_cast<IParameter*>(static_cast<char*>(block) + rangeBytes);
  for (int i = 0; i < count; ++i)
    new (&mRanges[i]) ParameterRange();
  // A parameter made on a range of the table allocates nothing, so none of these throws.
  for (int i = 0; i < count; ++i)
    new (&mParameters[i]) IParameter(&mRanges[i]);
  mCount = count;
  return true;
}
