#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#ifdef __linux__
#include <unistd.h>
#endif

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
struct Received
{
  bool sysex = false;
  IMidiMessage midi;
  Bytes bytes;
  bool fromDevice = false;
  std::thread::id thread;
};

class RecordingSink : public IMidiInputSink
{
public:
  void HandleMidiMessage(const IMidiMessage& message, bool fromDevice) override
  {
    Add(Received{false, message, {}, fromDevice, std::this_thread::get_id()});
  }
  void HandleSysExMessage(const ISysExMessage& message, bool fromDevice) override
  {
    EXPECT_EQ(message.offset, 0);
    Add(Received{true,
                 {},
                 Bytes(message.bytes, message.bytes + message.size),
                 fromDevice,
                 std::this_thread::get_id()});
    std::this_thread::sleep_for(delay);
  }
  bool WaitFor(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, 5s, [&] { return items.size() >= count; });
  }
  size_t Count()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return items.size();
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Received> items;
  std::chrono::milliseconds delay{0};

private:
  void Add(Received item)
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      items.push_back(std::move(item));
    }
    changed.notify_all();
  }
};

class MidiPortsTest : public testing::Test
{
protected:
  MidiPortsTest() : backend(std::make_shared<LoopbackMidiBackend>()), ports(backend)
  {
    backend->AddDestinationPort("Synth MIDI 1 20:0");
    backend->AddDestinationPort("Other Out");
    backend->AddSourcePort("Synth MIDI 1 20:0");
    backend->AddSourcePort("Keyboard In");
    ports.SetSink(&sink);
  }

  Bytes SentTo(const std::string& port, size_t count = 1)
  {
    if (!backend->WaitForReceived(port, count, 2s)) return {};
    return backend->Received(port).back();
  }

  int OpenOutput(const std::string& name)
  {
    int index = 1;
    return ports.SelectMidiOutputPort(index, name);
  }
  int OpenInput(const std::string& name)
  {
    int index = 1;
    return ports.SelectMidiInputPort(index, name);
  }

  std::shared_ptr<LoopbackMidiBackend> backend;
  RecordingSink sink;
  IMidiPorts ports;
};
} // namespace

TEST_F(MidiPortsTest, ListsBeginWithTheNoDeviceEntryAndAreBuiltOnce)
{
  const std::vector<std::string> outputs{"Select MIDI Device", "Synth MIDI 1 20:0", "Other Out"};
  EXPECT_EQ(ports.ListMidiOutputPorts(), outputs);
  const std::vector<std::string> inputs{"Select MIDI Device", "Synth MIDI 1 20:0", "Keyboard In"};
  EXPECT_EQ(ports.ListMidiInputPorts(), inputs);

  const int queries = backend->PortCountQueries();
  backend->AddDestinationPort("Late Port");
  EXPECT_EQ(ports.ListMidiOutputPorts(), outputs);
  EXPECT_EQ(backend->PortCountQueries(), queries);

  // Finding looks at the ports present now.
  EXPECT_EQ(ports.FindMidiOutputPort("Late Port"), 3);
  EXPECT_EQ(ports.FindMidiOutputPort("Select MIDI Device"), 0);
  EXPECT_EQ(ports.FindMidiOutputPort("Nowhere"), -1);
  EXPECT_EQ(ports.FindMidiOutputPort(""), -1);
}

TEST_F(MidiPortsTest, UnreadablePortNameKeepsItsPlace)
{
  backend->AddDestinationPort("Third");
  backend->SetUnreadablePortName("Other Out", true);
  const auto list = ports.ListMidiOutputPorts();
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[2], "");
  EXPECT_EQ(OpenOutput("Third"), 3);
  EXPECT_EQ(backend->Connections("Third"), 1);
  EXPECT_EQ(ports.FindMidiOutputPort(""), -1);
}

