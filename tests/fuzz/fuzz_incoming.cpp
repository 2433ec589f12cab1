// libFuzzer target for the incoming short messages: bytes cut into messages from either side go
// through the filter, the pass-through switches, the NRPN assembly and the controller resolver of
// a configuration read from a small document. Nothing may crash, every parameter stays inside
// its range, and every message passed on carries data bytes below 0x80 only.
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/incoming/IncomingMessages.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "platform/clock/VirtualClock.h"
#include "tests/config/ConfigTestSupport.h"
#include "tests/incoming/IncomingTestDocument.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
void Require(bool condition)
{
  if (!condition) std::abort();
}

// The main object: every parameter is the plug-in's; sends are checked, jobs are taken.
class FuzzHost : public LinkHost, public LinkState
{
public:
  LinkState& State() override { return *this; }
  explicit FuzzHost(IEffectBase& plug) : mPlug(plug) { clock.SetAutoAdvance(true); }

  double ParamValue(int index) override { return Param(index) ? Param(index)->Value() : 0.0; }
  double ParamNormalised(int index) override { return Param(index) ? Param(index)->NormalisedValue() : 0.0; }
  double ParamMinimum(int index) override { return Param(index) ? Param(index)->Min() : 0.0; }
  void SetParamInEditor(int index, double value) override
  {
    Require(Param(index) != nullptr);
    Param(index)->SetClamped(value);
  }
  bool EditorOpen() override { return true; }
  void SetStatusText(const std::string&) override {}
  void SetMidiDisplayText(const std::string&) override {}
  void ShowLayer(const std::string&) override {}
  PatchLibrarian* Librarian() override { return nullptr; }
  void SetLoadedSlot(int) override {}
  ConfigReader* LinkConfig() override { return config; }
  void RunChangeHandler(int index) override { Require(Param(index) != nullptr); }
  void RunSecondaryChangeHandler(int index) override { Require(Param(index) != nullptr); }
  int LibrarianViewSide() override { return 0; }
  void StoreReceivedProgram(int program) override { Require(program >= 0 && program <= 127); }
  bool EditBufferReceiveOn() override { return editBufferReceive != 0; }
  void PrepareEditBufferReceive() override { editBufferReceive = 1; }
  void CancelEditBufferReceive() override { editBufferReceive = 0; }
  void ProgramChangeReceived(bool) override {}
  bool DeviceSendShort(const IMidiMessage& m) override
  {
    Require(m.status >= 0x80 && m.status < 0xF0 && m.data1 < 0x80 && m.data2 < 0x80);
    return true;
  }
  bool DeviceSendSysEx(const uint8_t*, int) override { return true; }
  bool JobsThreadIdle() override { return true; }
  bool PostJob(const LinkJob& job) override
  {
    Require(job.partOrSlot >= 0 && job.partOrSlot < kPartCount && job.programChange <= 127);
    editBufferReceive = 0; // the job's reception ends at once
    return true;
  }
  Clock& LinkClock() override { return clock; }
  std::stop_token LinkStop() override { return stop.get_token(); }

  ConfigReader* config = nullptr;
  std::atomic<uint8_t> editBufferReceive{0};
  VirtualClock clock;
  std::stop_source stop;

private:
  IParameter* Param(int index) { return mPlug.ParameterAt(index); }
  IEffectBase& mPlug;
};

struct World
{
  World()
  {
    ScopedDocument document(ConfigReader::kUiDocumentId, IncomingTestDocument());
    reader.Read(&graphics, &plug, nullptr, 0, 1.0);
    host.config = &reader;
  }
  HostlessPlug plug;
  IGraphics graphics{&plug, 1500, 757};
  ConfigReader reader;
  FuzzHost host{plug};
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  static World* world = new World;
  if (size < 1 || size > 4096) return 0;
  FuzzHost& host = world->host;
  // The first byte sets the switches and modes the messages meet.
  const uint8_t flags = data[0];
  for (size_t i = 0; i < host.passThrough.size(); ++i)
    host.passThrough[i] = (flags & 1) || i % 2 == (flags >> 1) % 2;
  host.localControlOn = (flags >> 2) & 1;
  host.performanceMode = (flags >> 3) & 1;
  host.editorReady = 1;
  host.midiOutputReady = 1;
  host.SetParamInEditor(kControlLibrary, (flags >> 4) & 1);
  host.SetParamInEditor(kMultiPartEffectsUsed + (flags >> 5), (flags >> 4) & 1);
  IncomingMessages incoming(host);
  // Then four bytes a message: side in the top bit of the first, status, two data bytes.
  for (size_t i = 1; i + 4 <= size; i += 4)
  {
    IMidiMessage m;
    m.status = data[i + 1];
    m.data1 = data[i + 2];
    m.data2 = data[i + 3];
    m.offset = data[i] & 0x7F;
    host.transferBusy = 0;
    host.incomingMidiBlocked = 0;
    host.editBufferReceive = 0;
    incoming.HandleMidiMessage(m, (data[i] & 0x80) != 0);
    Require(host.applyingReceivedController == 0);
  }
  for (int i = 0; i < world->plug.NumParameters(); ++i)
  {
    const IParameter* p = world->plug.ParameterAt(i);
    Require(std::isfinite(p->Value()) && p->Value() >= p->Min() && p->Value() <= p->Max());
  }
  host.midiQueue.DrainBlock(
      128, [](const IMidiMessage& m)
      { Require(m.status >= 0x80 && m.status < 0xF0 && m.data1 < 0x80 && m.data2 < 0x80); });
  return 0;
}
