#pragma once

#include "framework/plugin/ParameterRange.h"

class IParameter;

// A plug-in's parameters, made in one block whose pages are taken in one call: the ranges side by
// side first (a recall passes over all of them), then the parameters in index order, each keeping
// its value and range in the range of the same index.
class ParameterTable
{
public:
  ParameterTable() = default;
  ~ParameterTable();
  ParameterTable(const ParameterTable&) = delete;
  ParameterTable& operator=(const ParameterTable&) = delete;

  // count parameters, once; false (and no parameters) when memory ran out.
  bool Make(int count);
  int Count() const { return mCount; }
  // Indices are 0 .. Count() - 1.
  IParameter& Parameter(int index) const;
  ParameterRange& Range(int index) const { return mRanges[index]; }

private:
  void* mBlock = nullptr;
  ParameterRange* mRanges = nullptr;
  IParameter* mParameters = nullptr;
  int mCount = 0;
};