TEST_F(MidiPortsTest, SelectsPortsByName)
{
  ports.ListMidiOutputPorts();

  int index = 2;
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "Other Out"), 2);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(ports.ChosenOutputIndex(), 2);
  EXPECT_EQ(backend->Connections("Other Out"), 1);

  // The previous port is closed first; at most one output is open.
  index = 1;
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "Synth MIDI 1 20:0"), 1);
  EXPECT_EQ(backend->Connections("Other Out"), 0);
  EXPECT_EQ(backend->Connections("Synth MIDI 1 20:0"), 1);

  // The no-device entry, an unknown name and index 0 leave nothing open.
  index = 1;
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "Select MIDI Device"), 0);
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(ports.IsOutputOpen());
  EXPECT_EQ(backend->Connections("Synth MIDI 1 20:0"), 0);

  index = 3;
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "No Such Synth"), 0);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(ports.ChosenOutputIndex(), 0);
  EXPECT_FALSE(ports.IsOutputOpen());

  EXPECT_EQ(OpenOutput("Other Out"), 2);
  index = 0;
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "Other Out"), 0);
  EXPECT_FALSE(ports.IsOutputOpen());
}

TEST_F(MidiPortsTest, SelectionFollowsPortsThatComeAndGo)
{
  ports.ListMidiOutputPorts();
  // A saved project names the port as ALSA numbered it before a reboot.
  EXPECT_EQ(OpenOutput("Synth MIDI 1 24:0"), 1);
  EXPECT_EQ(backend->Connections("Synth MIDI 1 20:0"), 1);

  backend->AddDestinationPort("Plugged In Later");
  EXPECT_EQ(OpenOutput("Plugged In Later"), 3);
  EXPECT_EQ(ports.ListMidiOutputPorts().at(3), "Plugged In Later");

  backend->RemovePort("Plugged In Later");
  EXPECT_EQ(OpenOutput("Plugged In Later"), 0);
  EXPECT_FALSE(ports.IsOutputOpen());

  EXPECT_EQ(IMidiPorts::WithoutPortAddress("Synth MIDI 1 20:0"), "Synth MIDI 1");
  EXPECT_EQ(IMidiPorts::WithoutPortAddress("Synth MIDI 1"), "Synth MIDI 1");
  EXPECT_EQ(IMidiPorts::WithoutPortAddress("client:port"), "client:port");
  EXPECT_EQ(IMidiPorts::WithoutPortAddress("Synth 1:2:3"), "Synth 1:2:3");
}

TEST_F(MidiPortsTest, LibraryFailuresAnswerFailedSelections)
{
  backend->SetFailOpen(true);
  EXPECT_EQ(OpenOutput("Other Out"), 0);
  EXPECT_FALSE(ports.IsOutputOpen());
  EXPECT_EQ(ports.ChosenOutputIndex(), 0);
  const uint8_t note[] = {0x90, 60, 100};
  EXPECT_EQ(ports.SendBytesToDevice(note, 3), MidiSendStatus::kNoOutput);
  EXPECT_EQ(OpenInput("Keyboard In"), 0);
  EXPECT_FALSE(ports.IsInputOpen());
  backend->SetFailOpen(false);
  EXPECT_EQ(OpenOutput("Other Out"), 2);
}

TEST_F(MidiPortsTest, NoClientMeansNoPorts)
{
  backend->SetFailClientCreation(true);
  EXPECT_EQ(ports.ListMidiOutputPorts(), std::vector<std::string>{"Select MIDI Device"});
  EXPECT_EQ(ports.ListMidiInputPorts(), std::vector<std::string>{"Select MIDI Device"});
  EXPECT_EQ(OpenOutput("Other Out"), 0);
  EXPECT_EQ(OpenInput("Keyboard In"), 0);
  IMidiMessage message{0, 0xB0, 7, 100};
  EXPECT_EQ(ports.SendMidiToDevice(message), MidiSendStatus::kNoOutput);

  // Once the MIDI system is there, the next listing finds it.
  backend->SetFailClientCreation(false);
  EXPECT_EQ(ports.ListMidiOutputPorts().size(), 3u);
}

