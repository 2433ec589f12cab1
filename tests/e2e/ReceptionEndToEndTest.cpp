// A bank received over JACK from the simulated synthesizer while other messages cross the cable: a
// program change from the synthesizer and from the host, and program dumps that nobody asked for
// (another device's, and the synthesizer's own). What is checked is what the user gets: the whole
// bank, written back byte for byte into the synthesizer's bank B.
#include "tests/support/EndToEndFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace
{
class ReceptionEndToEnd : public EndToEndFixture
{
protected:
  void Sim(const std::string& line)
  {
    ASSERT_TRUE(sim.WriteLine(line));
    ASSERT_EQ(sim.ReadLine(), "OK") << line;
  }

  void Begin(const std::function<void(ProgramChunk&)>& adjust = {})
  {
    ASSERT_NO_FATAL_FAILURE(OpenEditor());
    ASSERT_NO_FATAL_FAILURE(RecallTheSimulatorAndConnect(adjust));
    ASSERT_NO_FATAL_FAILURE(ShowPage(1));
    bankA = WithoutBankCode(SimBank(5));
    ASSERT_EQ(bankA.size(), 2u * 128u);
    ASSERT_NE(WithoutBankCode(SimBank(6)), bankA) << "the simulator's banks A and B should differ";
  }

  // Librarian menu: Receive from Hardware > Bank A.
  void StartReceivingBankA()
  {
    ASSERT_TRUE(
        Choose(LeftPaneMenu(), {"Down", "Right", "Down", "Return"}, [&] { return Heard(kBankARequest); }))
        << "the bank request did not start";
  }

  // The bank request's end: completed, or (what a reception ended under it comes to) timed out at
  // one of the slots around those where the case disturbs it.
  void ExpectBankCompleted()
  {
    std::vector<std::string> ends{"Data request completed!"};
    for (int slot : {10, 11, 12, 13, 14, 40, 41, 42, 43, 44})
    {
      char text[64];
      std::snprintf(text, sizeof text, "CONNECTION TIMED OUT! No answer for slot %03d.", slot);
      ends.push_back(text);
    }
    ASSERT_EQ(WaitForAnyStatus(ends, 120s), "Data request completed!");
  }

  // Store to Hardware > All Current Patches to Bank B; bank B then holds bank A, byte for byte.
  void ExpectBankAWrittenToBankB()
  {
    ASSERT_TRUE(Choose(LeftPaneMenu(), {"Down", "Down", "Right", "Down", "Down", "Return"},
                       [&] { return Heard("IN F0 00 20 29 01 24 03 02 06 "); }))
        << "the bank write did not start";
    ASSERT_TRUE(WaitForStatus("Data write completed!", 60s)) << "the write did not complete";
    ASSERT_NO_FATAL_FAILURE(ExpectBank(6, bankA));
  }

  std::vector<std::string> bankA;
};
} // namespace

// While slots 10 to 40 are being received, the synthesizer sends a program change on a part's
// channel and the host one for a part that follows program changes. Neither ends the reception:
// the bank arrives whole.
TEST_F(ReceptionEndToEnd, AProgramChangeDoesNotEndABankReception)
{
  ASSERT_NO_FATAL_FAILURE(Begin([](ProgramChunk& chunk) { chunk.SetValue(kPartProgramChange, 1.0); }));
  ASSERT_NO_FATAL_FAILURE(StartReceivingBankA());
  ASSERT_TRUE(editor->PumpUntil([&] { return Heard(std::string(kBankARequest) + "0A F7"); }, 60s));
  ASSERT_NO_FATAL_FAILURE(Sim("SEND C0 05"));
  host.QueueMidi(0, 0xC0, 9);
  ASSERT_TRUE(editor->PumpUntil([&] { return Heard(std::string(kBankARequest) + "28 F7"); }, 60s));
  ASSERT_NO_FATAL_FAILURE(Sim("SEND C0 06"));
  host.QueueMidi(0, 0xC0, 10);
  ASSERT_NO_FATAL_FAILURE(ExpectBankCompleted());
  ASSERT_NO_FATAL_FAILURE(ExpectBankAWrittenToBankB());
}

// The synthesizer answers each message 15 ms late; meanwhile ten program dumps nobody asked for cross the
// cable in edit-buffer form: five of another device (id 5), five of the synthesizer itself. None is stored as
// a slot: every slot holds its own answer.
TEST_F(ReceptionEndToEnd, DumpsNobodyAskedForAreNotStoredAsSlots)
{
  ASSERT_NO_FATAL_FAILURE(Begin());
  ASSERT_NO_FATAL_FAILURE(Sim("SLOW 15"));
  ASSERT_NO_FATAL_FAILURE(StartReceivingBankA());
  std::mt19937 random(7);
  for (int i = 0; i < 10; ++i)
  {
    editor->Pump(std::chrono::milliseconds(150 + 37 * i));
    const uint8_t deviceId = i % 2 ? 3 : 5;
    ASSERT_NO_FATAL_FAILURE(Sim("SEND " + SimHex(SimSysEx::GenerateProgram(random, 0, 0x24, deviceId))));
    ASSERT_NO_FATAL_FAILURE(Sim("SEND " + SimHex(SimSysEx::GenerateProgramB(random, 0, 0x24, deviceId))));
  }
  ASSERT_NO_FATAL_FAILURE(ExpectBankCompleted());
  ASSERT_NO_FATAL_FAILURE(Sim("SLOW 0"));
  ASSERT_NO_FATAL_FAILURE(ExpectBankAWrittenToBankB());
}
