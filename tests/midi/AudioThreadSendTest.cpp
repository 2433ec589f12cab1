// Sends made on the host's processing thread: they never wait for a port being opened or for room
// in the output, what they queue arrives once and in order, and what found no room is counted.
#include "framework/plugin/AudioThreadScope.h"
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
// A distinct short message for each number.
IMidiMessage Numbered(int n)
{
  IMidiMessage message;
  message.status = uint8_t(0x90 | (n & 0x0F));
  message.data1 = uint8_t((n >> 4) & 0x7F);
  message.data2 = uint8_t((n >> 11) & 0x7F);
  return message;
}

Bytes BytesOf(const IMidiMessage& m)
{
  return {m.status, m.data1, m.data2};
}

struct Ports
{
  Ports()
  {
    backend->AddDestinationPort("A");
    backend->AddDestinationPort("B");
    EXPECT_TRUE(ports.SetBackend(backend));
  }
  ~Ports()
  {
    // Whatever a failed case left waiting is let go before the ports close.
    backend->SetOutputOpenHeld(false);
    backend->SetOutputsFull(false);
    ports.Shutdown();
  }
  bool Select(const std::string& name)
  {
    int index = 1;
    return ports.SelectMidiOutputPort(index, name) > 0;
  }

  std::shared_ptr<LoopbackMidiBackend> backend = std::make_shared<LoopbackMidiBackend>();
  IMidiPorts ports;
};

// Runs the sends as the processing thread would; their statuses, or nothing when they did not end
// in time (they waited: then what holds them is let go, so that the case ends).
std::vector<MidiSendStatus> SendOnAudioThread(IMidiPorts& ports, int count, bool& ended,
                                              const std::function<void()>& letGo)
{
  auto sends = std::async(std::launch::async,
                          [&ports, count]
                          {
                            AudioThreadScope audioThread;
                            std::vector<MidiSendStatus> statuses;
                            for (int n = 0; n < count; ++n)
                              statuses.push_back(ports.SendMidiToDevice(Numbered(n)));
                            return statuses;
                          });
  ended = sends.wait_for(10s) == std::future_status::ready;
  if (ended) return sends.get();
  letGo();
  return {};
}
} // namespace

TEST(AudioThreadSend, NeverWaitsForAPortBeingOpenedAndDeliversOnceItIsOpen)
{
  Ports p;
  ASSERT_TRUE(p.Select("A"));
  {
    AudioThreadScope audioThread;
    // Nothing leaves the processing thread itself: the port's thread delivers it.
    EXPECT_EQ(p.ports.SendMidiToDevice(Numbered(100)), MidiSendStatus::kSent);
    const Bytes tail{0x7E, 0x00, 0x86};
    EXPECT_EQ(p.ports.SendSysExToDevice(tail.data(), int(tail.size())), MidiSendStatus::kSent);
  }
  ASSERT_TRUE(p.backend->WaitForReceived("A", 2, 5s));
  EXPECT_EQ(p.backend->Received("A"),
            (std::vector<Bytes>{BytesOf(Numbered(100)), {0xF0, 0x7E, 0x00, 0x7F, 0xF7}}));
  p.backend->ClearReceived("A");

  // Another port is chosen and its open takes its time, holding the ports' locks.
  p.backend->SetOutputOpenHeld(true);
  auto selection = std::async(std::launch::async, [&] { return p.Select("B"); });
  ASSERT_TRUE(p.backend->WaitForHeldOpen(5s));
  bool ended = false;
  const auto statuses = SendOnAudioThread(p.ports, 10, ended, [&] { p.backend->SetOutputOpenHeld(false); });
  EXPECT_TRUE(ended) << "a send on the processing thread waited for the port being opened";
  EXPECT_EQ(statuses, std::vector<MidiSendStatus>(ended ? 10 : 0, MidiSendStatus::kSent));
  p.backend->SetOutputOpenHeld(false);
  ASSERT_TRUE(selection.get());

  // Delivered to the new port once it is open, each message once, in order.
  ASSERT_TRUE(p.backend->WaitForReceived("B", 10, 5s));
  ASSERT_TRUE(p.ports.WaitUntilQueuedOutputHandled(5s));
  std::vector<Bytes> expected;
  for (int n = 0; n < 10; ++n)
    expected.push_back(BytesOf(Numbered(n)));
  EXPECT_EQ(p.backend->Received("B"), expected);
  EXPECT_TRUE(p.backend->Received("A").empty());
  EXPECT_EQ(p.ports.DroppedOutputMessages(), 0u);

  // Without a port open or being chosen, nothing is queued.
  p.ports.CloseMidiOutput();
  AudioThreadScope audioThread;
  EXPECT_EQ(p.ports.SendMidiToDevice(Numbered(1)), MidiSendStatus::kNoOutput);
}

TEST(AudioThreadSend, AFullOutputDropsAndCountsInsteadOfWaiting)
{
  Ports p;
  ASSERT_TRUE(p.Select("A"));
  p.backend->SetOutputsFull(true);
  // More than the queue holds: the output has no room, so the rest finds none either.
  constexpr int kCount = 5000;
  bool ended = false;
  const auto statuses = SendOnAudioThread(p.ports, kCount, ended, [&] { p.backend->SetOutputsFull(false); });
  ASSERT_TRUE(ended) << "a send on the processing thread waited for room in the output";
  std::vector<Bytes> accepted;
  for (int n = 0; n < kCount; ++n)
    if (statuses[size_t(n)] == MidiSendStatus::kSent)
      accepted.push_back(BytesOf(Numbered(n)));
    else
      EXPECT_EQ(statuses[size_t(n)], MidiSendStatus::kFailed);
  EXPECT_GT(p.ports.OutputOverflows(), 0u);
  EXPECT_EQ(p.ports.OutputOverflows(), uint64_t(kCount) - accepted.size());
  EXPECT_EQ(p.ports.DroppedOutputMessages(), p.ports.OutputOverflows());

  // Room again: what was accepted arrives, once each and in order.
  p.backend->SetOutputsFull(false);
  ASSERT_TRUE(p.ports.WaitUntilQueuedOutputHandled(10s));
  EXPECT_EQ(p.backend->Received("A"), accepted);
}