TEST_F(MidiPortsTest, ShortMessagesGoOutWithTheLengthTheirStatusImplies)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  struct Case
  {
    IMidiMessage message;
    Bytes wire;
  } cases[] = {
      {{0, 0xC0, 5, 0xFF}, {0xC0, 0x05}},
      {{0, 0xB0, 7, 100}, {0xB0, 0x07, 0x64}},
      {{0, 0xD3, 40, 9}, {0xD3, 40}},
      {{0, 0x92, 0x90, 0x80}, {0x92, 0x7F, 0x7F}}, // data bytes never carry a status bit
      {{0, 0xF8, 1, 2}, {0xF8}},
      {{0, 0xFA, 0, 0}, {0xFA}},
      {{0, 0xF2, 0x10, 0x20}, {0xF2, 0x10, 0x20}},
      {{0, 0xF3, 4, 5}, {0xF3, 4}},
      {{0, 0xF1, 0x31, 0}, {0xF1, 0x31}},
  };
  size_t count = 0;
  for (const auto& c : cases)
  {
    EXPECT_EQ(ports.SendMidiToDevice(c.message), MidiSendStatus::kSent);
    EXPECT_EQ(SentTo("Other Out", ++count), c.wire) << std::hex << int(c.message.status);
  }
  EXPECT_EQ(ports.SendMidiToDevice({0, 0x45, 1, 2}), MidiSendStatus::kInvalid);
  EXPECT_EQ(ports.SendMidiToDevice({0, 0xF0, 1, 2}), MidiSendStatus::kInvalid);
  EXPECT_EQ(backend->Received("Other Out").size(), count);
}

