#pragma once

#include "framework/plugin/IEffectBase.h"

#include <mutex>
#include <string>

// The parameters a dump is read into and built from: the plug-in's parameter table. Values are
// plain (not normalised); a value set is clamped into the parameter's range and its controls are
// told, so that the editor follows. Callers hold the parameter lock (`ParameterLock`) around a
// whole message, so that a dump is applied or built as one piece.
class DumpParameters
{
public:
  explicit DumpParameters(IEffectBase& plug) : mPlug(plug) {}

  // The plain value; 0 for an index that names no parameter.
  double Value(int index) const;
  // The integer value, rounded to its nearest step; 0 for no parameter or a value that is no number.
  int IntValue(int index) const;
  void Set(int index, double value);
  // A switch is on only when its value is exactly 1.
  bool IsOn(int index) const { return Value(index) == 1.0; }

  // The display text of value 0 (names travel there); empty when there is none.
  std::string Text(int index) const;
  void SetText(int index, const std::string& text);

  IEffectBase& Plug() const { return mPlug; }

private:
  IEffectBase& mPlug;
};

// Runs body under the plug-in's parameter lock, so that a message is read or built as one piece.
template <class Body> auto WithParameterLock(IEffectBase& plug, Body&& body)
{
  std::lock_guard<std::recursive_mutex> lock(plug.ParameterLock());
  return body();
}
