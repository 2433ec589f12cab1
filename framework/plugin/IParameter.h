#pragma once

#include "framework/plugin/ParameterRange.h"
#include "framework/support/HeapBuffer.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct MidiMapRecord;

// One entry of the plug-in's parameter table: a plain value inside a range,
// the step it snaps to, the shape of the normalised 0..1 scale that hosts and
// controls use, display texts for integer values and the MIDI binding.
class IParameter
{
public:
  enum ParamType : int32_t
  {
    kTypeUnset = 0,
    kTypeBool = 1, // two-state, 0 or 1
    kTypeEnumerated = 3,
    kTypeContinuous = ParameterRange::kContinuousType, // never snapped
    kTypeText = 5,
  };

  static constexpr int kMaxNameLength = 54;
  static constexpr int kMaxLabelLength = 54;
  static constexpr int kMaxGroupLength = 47;
  static constexpr int kMaxValueTextLength = 55;
  static constexpr int kMaxDisplayPrecision = 6;

  // A parameter with a range of its own.
  IParameter();
  // A parameter of a table, whose range is kept in range (which outlives it).
  explicit IParameter(ParameterRange* range);

  IParameter(const IParameter&) = delete;
  IParameter& operator=(const IParameter&) = delete;

  // Range 0 .. count - 1, step 1; type enumerated unless already set.
  void SetupEnumerated(const char* name, int defaultValue, int count, const char* group);
  // Type continuous unless already set. The range is never narrower than one
  // step; the display precision follows from the step.
  void SetupContinuous(const char* name, double defaultValue, double minimum, double maximum, double step,
                       const char* group);

  // Gives value its display text (cut to 55 characters). A value at or past
  // the end of the list grows it and becomes the maximum. A negative value, or
  // a growth that fails, is refused with false.
  bool AddValueText(int value, const char* text);
  // Replaces every display text: entry i becomes value i, and the range 0 .. count - 1. The value
  // is kept when it stays in the range, else it becomes 0.
  void SetValueTexts(const std::vector<std::string>& texts);

  double Value() const { return mRange->Value(); }
  // The value read as an integer (a switch, a menu entry, a controller's value): rounded to its
  // nearest step, never truncated.
  int IntValue() const { return mRange->IntValue(); }
  // Clamps into the range without snapping; a non-finite value becomes the
  // minimum.
  void SetClamped(double v) { Store(mRange->Clamped(v)); }
  // A value from outside the editor (a recalled state): clamped into the range
  // and, unless continuous, put on the step grid exactly where a control would
  // put it. A non-finite value becomes the minimum.
  void SetConstrained(double v) { Store(mRange->Constrained(v)); }
  // From the normalised scale: n is clamped to 0..1, snapped to the step
  // (except continuous parameters) and the result clamped to the range.
  void SetFromNormalised(double n);

  double NormalisedValue() const { return NormaliseValue(Value()); }
  // v clamped into the range, on the normalised scale; 0 for an empty range.
  double NormaliseValue(double v) const { return mRange->Normalise(v); }

  // Writes the text shown for v (a normalised value when isNormalised) into
  // out, at most size bytes including the terminator.
  void DisplayValue(double v, bool isNormalised, char* out, int size, bool useValueTexts) const;

  // The empty text when the current value has a non-empty display text, else
  // the label.
  const char* HostLabel() const;
  // The display text of value, or the empty text. The pointer is into the list: only for texts
  // that no other thread rewrites (menu entries); a name that dumps set is read with ValueTextCopy.
  const char* ValueText(int value) const;
  // A copy of the display text of value, or the empty text.
  std::string ValueTextCopy(int value) const;
  int ValueTextCount() const;

  int32_t Type() const { return mRange->type; }
  void SetType(int32_t type) { mRange->type = type; }
  double Min() const { return mRange->min; }
  double Max() const { return mRange->max; }
  double Step() const { return mRange->step; }
  double Shape() const { return mRange->shape; }
  void SetShape(double shape) { mRange->shape = shape; }
  double Default() const { return mDefault; }
  int32_t DisplayPrecision() const { return mDisplayPrecision; }
  const char* Name() const { return mName; }
  // No parameter of the editor has a unit label: the empty text, kept nowhere (the table holds
  // thousands of parameters).
  const char* Label() const { return ""; }
  const char* Group() const { return mGroup; }

  // The MIDI binding; not owned here.
  MidiMapRecord* MidiMap() const { return mMidiMap; }
  void SetMidiMap(MidiMapRecord* record) { mMidiMap = record; }

  // How many times a value changed through a parameter, in this process. A recall that finds it
  // unchanged at its end knows that only it set values meanwhile.
  static uint64_t ValueChanges() { return sValueChanges.load(std::memory_order_relaxed); }

private:
  void Store(double v)
  {
    const double before = mRange->Value();
    mRange->Store(v);
    if (std::bit_cast<uint64_t>(v) != std::bit_cast<uint64_t>(before))
      sValueChanges.fetch_add(1, std::memory_order_relaxed);
  }
  static inline std::atomic<uint64_t> sValueChanges{0};

  struct ValueTextEntry
  {
    int32_t value;
    char text[kMaxValueTextLength + 1];
  };
  static_assert(sizeof(ValueTextEntry) == 60);

  const ValueTextEntry* FindValueText(double v) const;
  int CountLocked() const { return mValueTexts.Size() / int(sizeof(ValueTextEntry)); }
  double EffectiveShape() const { return mRange->EffectiveShape(); }

  std::unique_ptr<ParameterRange> mOwnRange; // none in a table
  ParameterRange* mRange;
  double mDefault = 0.0;
  int32_t mDisplayPrecision = 0;
  char mName[kMaxNameLength + 1] = {};
  char mGroup[kMaxGroupLength + 1] = {};
  // The display texts are written on whichever thread a name arrives (a received dump, a recall,
  // text entry) and read by the editor as it draws: both sides copy under this lock.
  mutable std::mutex mTextLock;
  HeapBuffer mValueTexts;
  MidiMapRecord* mMidiMap = nullptr;
};
