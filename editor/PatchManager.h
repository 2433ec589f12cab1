#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <string>

class IEffectBase;

// The project names kept with the host project: the multi name, the eight part program
// names, the sixteen pattern names and the chosen MIDI input and output port names.
class PatchManager
{
public:
  static constexpr int kNumNames = 27;
  static constexpr int kMultiName = 0;
  static constexpr int kFirstPartName = 1;    // parts 0..7 at 1..8
  static constexpr int kFirstPatternName = 9; // patterns 0..15 at 9..24
  static constexpr int kMidiInputName = 25;
  static constexpr int kMidiOutputName = 26;
  // Longer texts are cut; no name the plug-in stores comes near it.
  static constexpr int kMaxNameLength = 255;

  // Told the slot number after SetName changed a name (on the caller's thread).
  using Listener = std::function<void(int n)>;

  PatchManager();
  // Set once, before other threads set names.
  void SetListener(Listener listener) { mListener = std::move(listener); }

  // Stores the text as name slot n ("Set Name" for an empty text) and tells the listener (the
  // editor redraws the name list); an n outside the slots does nothing.
  void SetName(int n, const std::string& text);
  // Stores the text as it is (the empty text included); used by project recall.
  void SetNameExact(int n, const std::string& text);
  // The name of slot n, or the empty text for an n outside the slots.
  std::string Name(int n) const;

  // The parameter whose display text shows name slot n (kMultiName, kPatchName + part), or -1.
  static int NameParameter(int n);
  // Name slot n from the display text of its parameter (a name typed into the editor), when n has one.
  void TakeNameFrom(IEffectBase& plug, int n);
  // The recalled names into the display texts of their parameters (a slot never named keeps the
  // parameter's own text), each slot told to the listener, so that the editor redraws it.
  void ShowNamesIn(IEffectBase& plug);

  // All names at once, so that a recall replaces them together.
  std::array<std::string, kNumNames> Names() const;
  void SetNames(const std::array<std::string, kNumNames>& names);

private:
  mutable std::mutex mMutex; // names are set by the MIDI and worker threads, read by the editor
  std::array<std::string, kNumNames> mNames;
  Listener mListener;
};
