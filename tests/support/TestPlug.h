#pragma once

#include "framework/plugin/IEffectVST.h"
#include "framework/plugin/IParameter.h"
#include "platform/vst2/VstTypes.h"

#include <cstdio>
#include <string>
#include <vector>

// A plug-in on the VST 2 wrapper alone (no main class): the base's own pass-through processing,
// counted handlers and a host callback that records every call and answers from scriptable fields
// (0 for anything else). Suites that need other handlers derive from it and keep only those.
class TestPlug : public IEffectVST
{
public:
  struct HostCall
  {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
  };

  // automated: how many parameters to offer the host (the real plug-in offers none).
  explicit TestPlug(int automated = 0) : IEffectVST(&TestPlug::Host)
  {
    InitEffectRecord();
    mNonAutomatedCount = NumParameters() - automated;
    Effect()->numParams = automated;
    Effect()->user = this;
  }

  void HandleParameterChange(int index) override { changes.push_back(index); }
  void HandleSecondaryParameterChange(int index) override { secondaryChanges.push_back(index); }
  void ResetProcessing() override { ++resets; }
  void OnActivationChanged(bool on) override { activations.push_back(on); }

  int Count(int32_t opcode) const
  {
    int n = 0;
    for (const HostCall& c : calls)
      n += c.opcode == opcode;
    return n;
  }

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.f)
  {
    return Effect()->dispatcher(Effect(), opcode, index, value, ptr, opt);
  }

  using IEffectBase::ParseChannelIO;

  std::vector<int> changes, secondaryChanges;
  int resets = 0;
  std::vector<bool> activations;
  std::vector<HostCall> calls;
  std::vector<std::vector<uint8_t>> sysexToHost;
  int eventsToHost = 0;

  // Host answers.
  bool timeInfoAvailable = true;
  VstTimeInfo timeInfo{};
  std::string product = "Test Host";
  intptr_t vendorVersion = 30012;
  intptr_t processLevel = 2;

private:
  static intptr_t Host(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
  {
    TestPlug* self = effect ? static_cast<TestPlug*>(effect->user) : nullptr;
    if (!self) return 0; // calls made while constructing, before user is set
    self->calls.push_back({opcode, index, value, opt});
    switch (opcode)
    {
    case audioMasterGetTime:
      return self->timeInfoAvailable ? reinterpret_cast<intptr_t>(&self->timeInfo) : 0;
    case audioMasterGetProductString:
      std::snprintf(static_cast<char*>(ptr), 64, "%s", self->product.c_str());
      return 1;
    case audioMasterGetVendorVersion:
      return self->vendorVersion;
    case audioMasterGetCurrentProcessLevel:
      return self->processLevel;
    case audioMasterProcessEvents:
    {
      const VstEvents* events = static_cast<const VstEvents*>(ptr);
      for (int i = 0; i < events->numEvents; ++i)
      {
        ++self->eventsToHost;
        const VstEvent* e = events->events[i];
        if (e->type == kVstSysExType)
        {
          const VstMidiSysexEvent* s = reinterpret_cast<const VstMidiSysexEvent*>(e);
          self->sysexToHost.emplace_back(s->sysexDump, s->sysexDump + s->dumpBytes);
        }
      }
      return 1;
    }
    default:
      return 0;
    }
  }
};