TEST_F(MidiPortsTest, SysExGoesOutFramedAndSevenBitClean)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  const uint8_t body[] = {0x7E, 0x00, 0x06};
  EXPECT_EQ(ports.SendSysExToDevice(body, 3), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out", 1), (Bytes{0xF0, 0x7E, 0x00, 0x06, 0xF7}));

  const uint8_t framed[] = {0xF0, 0x7E, 0x00, 0x06, 0xF7};
  EXPECT_EQ(ports.SendSysExToDevice(framed, 5), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out", 2), (Bytes{0xF0, 0x7E, 0x00, 0x06, 0xF7}));

  // Missing end byte added; bytes with the top bit set inside are clamped.
  const uint8_t unterminated[] = {0xF0, 0x00, 0x20, 0x29, 0x85, 0xF7, 0x10};
  EXPECT_EQ(ports.SendSysExToDevice(unterminated, 7), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out", 3), (Bytes{0xF0, 0x00, 0x20, 0x29, 0x7F, 0x7F, 0x10, 0xF7}));

  EXPECT_EQ(ports.SendSysExToDevice(body, 0), MidiSendStatus::kNoBytes);
  EXPECT_EQ(ports.SendSysExToDevice(nullptr, 3), MidiSendStatus::kNoBytes);
  const uint8_t empty[] = {0xF0, 0xF7};
  EXPECT_EQ(ports.SendSysExToDevice(empty, 2), MidiSendStatus::kInvalid);
  EXPECT_EQ(backend->Received("Other Out").size(), 3u);
}

TEST_F(MidiPortsTest, ByteAndVectorSends)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  std::vector<uint8_t> start{0xFA};
  EXPECT_EQ(ports.SendVectorToDevice(start), MidiSendStatus::kSent);
  EXPECT_TRUE(start.empty());
  EXPECT_EQ(start.capacity(), 0u);
  EXPECT_EQ(SentTo("Other Out", 1), Bytes{0xFA});

  const uint8_t sysex[] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10, 0xF7};
  EXPECT_EQ(ports.SendBytesToDevice(sysex, 9), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out", 2), Bytes(sysex, sysex + 9));

  const uint8_t wrongLength[] = {0xC0, 5, 0};
  EXPECT_EQ(ports.SendBytesToDevice(wrongLength, 3), MidiSendStatus::kInvalid);
  const uint8_t noStatus[] = {0x10, 0x20};
  EXPECT_EQ(ports.SendBytesToDevice(noStatus, 2), MidiSendStatus::kInvalid);
  std::vector<uint8_t> none;
  EXPECT_EQ(ports.SendVectorToDevice(none), MidiSendStatus::kNoBytes);
  EXPECT_EQ(ports.LastSendStatus(), MidiSendStatus::kNoBytes);
  EXPECT_EQ(backend->Received("Other Out").size(), 2u);

  ports.CloseMidiOutput();
  EXPECT_EQ(ports.SendBytesToDevice(sysex, 9), MidiSendStatus::kNoOutput);
  EXPECT_EQ(backend->Received("Other Out").size(), 2u);
}

TEST_F(MidiPortsTest, SysExLargerThanThePortCarriesIsRefused)
{
  backend->SetMaxMessageSize(100);
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  Bytes fits(98, 0x11), tooBig(99, 0x11);
  EXPECT_EQ(ports.SendSysExToDevice(fits.data(), int(fits.size())), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out").size(), 100u);
  EXPECT_EQ(ports.SendSysExToDevice(tooBig.data(), int(tooBig.size())), MidiSendStatus::kTooLarge);
  EXPECT_EQ(ports.LastSendStatus(), MidiSendStatus::kTooLarge);
  EXPECT_EQ(backend->Received("Other Out").size(), 1u);
}

TEST_F(MidiPortsTest, IncomingBytesReachTheSinkOnTheDeliveryThread)
{
  ASSERT_EQ(OpenInput("Keyboard In"), 2);
  ASSERT_TRUE(backend->Inject("Keyboard In", {0x93, 60, 100}));
  ASSERT_TRUE(backend->Inject("Keyboard In", {0xC1, 5}));
  ASSERT_TRUE(backend->Inject("Keyboard In", {0xFE}));
  Bytes sysex(20);
  for (size_t i = 0; i < sysex.size(); ++i)
    sysex[i] = uint8_t(i);
  sysex.front() = 0xF0;
  sysex.back() = 0xF7;
  ASSERT_TRUE(backend->Inject("Keyboard In", sysex));
  ASSERT_TRUE(backend->Inject("Keyboard In", {0xF0, 0x7E, 0xF7})); // short SysEx is still SysEx
  ASSERT_TRUE(sink.WaitFor(5));

  const auto& items = sink.items;
  EXPECT_FALSE(items[0].sysex);
  EXPECT_EQ(items[0].midi.offset, 0);
  EXPECT_EQ(items[0].midi.status, 0x93);
  EXPECT_EQ(items[0].midi.data1, 60);
  EXPECT_EQ(items[0].midi.data2, 100);
  EXPECT_EQ(items[1].midi.status, 0xC1);
  EXPECT_EQ(items[1].midi.data1, 5);
  EXPECT_EQ(items[1].midi.data2, 0);
  EXPECT_EQ(items[2].midi.status, 0xFE);
  EXPECT_EQ(items[2].midi.data1, 0);
  ASSERT_TRUE(items[3].sysex);
  EXPECT_EQ(items[3].bytes, sysex);
  ASSERT_TRUE(items[4].sysex);
  EXPECT_EQ(items[4].bytes.size(), 3u);
  for (const auto& item : items)
  {
    EXPECT_TRUE(item.fromDevice);
    EXPECT_NE(item.thread, std::this_thread::get_id());
  }
}

// What the library joins or splits reaches the handler as whole messages: a corrupt or unterminated
// SysEx is refused and the answer after it is taken whole.
TEST_F(MidiPortsTest, IncomingSysExReachesTheSinkWholeOrNotAtAll)
{
  ASSERT_EQ(OpenInput("Keyboard In"), 2);
  Bytes answer(99, 0x21);
  answer.front() = 0xF0;
  answer.back() = 0xF7;
  Bytes corrupt = answer;
  corrupt[30] = 0x85;
  Bytes withClock = answer;
  withClock.insert(withClock.begin() + 50, 0xF8);
  Bytes endless(20000 + answer.size(), 0x10); // F0 and 19,999 bytes without F7, then the answer
  endless.front() = 0xF0;
  std::copy(answer.begin(), answer.end(), endless.begin() + 20000);
  ASSERT_TRUE(backend->Inject("Keyboard In", Bytes(answer.begin(), answer.begin() + 16)));
  ASSERT_TRUE(backend->Inject("Keyboard In", Bytes(answer.begin() + 16, answer.end())));
  ASSERT_TRUE(backend->Inject("Keyboard In", corrupt));
  ASSERT_TRUE(backend->Inject("Keyboard In", withClock));
  ASSERT_TRUE(backend->Inject("Keyboard In", endless));
  ASSERT_TRUE(backend->Inject("Keyboard In", {0x90, 60, 100}));
  // The note comes last: once it is in, everything before it was handled.
  ASSERT_TRUE(sink.WaitFor(5));
  std::lock_guard<std::mutex> lock(sink.mutex);
  ASSERT_EQ(sink.items.size(), 5u);
  for (size_t i : {0, 2, 3})
  {
    ASSERT_TRUE(sink.items[i].sysex) << i;
    EXPECT_EQ(sink.items[i].bytes, answer) << i;
  }
  EXPECT_FALSE(sink.items[1].sysex); // the clock byte, taken out of the message it came in
  EXPECT_EQ(sink.items[1].midi.status, 0xF8);
  EXPECT_FALSE(sink.items[4].sysex);
  EXPECT_EQ(sink.items[4].midi.status, 0x90);
}

TEST_F(MidiPortsTest, InputKeepsOrderAndStopsWhenClosed)
{
  ASSERT_EQ(OpenInput("Synth MIDI 1 20:0"), 1);
  for (int i = 0; i < 300; ++i)
  {
    Bytes message(4 + i % 50, uint8_t(i & 0x7F));
    message.front() = 0xF0;
    message.back() = 0xF7;
    backend->Inject("Synth MIDI 1 20:0", message);
  }
  ASSERT_TRUE(sink.WaitFor(300));
  for (int i = 0; i < 300; ++i)
  {
    ASSERT_EQ(sink.items[i].bytes.size(), size_t(4 + i % 50));
    if (sink.items[i].bytes.size() > 2)
    {
      EXPECT_EQ(sink.items[i].bytes[1], uint8_t(i & 0x7F));
    }
  }

  ports.CloseMidiInput();
  EXPECT_EQ(backend->Connections("Synth MIDI 1 20:0"), 0);
  backend->Inject("Synth MIDI 1 20:0", {0x90, 1, 1});
  backend->WaitUntilDelivered();
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(sink.Count(), 300u);

  // Reopening delivers again, nothing stale in between.
  ASSERT_EQ(OpenInput("Synth MIDI 1 20:0"), 1);
  backend->Inject("Synth MIDI 1 20:0", {0x80, 2, 0});
  ASSERT_TRUE(sink.WaitFor(301));
  EXPECT_EQ(sink.items.back().midi.status, 0x80);
}

TEST_F(MidiPortsTest, ShutdownWaitsForTheHandlerAndDeliversNothingAfter)
{
  sink.delay = 30ms;
  ASSERT_EQ(OpenInput("Keyboard In"), 2);
  for (int i = 0; i < 5; ++i)
    backend->Inject("Keyboard In", {0xF0, 0x01, 0x02, 0x03, 0xF7});
  ASSERT_TRUE(sink.WaitFor(1));
  ports.Shutdown();
  const size_t afterShutdown = sink.Count();
  EXPECT_LT(afterShutdown, 5u);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(sink.Count(), afterShutdown);
  EXPECT_FALSE(ports.IsInputOpen());
  EXPECT_EQ(backend->Connections("Keyboard In"), 0);
}

TEST_F(MidiPortsTest, LoopPortCarriesOutputBackToInput)
{
  backend->AddLoopPort("Loop");
  ASSERT_GT(OpenOutput("Loop"), 0);
  ASSERT_GT(OpenInput("Loop"), 0);
  const uint8_t body[] = {0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10};
  EXPECT_EQ(ports.SendSysExToDevice(body, 7), MidiSendStatus::kSent);
  EXPECT_EQ(ports.SendMidiToDevice({0, 0xB0, 7, 100}), MidiSendStatus::kSent);
  ASSERT_TRUE(sink.WaitFor(2));
  EXPECT_EQ(sink.items[0].bytes, (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x10, 0xF7}));
  EXPECT_EQ(sink.items[1].midi.status, 0xB0);
}

TEST_F(MidiPortsTest, PortOperationsAndSendsFromSeveralThreads)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  // The audio thread and the transfer worker send while the editor looks up and reopens ports.
  std::thread sender(
      [&]
      {
        for (uint8_t i = 0; !done.load(); i = uint8_t((i + 1) & 0x7F))
          if (ports.SendMidiToDevice({0, 0xB0, 7, i}) == MidiSendStatus::kSent) sent.fetch_add(1);
      });
  // The port operations are quick: let the sends begin first, so that the two overlap.
  while (sent.load() == 0)
    std::this_thread::yield();
  std::thread inputCloser(
      [&]
      {
        for (int i = 0; i < 200; ++i)
          ports.CloseMidiInput();
      });
  for (int i = 0; i < 200; ++i)
  {
    EXPECT_EQ(ports.FindMidiOutputPort("Other Out"), 2);
    OpenInput("Keyboard In");
  }
  inputCloser.join();
  done = true;
  sender.join();
  // No library client was ever entered by two threads at once.
  EXPECT_EQ(backend->ConcurrentClientUses(), 0);
  EXPECT_TRUE(ports.IsOutputOpen());
  EXPECT_GT(backend->Received("Other Out").size(), 0u);
}

