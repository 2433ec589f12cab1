#pragma once

// The main object as the transfer worker sees it, without a test framework (fuzz targets and
// benchmarks): the dump plug-in's parameters, the librarian model, a virtual clock, no output
// port, and every post refused.

#include "librarian/PatchLibrarian.h"
#include "link/dumps/DumpResult.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "link/host/TransferHost.h"
#include "platform/clock/VirtualClock.h"
#include "tests/support/DumpTestPlug.h"

#include <stop_token>
#include <string>

class TransferHostStub : public LinkHost, public LinkState, public TransferHost
{
public:
  LinkState& State() override { return *this; }
  double ParamValue(int index) override { return Valid(index) ? plug.ParameterAt(index)->Value() : 0.0; }
  double ParamNormalised(int index) override
  {
    return Valid(index) ? plug.ParameterAt(index)->NormalisedValue() : 0.0;
  }
  double ParamMinimum(int index) override { return Valid(index) ? plug.ParameterAt(index)->Min() : 0.0; }
  void SetParamInEditor(int index, double value) override
  {
    if (Valid(index)) plug.ParameterAt(index)->SetClamped(value);
  }
  bool EditorOpen() override { return false; }
  void SetStatusText(const std::string&) override {}
  void SetMidiDisplayText(const std::string&) override {}
  void ShowLayer(const std::string&) override {}
  PatchLibrarian* Librarian() override { return &librarian; }
  void SetLoadedSlot(int) override {}
  ConfigReader* LinkConfig() override { return nullptr; }
  void RunChangeHandler(int) override {}
  void RunSecondaryChangeHandler(int) override {}
  int LibrarianViewSide() override { return 0; }
  void StoreReceivedProgram(int) override {}
  bool EditBufferReceiveOn() override { return false; }
  void PrepareEditBufferReceive() override {}
  void CancelEditBufferReceive() override {}
  void ProgramChangeReceived(bool) override {}
  bool DeviceSendShort(const IMidiMessage&) override { return false; }
  bool DeviceSendSysEx(const uint8_t*, int) override { return false; }
  bool JobsThreadIdle() override { return false; }
  bool PostJob(const LinkJob&) override { return false; }
  Clock& LinkClock() override { return clock; }
  std::stop_token LinkStop() override { return {}; }

  IEffectBase& DumpPlug() override { return plug; }
  DumpContext CurrentDumpContext() override { return DumpContext{}; }
  void ShowTransferOverlay(bool) override {}
  void SetPartTexts(const std::string&, const std::string&) override {}
  void LibrarianSlotReceived() override {}
  void RefreshMainView() override {}
  void FinishReceive() override {}

  DumpTestPlug plug;
  PatchLibrarian librarian;
  VirtualClock clock;

private:
  static bool Valid(int index) { return index >= 0 && index < IEffectBase::kNumParameters; }
};
