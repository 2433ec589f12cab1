// The plug-in's side of the link: its audio callback drains the queue, a reset sends All Notes
// Off once, the change handlers hand a parameter's record to the output, and tearing the plug-in
// down ends the link's sleeps.
#include "config/MidiMapRecord.h"
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <memory>
#include <stop_token>
#include <vector>

using Bytes = std::vector<uint8_t>;

namespace
{
struct Plug
{
  Plug() : backend(std::make_shared<LoopbackMidiBackend>()), velk(std::make_unique<VELK>(nullptr))
  {
    backend->AddDestinationPort("Synth");
    EXPECT_TRUE(velk->MidiPorts().SetBackend(backend));
    int index = 1;
    EXPECT_EQ(velk->SelectMidiOutputPort(index, "Synth"), 1);
    velk->midiOutputReady = 1;
  }
  // Gives the parameter a 0..127 range first, as the configuration would, then the value.
  void Set(int index, double value)
  {
    velk->ParameterAt(index)->SetupContinuous("", 0, 0, 127, 1, "");
    velk->ParameterAt(index)->SetClamped(value);
  }
  std::vector<Bytes> Sent()
  {
    auto sent = backend->Received("Synth");
    backend->ClearReceived("Synth");
    return sent;
  }
  void Block(int frames) { velk->ProcessBlockDouble(nullptr, nullptr, frames); }

  std::shared_ptr<LoopbackMidiBackend> backend;
  std::unique_ptr<VELK> velk;
};

IMidiMessage Cc(int offset, int data1)
{
  IMidiMessage m;
  m.offset = offset;
  m.status = 0xB1;
  m.data1 = uint8_t(data1);
  m.data2 = 1;
  return m;
}
} // namespace

TEST(VelkLink, AudioCallbackDrainsTheQueueAndSendsAllNotesOffAfterAReset)
{
  Plug plug;
  ASSERT_EQ(plug.velk->editorReady, 1);
  plug.velk->queueShortMidi = 1;
  plug.velk->midiQueue.Add(Cc(70, 2));
  plug.velk->midiQueue.Add(Cc(0, 1));
  plug.Block(64);
  EXPECT_EQ(plug.Sent(), (std::vector<Bytes>{{0xB1, 1, 1}}));
  plug.Block(64);
  EXPECT_EQ(plug.Sent(), (std::vector<Bytes>{{0xB1, 2, 1}}));

  // Switched to direct sending while a message waits: it goes at its time, unsent.
  plug.velk->midiQueue.Add(Cc(0, 3));
  plug.velk->queueShortMidi = 0;
  plug.Block(64);
  EXPECT_TRUE(plug.Sent().empty());
  EXPECT_EQ(plug.velk->midiQueue.Count(), 0);

  // Without an output a due message is dropped and no status text is built on the audio thread.
  plug.velk->queueShortMidi = 1;
  plug.velk->midiOutputReady = 0;
  plug.velk->midiQueue.Add(Cc(0, 4));
  plug.Block(64);
  EXPECT_EQ(plug.velk->StatusText(), "");
  EXPECT_EQ(plug.velk->midiQueue.Count(), 0);
  plug.velk->midiOutputReady = 1;
  plug.velk->queueShortMidi = 0;
  EXPECT_TRUE(plug.Sent().empty());

  // After a reset, All Notes Off to each enabled part, once, at the first block with an output.
  plug.Set(kMultiPartStatus + 0, 1);
  plug.Set(kMultiPartMIDICh + 0, 4);
  plug.Set(kMultiPartStatus + 3, 1);
  plug.Set(kMultiPartMIDICh + 3, 6);
  plug.velk->ResetProcessing();
  plug.velk->midiOutputReady = 0;
  plug.Block(64);
  plug.velk->midiOutputReady = 1;
  plug.Block(64);
  plug.Block(64);
  EXPECT_EQ(plug.Sent(), (std::vector<Bytes>{{0xB4, 123, 0}, {0xB6, 123, 0}}));
}

TEST(VelkLink, ChangeHandlersSendTheRecordOnlyOutsideASecondaryChange)
{
  Plug plug;
  MidiMapRecord record(MidiMapRecord::kCc);
  record.part = 2;
  record.ccNumber = 74;
  const int index = 1002;
  plug.velk->ParameterAt(index)->SetMidiMap(&record);
  plug.Set(kMultiPartMIDICh + 2, 2);
  plug.Set(index, 127);

  plug.velk->HandleSecondaryParameterChange(index);
  EXPECT_TRUE(plug.Sent().empty());
  EXPECT_EQ(record.lastValueSent.load(), 127.0);
  EXPECT_EQ(plug.velk->inSecondaryChange, 0);

  plug.Set(index, 64);
  plug.velk->HandleParameterChange(index);
  EXPECT_EQ(plug.Sent(), (std::vector<Bytes>{{0xB2, 74, 64}}));
  EXPECT_EQ(plug.velk->MidiDisplayText(), "CC|74");
  plug.velk->ParameterAt(index)->SetMidiMap(nullptr);
}

TEST(VelkLink, TearingThePlugInDownEndsTheLinksSleeps)
{
  Plug plug;
  std::stop_token stop = plug.velk->LinkStop();
  EXPECT_FALSE(stop.stop_requested());
  plug.velk.reset();
  EXPECT_TRUE(stop.stop_requested());
}