// A SysEx waiting for room in the library's buffer holds nothing a short message needs: the audio
// thread's messages go out while the dump waits, and the dump follows once there is room.
TEST_F(MidiPortsTest, ShortMessagesDoNotWaitBehindSysEx)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  backend->SetLongMessagesHeld(true);
  std::atomic<int> sysexStatus{-1};
  std::thread dump(
      [&]
      {
        const Bytes body(2000, 0x11);
        sysexStatus = int(ports.SendSysExToDevice(body.data(), int(body.size())));
      });
  // The dump is waiting for room once the back end has refused it.
  for (int i = 0; i < 2000 && backend->RoomRefusals() == 0; ++i)
    std::this_thread::sleep_for(1ms);
  EXPECT_GT(backend->RoomRefusals(), 0);

  std::promise<void> shortsDone;
  auto shortsSent = shortsDone.get_future();
  std::thread audio(
      [&]
      {
        for (uint8_t i = 0; i < 20; ++i)
          EXPECT_EQ(ports.SendMidiToDevice({0, 0xB0, 7, i}), MidiSendStatus::kSent);
        shortsDone.set_value();
      });
  // Generous: with the dump holding the send path this never completes, however long we wait.
  const bool shortsWent = shortsSent.wait_for(10s) == std::future_status::ready;
  EXPECT_TRUE(shortsWent) << "short messages waited behind the SysEx";
  EXPECT_EQ(sysexStatus.load(), -1);
  backend->SetLongMessagesHeld(false);
  audio.join();
  dump.join();
  EXPECT_EQ(sysexStatus.load(), int(MidiSendStatus::kSent));
  const auto received = backend->Received("Other Out");
  ASSERT_EQ(received.size(), 21u);
  EXPECT_EQ(received.front(), (Bytes{0xB0, 7, 0}));
  EXPECT_EQ(received.back().size(), 2002u);
}

