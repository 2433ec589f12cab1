#include "framework/graphics/ControlIndex.h"

#include "framework/controls/IControl.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/support/Prefetch.h"

#include <new>

bool ControlIndex::Current() const
{
  return mBuilt && mEpoch == IControl::BindingsEpoch();
}

void ControlIndex::CollectControl(IControl* c)
{
  if (!c) return;
  if (c->ParamIdx() >= 0) mWalk.push_back(Entry{c, -1, c->ParamIdx()});
  // A push reaches only the first aux entry of its index.
  for (int pos = 0; pos < c->AuxCount(); ++pos)
  {
    const int idx = c->AuxParamIdx(pos);
    if (idx >= 0 && c->FindAuxParam(idx) == pos) mWalk.push_back(Entry{c, pos, idx});
  }
}

void ControlIndex::CollectGroup(const LayerGroup* group)
{
  if (!group) return;
  for (int i = 0; i < group->NumControls(); ++i)
    CollectControl(group->GetControl(i));
  for (int i = 0; i < group->NumChildren(); ++i)
    CollectGroup(group->GetChild(i));
}

bool ControlIndex::Build(const PointerList<IControl>& controls, const PointerList<LayerGroup>& groups)
{
  mBuilt = false;
  // Read before the walk: a change during the walk leaves the index stale, never wrongly current.
  const uint64_t epoch = IControl::BindingsEpoch();
  try
  {
    mWalk.clear();
    mFar.clear();
    mEntries.clear();
    for (int i = 0; i < controls.Count(); ++i)
      CollectControl(controls.Get(i));
    for (int i = 0; i < groups.Count(); ++i)
      CollectGroup(groups.Get(i));

    // A stable counting sort by parameter: walk order is kept within each parameter.
    int top = -1;
    for (const Entry& e : mWalk)
      if (e.paramIdx <= kMaxTableIndex && e.paramIdx > top) top = e.paramIdx;
    mStart.assign(std::size_t(top) + 2, 0);
    for (const Entry& e : mWalk)
    {
      if (e.paramIdx <= kMaxTableIndex)
        ++mStart[std::size_t(e.paramIdx) + 1];
      else
        mFar.push_back(e);
    }
    for (std::size_t p = 1; p < mStart.size(); ++p)
      mStart[p] += mStart[p - 1];
    mEntries.resize(mWalk.size() - mFar.size());
    std::vector<int32_t> next(mStart.begin(), mStart.end() - 1);
    for (const Entry& e : mWalk)
      if (e.paramIdx <= kMaxTableIndex) mEntries[std::size_t(next[std::size_t(e.paramIdx)]++)] = e;
    mWalk.clear();
  }
  catch (const std::bad_alloc&)
  {
    mStart.clear();
    mEntries.clear();
    mFar.clear();
    mWalk.clear();
    return false;
  }
  mEpoch = epoch;
  mBuilt = true;
  return true;
}

namespace
{
void Deliver(IControl* control, int32_t aux, double value)
{
  if (aux < 0)
    control->ReceivePluginValue(value);
  else
    control->ReceiveAuxPluginValue(aux, value);
}
} // namespace

void ControlIndex::TableRange(int paramIdx, int32_t* from, int32_t* to) const
{
  *from = *to = 0;
  if (paramIdx < 0 || paramIdx > kMaxTableIndex || std::size_t(paramIdx) + 1 >= mStart.size()) return;
  *from = mStart[std::size_t(paramIdx)];
  *to = mStart[std::size_t(paramIdx) + 1];
}

void ControlIndex::Push(int paramIdx, double value) const
{
  if (paramIdx < 0) return;
  if (paramIdx > kMaxTableIndex)
  {
    for (const Entry& e : mFar)
      if (e.paramIdx == paramIdx) Deliver(e.control, e.aux, value);
    return;
  }
  int32_t from = 0, to = 0;
  TableRange(paramIdx, &from, &to);
  for (int32_t i = from; i < to; ++i)
    Deliver(mEntries[std::size_t(i)].control, mEntries[std::size_t(i)].aux, value);
}

void ControlIndex::PushMany(const IEditorHook::ParameterValue* values, int count) const
{
  // How many values ahead the controls are fetched: enough to cover a cache miss, few enough that
  // what was fetched is still there when its value comes.
  constexpr int kAhead = 8;
  for (int i = 0; values && i < count; ++i)
  {
    if (i + kAhead < count)
    {
      int32_t from = 0, to = 0;
      TableRange(values[i + kAhead].index, &from, &to);
      for (int32_t k = from; k < to; ++k)
        PrefetchForWrite(mEntries[std::size_t(k)].control);
    }
    const int index = values[i].index;
    if (index > kMaxTableIndex)
    {
      Push(index, values[i].normalised);
      continue;
    }
    // The table's own entries without a call per value.
    int32_t from = 0, to = 0;
    TableRange(index, &from, &to);
    for (int32_t k = from; k < to; ++k)
      Deliver(mEntries[std::size_t(k)].control, mEntries[std::size_t(k)].aux, values[i].normalised);
  }
}

int ControlIndex::Count(int paramIdx) const
{
  if (paramIdx < 0) return 0;
  if (paramIdx > kMaxTableIndex)
  {
    int n = 0;
    for (const Entry& e : mFar)
      n += e.paramIdx == paramIdx;
    return n;
  }
  if (std::size_t(paramIdx) + 1 >= mStart.size()) return 0;
  return mStart[std::size_t(paramIdx) + 1] - mStart[std::size_t(paramIdx)];
}
