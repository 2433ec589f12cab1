#pragma once

// A plug-in base with its 5866 parameters and no host: the host's answers are fixed (120 bpm,
// 4/4, no MIDI to the host), and what the editor asks of the host and of the change handlers is
// recorded for the tests that look at it.

#include "framework/plugin/IEffectBase.h"

#include <string>
#include <utility>
#include <vector>

class HostlessPlug : public IEffectBase
{
public:
  HostlessPlug() { initialize(); }

  intptr_t BeginParamEdit(int index) override
  {
    events.push_back("begin " + std::to_string(index));
    return 0;
  }
  intptr_t AutomateParam(int index, double normalised) override
  {
    automated.emplace_back(index, normalised);
    return 0;
  }
  intptr_t EndParamEdit(int index) override
  {
    events.push_back("end " + std::to_string(index));
    return 0;
  }
  intptr_t RefreshHostDisplay() override { return 0; }
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 120.0; }
  void HostTimeSignature(int* n, int* d) override
  {
    *n = 4;
    *d = 4;
  }
  void HostTimeInfo(HostTransportInfo*) override {}
  void UpdateEditorSize() override { ++editorSizeUpdates; }
  bool SendMidiToHost(IMidiMessage*) override { return false; }
  void HandleParameterChange(int index) override { changed.push_back(index); }
  void HandleSecondaryParameterChange(int index) override { secondaryChanged.push_back(index); }

  std::vector<std::string> events;
  std::vector<std::pair<int, double>> automated;
  std::vector<int> changed;
  std::vector<int> secondaryChanged;
  int editorSizeUpdates = 0;
};