// An output whose buffer never drains (the MIDI system stopped) fails the send after a bounded
// wait instead of holding its caller forever; short messages still go.
TEST_F(MidiPortsTest, SendGivesUpWhenTheOutputNeverHasRoom)
{
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  backend->SetLongMessagesHeld(true);
  const Bytes body(100, 0x22);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ports.SendSysExToDevice(body.data(), int(body.size())), MidiSendStatus::kFailed);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(ports.SendMidiToDevice({0, 0x90, 60, 1}), MidiSendStatus::kSent);
  backend->SetLongMessagesHeld(false);
  EXPECT_EQ(backend->Received("Other Out"), (std::vector<Bytes>{{0x90, 60, 1}}));
}

// A client whose server went away (a JACK server stopped) reaches nothing: the ports say they are
// closed, sends answer that no output is open, the listener hears of it, and the lost clients are
// dropped; listing and selecting afterwards make new clients that work.
TEST_F(MidiPortsTest, ClientsOfAStoppedServerAreDroppedAndMadeAgain)
{
  std::atomic<int> heard{0};
  ports.SetServerGoneListener([&] { heard.fetch_add(1); });
  ASSERT_EQ(OpenOutput("Other Out"), 2);
  ASSERT_EQ(OpenInput("Keyboard In"), 2);
  ASSERT_EQ(backend->ClientsAlive(), 2);

  backend->StopServer();
  EXPECT_EQ(heard.load(), 2); // one for each client
  EXPECT_FALSE(ports.IsOutputOpen());
  EXPECT_EQ(ports.SendMidiToDevice(IMidiMessage{0, 0xB0, 7, 100}), MidiSendStatus::kNoOutput);
  EXPECT_TRUE(backend->Received("Other Out").empty());
  EXPECT_TRUE(ports.HasClients());
  EXPECT_TRUE(ports.DropLostClients());
  EXPECT_FALSE(ports.DropLostClients());
  EXPECT_FALSE(ports.HasClients());
  EXPECT_FALSE(ports.IsInputOpen());
  EXPECT_EQ(ports.ChosenOutputIndex(), 0);
  EXPECT_EQ(backend->ClientsAlive(), 0);

  // The server is back: selecting by name makes new clients.
  EXPECT_EQ(OpenOutput("Other Out"), 2);
  EXPECT_EQ(OpenInput("Keyboard In"), 2);
  EXPECT_EQ(backend->ClientsAlive(), 2);
  EXPECT_EQ(ports.SendMidiToDevice(IMidiMessage{0, 0xB0, 7, 100}), MidiSendStatus::kSent);
  EXPECT_EQ(SentTo("Other Out"), (Bytes{0xB0, 7, 100}));
  ASSERT_TRUE(backend->Inject("Keyboard In", {0x90, 60, 100}));
  EXPECT_TRUE(sink.WaitFor(1));

  // A listing also replaces a lost client, and lists anew; the drop is still reported afterwards.
  backend->StopServer();
  backend->AddDestinationPort("Late Port");
  EXPECT_EQ(ports.ListMidiOutputPorts(),
            (std::vector<std::string>{"Select MIDI Device", "Synth MIDI 1 20:0", "Other Out", "Late Port"}));
  EXPECT_EQ(ports.FindMidiInputPort("Keyboard In"), -1) << "finding made a client";
  EXPECT_EQ(backend->ClientsAlive(), 1);
  EXPECT_TRUE(ports.DropLostClients());
  EXPECT_FALSE(ports.DropLostClients());
}

