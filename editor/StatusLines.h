#pragma once

#include <array>
#include <mutex>
#include <string>

class ITextControl;

// The editor's text lines, set from any thread (the user interface, MIDI input, jobs and audio
// threads): each keeps its last text under one lock, for a reader and for an editor without the
// line's control, and writes it to its control when the document has one.
class StatusLines
{
public:
  enum Line
  {
    kStatus,   // first line: what happened (kControlDisplayName)
    kMidi,     // the controller of a moved control (kControlDisplayCC)
    kValue,    // its value text (kControlDisplayValue)
    kInfo,     // second line: a received program's category (kControlDisplayCategory)
    kProgress, // third line: transfer progress (kControlDisplayPatch)
    kLineCount
  };

  // The line's control, while the editor is built (before any other thread sets a text).
  void Attach(Line line, ITextControl* control) { mDisplays[line] = control; }
  ITextControl* Display(Line line) const { return mDisplays[line]; }
  void Set(Line line, const std::string& text);
  std::string Text(Line line) const;

private:
  mutable std::mutex mMutex;
  std::array<std::string, kLineCount> mTexts; // guarded by mMutex
  std::array<ITextControl*, kLineCount> mDisplays{};
};
