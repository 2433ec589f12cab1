#pragma once

#include "framework/plugin/IEditorHook.h"
#include "framework/support/PointerList.h"

#include <cstdint>
#include <vector>

class IControl;
class LayerGroup;

// The controls of an editor by parameter: for each parameter index, the controls bound to it and
// the controls that mirror it through an aux binding (the first aux entry of that index), in the
// order a walk of the control list and then of the group tree (own controls, then children) meets
// them. A push then touches only the parameter's own controls, and pushing every parameter costs
// in proportion to parameters plus controls.
//
// Not locked: the graphics core guards it with its list lock. It is rebuilt when the process-wide
// binding count (IControl::BindingsEpoch) moved since it was built.
class ControlIndex
{
public:
  // Indices above this are kept in a short list that is searched, so an absurd parameter index
  // cannot make the table huge.
  static constexpr int kMaxTableIndex = 1 << 20;

  // Whether the index reflects the lists as they are (nothing rebound, added or deleted since).
  bool Current() const;
  // Rebuilds from the flat control list and the top-level groups. False (and the index left
  // empty and not current) when memory ran out: callers then walk the lists.
  bool Build(const PointerList<IControl>& controls, const PointerList<LayerGroup>& groups);
  void Invalidate() { mBuilt = false; }

  // The parameter's value to its controls: ReceivePluginValue for a bound control,
  // ReceiveAuxPluginValue for a mirroring one. Negative indices have no controls.
  void Push(int paramIdx, double value) const;
  // Push for each value in turn. The controls of the values a little ahead are fetched into the
  // cache meanwhile: a whole state reaches thousands of controls spread over the heap.
  void PushMany(const IEditorHook::ParameterValue* values, int count) const;

  // The number of (control, binding) entries of a parameter (tests and benchmarks).
  int Count(int paramIdx) const;

private:
  struct Entry
  {
    IControl* control;
    int32_t aux; // -1: the control's own binding; otherwise the aux entry's position
    int32_t paramIdx;
  };

  // The parameter's entries in the table, or an empty range (indices beyond the table included).
  void TableRange(int paramIdx, int32_t* from, int32_t* to) const;
  void CollectControl(IControl* control);
  void CollectGroup(const LayerGroup* group);

  bool mBuilt = false;
  uint64_t mEpoch = 0;
  // Table form: the entries of parameter p are mEntries[mStart[p] .. mStart[p + 1]).
  std::vector<int32_t> mStart;
  std::vector<Entry> mEntries;
  // Entries of indices above kMaxTableIndex, in walk order.
  std::vector<Entry> mFar;
  // Scratch of the build: entries in walk order.
  std::vector<Entry> mWalk;
};
