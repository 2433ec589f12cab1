// The simulated synthesizer on the loopback MIDI back end: requests injected on the editor's
// side, answers recorded where the editor would listen.
#include "platform/clock/VirtualClock.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tools/simsynth/SimSynthPorts.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace
{
const std::string kEditorOut = "editor out"; // what the editor sends, the synthesizer hears
const std::string kEditorIn = "editor in";   // what the synthesizer sends, the editor hears

SimBytes Request(uint8_t type, uint8_t id)
{
  return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, id, type, 0xF7};
}

struct LoopRig
{
  LoopRig() : backend(std::make_shared<LoopbackMidiBackend>()), synth(9, 77), ports(synth, backend, clock)
  {
    backend->AddSourcePort(kEditorOut);
    backend->AddDestinationPort(kEditorIn);
  }
  std::shared_ptr<LoopbackMidiBackend> backend;
  VirtualClock clock;
  SimSynth synth;
  SimSynthPorts ports;
};
} // namespace

TEST(SimSynthPorts, AnswersOverTheLoopbackPortsInOrder)
{
  LoopRig rig;
  ASSERT_FALSE(rig.ports.OpenNamed("sim-loop-a", "no such port", kEditorIn));
  ASSERT_TRUE(rig.ports.OpenNamed("sim-loop-a", kEditorOut, kEditorIn));
  EXPECT_EQ(rig.ports.InputName(), kEditorOut);
  EXPECT_EQ(rig.ports.OutputName(), kEditorIn);
  EXPECT_EQ(rig.backend->Connections(kEditorOut), 1);
  EXPECT_EQ(rig.backend->Connections(kEditorIn), 1);

  // Another device id first, then ours: only the second is answered, after the first was read.
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x10, 8)));
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x10, 9)));
  const SimBytes memory{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 9, 0x13, 3, 77, 0xF7};
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, memory));
  ASSERT_TRUE(rig.backend->WaitForReceived(kEditorIn, 5, 10s));
  const auto received = rig.backend->Received(kEditorIn);
  ASSERT_EQ(received.size(), 5u);
  EXPECT_EQ(received[0], rig.synth.Globals()[0]);
  EXPECT_EQ(received[1], rig.synth.Globals()[1]);
  const auto slot = rig.synth.SlotMessages(3, 77);
  EXPECT_EQ(std::vector<SimBytes>(received.begin() + 2, received.end()), slot);
  EXPECT_EQ(rig.synth.Received(), 3u);

  rig.ports.Close();
  EXPECT_EQ(rig.backend->Connections(kEditorOut), 0);
  EXPECT_EQ(rig.backend->Connections(kEditorIn), 0);
}

TEST(SimSynthPorts, SilentThenSlowAnswersPacedByTheClock)
{
  LoopRig rig;
  ASSERT_TRUE(rig.ports.OpenNamed("sim-loop-b", kEditorOut, kEditorIn));
  SimSynthFaults faults;
  faults.silent = true;
  rig.synth.SetFaults(faults);
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x10, 9)));
  rig.backend->WaitUntilDelivered();
  // Switch only once the silent request has been handled (the delivery thread is ours, not the back end's).
  for (int i = 0; i < 5000 && rig.synth.Received() < 1; ++i)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(rig.synth.Received(), 1u);
  faults.silent = false;
  faults.slowMs = 300;
  rig.synth.SetFaults(faults);
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x10, 9)));

  // Each answered message waits 300 ms of the clock; the silent request sent nothing before it.
  ASSERT_TRUE(rig.clock.WaitForSleepers(1));
  EXPECT_TRUE(rig.backend->Received(kEditorIn).empty());
  ASSERT_TRUE(rig.clock.Advance(299));
  EXPECT_TRUE(rig.backend->Received(kEditorIn).empty());
  ASSERT_TRUE(rig.clock.Advance(1));
  ASSERT_EQ(rig.backend->Received(kEditorIn).size(), 1u);
  EXPECT_EQ(rig.backend->Received(kEditorIn)[0].size(), 281u);
  ASSERT_TRUE(rig.clock.Advance(300));
  ASSERT_EQ(rig.backend->Received(kEditorIn).size(), 2u);
  EXPECT_EQ(rig.backend->Received(kEditorIn)[1].size(), 297u);
}

TEST(SimSynthPorts, ClosingEndsAPacedAnswerAtOnce)
{
  LoopRig rig;
  ASSERT_TRUE(rig.ports.OpenNamed("sim-loop-c", kEditorOut, kEditorIn));
  SimSynthFaults faults;
  faults.slowMs = 60000;
  rig.synth.SetFaults(faults);
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x08, 9)));
  ASSERT_TRUE(rig.clock.WaitForSleepers(1));
  rig.ports.Close(); // must not wait out the minute of virtual time that never comes
  EXPECT_TRUE(rig.backend->Received(kEditorIn).empty());
}

TEST(SimSynthPorts, StoresWhatArrivesAndAnswersWithItWithFaultsOnTheWire)
{
  LoopRig rig;
  ASSERT_TRUE(rig.ports.OpenNamed("sim-loop-d", kEditorOut, kEditorIn));
  // A program written into bank code 8 slot 100, then asked for.
  auto program = rig.synth.SlotMessages(5, 1);
  for (SimBytes& m : program)
  {
    m[8] = 8;
    m[9] = 100;
    m[20] = 0x55;
    ASSERT_TRUE(rig.backend->Inject(kEditorOut, m));
  }
  const SimBytes ask{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 9, 0x13, 8, 100, 0xF7};
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, ask));
  ASSERT_TRUE(rig.backend->WaitForReceived(kEditorIn, 2, 10s));
  EXPECT_EQ(rig.backend->Received(kEditorIn), program);

  // Missing slot, wrong part and short messages as the editor would see them.
  SimSynthFaults faults;
  faults.missingBankCode = 8;
  faults.missingSlot = 100;
  faults.wrongPartByte = true;
  faults.malformedLengths = true;
  rig.synth.SetFaults(faults);
  rig.backend->ClearReceived(kEditorIn);
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, ask));
  ASSERT_TRUE(rig.backend->Inject(kEditorOut, Request(0x08, 9)));
  ASSERT_TRUE(rig.backend->WaitForReceived(kEditorIn, 2, 10s));
  const auto received = rig.backend->Received(kEditorIn);
  ASSERT_EQ(received.size(), 2u) << "the missing slot is not answered";
  EXPECT_EQ(received[0].size(), 295u);
  EXPECT_EQ(received[1].size(), 97u);
  EXPECT_EQ(received[0][8], 1) << "part 0's program names part 1";
  EXPECT_EQ(received[0].back(), 0xF7);
}
