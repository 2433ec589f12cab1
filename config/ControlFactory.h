#pragma once

#include "config/ConfigReader.h"
#include "framework/plugin/ParameterIds.h"

#include <cstdint>
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
  // The index is one of the per-part copies of the parameter whose part 1 is at base.
  static bool InParts(int idx, int base) { return InRange(idx, base, base + kPartCount - 1); }
  // The part number (1..8) of such a copy, else 0.
  static int PartNumberOf(int idx, int base) { return InParts(idx, base) ? idx - base + 1 : 0; }
  // The multi-mode effect parameters, reached on the synthesizer's global channel.
  static bool IsMultiEffect(int idx);
  // The vocoder parameters of the parts, whose NRPN channel the element gives.
  static bool IsVocoderIndex(int idx);

  // The channel of the synthesizer's multi-mode settings.
  static constexpr int kGlobalChannel = 16;
  // Where a CC or NRPN record's messages go, and its block: 1 for the messages the synthesizer
  // takes on its global channel, which the reverse maps keep apart from the parts' own.
  enum class Channel
  {
    kElement,            // the element's own "channel", block 0
    kElementGlobalBlock, // the element's own "channel", block 1
    kPart,               // the part's channel (the part index + 1); block 1 for the multi-mode effect
                         // parameters and where globalBlock says so, else 0
    kGlobal,             // the global channel, block 1
  };
  static void Route(MidiMapRecord& record, const ControlElement& e, Channel channel,
                    bool globalBlock = false);
  // The usual choice: the element's channel where it names its own, else the global channel for
  // the multi-mode globals, else the part's.
  static Channel ChannelFor(bool elementChannel, bool global = false)
  {
    return elementChannel ? Channel::kElement : global ? Channel::kGlobal : Channel::kPart;
  }
  // The controller, NRPN and value-offset numbers of an NRPN record, each clamped to a data byte.
  static void SetNrpnNumbers(MidiMapRecord& record, const ControlElement& e);
  // The parameter's name: the element's, or with its part number ("[n] name") unless plain.
  static std::string ControlName(const ControlElement& e, bool plain);

  // Two-state set-up: type 1 when unset, default 0 or 1, range 0..1, texts "off" and "on".
  void SetupTwoState(IParameter* param, const std::string& name, int defaultValue, int partIndex,
                     std::string_view caption);
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
  bool BuildSysEx(const ControlElement& e, const char* kind, int64_t count, int64_t start, SysExTableSet& set,
                  int32_t key[4]);
  // False, with a log line naming the element, when a control would have more values than a
  // document may give one (DocumentBounds::kMaxValues).
  bool CountIsSound(int64_t count, const ControlElement& e, const char* kind) const;

  // The caption text style of the factories: the project face at the size and colour.
  ITextStyle CaptionStyle(int size, const IColour& colour) const;

  int Scaled(int v) const { return mReader.Scaled(v); }
  ConfigReader& Reader() const { return mReader; }

private:
  ConfigReader& mReader;
};
