// A MIDI server that runs but refuses our clients (a loaded JACK server answers too late): a recalled
// project's ports are asked for patiently, and when the server still refuses, the status line says so.
#include "editor/VELK.h"
#include "framework/plugin/IStateChunk.h"
#include "editor/PatchManager.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Loopback ports whose server refuses the first clients asked for patiently; the others it makes.
class RefusingBackend : public MidiBackend
{
public:
  explicit RefusingBackend(int refusals) : refusalsLeft(refusals)
  {
    loopback->AddDestinationPort("Synth Out Port");
    loopback->AddSourcePort("Synth In Port");
  }
  std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) override
  {
    return loopback->CreateOutput(clientName);
  }
  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override
  {
    return loopback->CreateInput(clientName);
  }
  std::unique_ptr<MidiOutputClient> CreateOutputPatiently(const std::string& clientName,
                                                          bool& refused) override
  {
    ++patientAsks;
    refused = refusalsLeft.fetch_sub(1) > 0;
    return refused ? nullptr : CreateOutput(clientName);
  }
  std::unique_ptr<MidiInputClient> CreateInputPatiently(const std::string& clientName, bool& refused) override
  {
    ++patientAsks;
    refused = refusalsLeft.fetch_sub(1) > 0;
    return refused ? nullptr : CreateInput(clientName);
  }

  std::shared_ptr<LoopbackMidiBackend> loopback = std::make_shared<LoopbackMidiBackend>();
  std::atomic<int> refusalsLeft;
  std::atomic<int> patientAsks{0};
};

std::vector<uint8_t> StateNamingThePorts()
{
  auto saver = MakePlug();
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiOutputName, "Synth Out Port");
  saver->GetPatchManager()->SetNameExact(PatchManager::kMidiInputName, "Synth In Port");
  IStateChunk chunk;
  EXPECT_TRUE(saver->WriteStateChunk(&chunk));
  return std::vector<uint8_t>(chunk.Data(), chunk.Data() + chunk.Size());
}

int Recall(VELK& plug, const std::vector<uint8_t>& bytes)
{
  IStateChunk chunk;
  chunk.Assign(bytes.data(), int(bytes.size()));
  return plug.ReadStateChunk(&chunk, 0);
}
} // namespace

TEST(MidiServerRefusal, ARecallAsksPatientlyAndTheStatusLineSaysWhenTheServerStillRefuses)
{
  TempDataFolder folder;
  const std::vector<uint8_t> state = StateNamingThePorts();

  // Refused for both ports: nothing opens, and the user is told why.
  auto backend = std::make_shared<RefusingBackend>(2);
  auto plug = MakePlug();
  ASSERT_TRUE(plug->MidiPorts().SetBackend(backend));
  ASSERT_EQ(Recall(*plug, state), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_EQ(backend->patientAsks.load(), 2) << "the selection did not ask for its clients patiently";
  EXPECT_FALSE(plug->MidiPorts().IsOutputOpen());
  EXPECT_EQ(plug->StatusText(), VELK::kMidiServerRefused);

  // Recalled again, the server takes the clients: the link comes up, and nothing speaks of a refusal.
  plug->SetStatusText("");
  ASSERT_EQ(Recall(*plug, state), int(state.size()));
  ASSERT_TRUE(plug->WaitForPortRecall(20000));
  EXPECT_TRUE(plug->MidiPorts().IsOutputOpen());
  EXPECT_TRUE(plug->MidiPorts().IsInputOpen());
  EXPECT_NE(plug->StatusText(), VELK::kMidiServerRefused);
}