#ifdef __linux__
namespace
{
// Context switches (voluntary and forced) of one thread of this process, read from /proc.
long SwitchesOf(long tid)
{
  long total = 0;
  std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
      total += std::stol(line.substr(line.find(':') + 1));
  return total;
}

// Notes the kernel's id of the thread that delivers.
class ThreadNotingSink : public RecordingSink
{
public:
  void HandleMidiMessage(const IMidiMessage& message, bool fromDevice) override
  {
    tid = long(::gettid());
    RecordingSink::HandleMidiMessage(message, fromDevice);
  }
  std::atomic<long> tid{0};
};
} // namespace

// With an input open and nothing arriving, the delivery thread sleeps until input or its stop
// wakes it: a timed wait woke it ten times a second for as long as the port was open. A shutdown
// still ends it at once, also while another thread opens the input again meanwhile.
TEST_F(MidiPortsTest, IdleDeliveryThreadSleepsUntilInputAndStillEndsAtShutdown)
{
  ThreadNotingSink noting;
  ports.SetSink(&noting);
  ASSERT_EQ(OpenInput("Keyboard In"), 2);
  ASSERT_TRUE(backend->Inject("Keyboard In", {0x90, 60, 1}));
  ASSERT_TRUE(noting.WaitFor(1));
  const long tid = noting.tid.load();
  ASSERT_GT(tid, 0);
  std::this_thread::sleep_for(100ms);
  const long before = SwitchesOf(tid);
  std::this_thread::sleep_for(600ms);
  EXPECT_LE(SwitchesOf(tid) - before, 2) << "the idle delivery thread woke up";

  // Still woken by input, and ended by a shutdown at once.
  ASSERT_TRUE(backend->Inject("Keyboard In", {0x80, 60, 0}));
  ASSERT_TRUE(noting.WaitFor(2));
  for (int round = 0; round < 20; ++round)
  {
    SCOPED_TRACE(round);
    const auto start = std::chrono::steady_clock::now();
    std::thread reopen([&] { OpenInput("Keyboard In"); });
    ports.Shutdown();
    reopen.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  }
  ports.Shutdown();
}
#endif
