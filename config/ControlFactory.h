#pragma once

#include "config/ConfigReader.h"

#include <string>

class IParameter;

// The steps the control factories of ConfigReader share: checks made before anything is built,
// naming, parameter set-ups, placement, records and the channel rules. Each factory family lives in
// a file of its own (ButtonFactories, KnobFactories, MenuFactories, SelectionFactories,
// RadioFactory) and builds from these.
class ControlFactory
{
public:
  explicit ControlFactory(ConfigReader& reader) : mReader(reader) {}

  // The parameter at the index, or null with a log line naming the element (nothing is built then).
  IParameter* RequireParam(const ControlElement& e, const char* kind) const;
  // False, with a log line, when the element's link names a parameter outside the table.
  bool LinkIsSound(const ControlElement& e, const char* kind) const;

  // "[n] " + name for part number n (counted from 1).
  static std::string PartName(const std::string& name, int partNumber);

  // Parent layer sets of the naming and channel rules.
  static bool InMixerSet(const LayerGroup* parent);
  static bool InAdditionalSettingsSet(const LayerGroup* parent);
  static bool InDelayPanningSet(const LayerGroup* parent);
  static bool ParentIs(const LayerGroup* parent, const char* name);
  static bool InRange(int v, int low, int high) { return v >= low && v <= high; }
  // The multi-mode effect parameters, reached on the synthesizer's global channel.
  static bool IsMultiEffect(int idx);
  // The vocoder parameters of the parts, whose NRPN channel the element gives.
  static bool IsVocoderIndex(int idx) { return InRange(idx, 2096, 2119) || InRange(idx, 3153, 3176); }

  // Two-state set-up: type 1 when unset, default 0 or 1, range 0..1, texts "off" and "on".
  void SetupTwoState(IParameter* param, const std::string& name, int defaultValue, int partIndex,
                     const std::string& caption);
  // Knob and slider set-up: default, minimum and maximum from "valueBounds", the given step.
  void SetupKnob(IParameter* param, const std::string& name, const ControlElement& e, double step);
  // Menu set-up: type 3 when unset, default = first number, range 0 .. to - from - 1. Then the
  // display texts by the menu rules; false (with a log line) when no rule gives them: the
  // factory stops there. dropOnlyList: only the list may give the texts.
  bool SetupMenu(IParameter* param, const std::string& name, const ControlElement& e, bool dropOnlyList,
                 bool zeroPadPatchNumbers);

  // Appends the control to the parent layer, or to the editor without one.
  void Place(IControl* control, LayerGroup* parent) const;
  // The record of the parameter with the kind, the control appended to its bound controls.
  MidiMapRecord* Bind(int paramIdx, uint32_t kind, IControl* control);
  void Link(MidiMapRecord* record, const ControlElement& e);

  // The SysEx table of a SysEx element, checked before anything is built: false (logged) when the
  // "sysexIndex" has no template or the template is refused.
  bool BuildSysEx(const ControlElement& e, const char* kind, int count, int start, SysExTableSet& set,
                  int32_t key[4]);

  // The caption text style of the factories: the project face at the size and colour.
  ITextStyle CaptionStyle(int size, const IColour& colour) const;

  int Scaled(int v) const { return mReader.Scaled(v); }
  ConfigReader& Reader() const { return mReader; }

private:
  ConfigReader& mReader;
};
