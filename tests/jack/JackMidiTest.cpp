// End to end over a JACK server: the plug-in's MIDI ports, opened by name through the RtMidi
// back end, against a second JACK client standing in for the synthesizer. Run under
// scripts/with-jack; without a server the tests skip, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/MidiBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
// Tune request: a one-byte message that passes the input filter and that no test sends otherwise.
const Bytes kProbe{0xF6};

// Client names of our own: several suites and ctest's parallel runs share one server.
std::string UniqueName(const char* role)
{
  static std::atomic<int> next{0};
  return std::string("velk-") + role + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

bool JackRequired()
{
  const char* value = std::getenv("VELK_REQUIRE_JACK");
  return value && std::string(value) == "1";
}

// Messages in arrival order, from whatever thread delivers them.
class Collector : public IMidiInputSink
{
public:
  void Add(Bytes message)
  {
    if (message == kProbe)
    {
      probes_.fetch_add(1);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(std::move(message));
    }
    changed_.notify_all();
  }
  void HandleMidiMessage(const IMidiMessage& m, bool fromDevice) override
  {
    EXPECT_TRUE(fromDevice);
    Bytes bytes{m.status, m.data1, m.data2};
    bytes.resize(size_t(IMidiMessage::LengthForStatus(m.status)));
    Add(bytes);
  }
  void HandleSysExMessage(const ISysExMessage& m, bool fromDevice) override
  {
    EXPECT_TRUE(fromDevice);
    Add(Bytes(m.bytes, m.bytes + m.size));
  }
  std::vector<Bytes> WaitFor(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, 5s, [&] { return messages_.size() >= count; });
    return messages_;
  }

  int Probes() const { return probes_.load(); }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> messages_;
  std::atomic<int> probes_{0};
};

Bytes SysEx(size_t size, uint8_t seed)
{
  Bytes message(size);
  message.front() = 0xF0;
  for (size_t i = 1; i + 1 < size; ++i)
    message[i] = uint8_t((i * 7 + seed) & 0x7F);
  message.back() = 0xF7;
  return message;
}

class JackMidiTest : public testing::Test
{
protected:
  void SetUp() override
  {
    const char* server = std::getenv("JACK_DEFAULT_SERVER");
    if (!server && !JackRequired())
      GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

    // The stand-in synthesizer: two ports of its own that the plug-in connects to by name.
    auto peers = CreateRtMidiBackend(RtMidiApiChoice::Jack);
    peerOutName = UniqueName("peer-out");
    peerInName = UniqueName("peer-in");
    peerOut = peers->CreateOutput(peerOutName);
    peerIn = peers->CreateInput(peerInName);
    const bool reachable =
        peerOut && peerIn && peerOut->OpenVirtualPort("out") &&
        peerIn->OpenVirtualPort("in", [this](const uint8_t* b, size_t n) { atPeer.Add(Bytes(b, b + n)); });
    if (!reachable)
    {
      if (JackRequired())
        FAIL() << "VELK_REQUIRE_JACK=1 but no JACK server is reachable"
               << (server ? std::string(" at \"") + server + "\"" : std::string());
      GTEST_SKIP() << "JACK server not reachable";
    }

    ports.SetBackend(CreateRtMidiBackend(RtMidiApiChoice::Jack));
    ports.SetSink(&atPlugin);
  }

  // A JACK connection takes effect some cycles after it is made, later still on a loaded machine:
  // probe until one message has crossed, so that the messages under test are not sent into a void.
  // Probes are counted over the whole test: a reopened port is connected once a probe beyond
  // those before has arrived.
  static bool WaitUntilConnected(const std::function<void()>& sendProbe, const Collector& at)
  {
    const int before = at.Probes();
    for (int i = 0; i < 250 && at.Probes() == before; ++i)
    {
      sendProbe();
      std::this_thread::sleep_for(20ms);
    }
    return at.Probes() > before;
  }

  bool OpenPluginInput()
  {
    const auto inputs = ports.ListMidiInputPorts();
    EXPECT_EQ(inputs.at(0), "Select MIDI Device");
    int index = 1;
    if (ports.SelectMidiInputPort(index, peerOutName + ":out") <= 0) return false;
    return WaitUntilConnected([this] { peerOut->Send(kProbe.data(), kProbe.size()); }, atPlugin);
  }

  bool OpenPluginOutput()
  {
    const auto outputs = ports.ListMidiOutputPorts();
    EXPECT_EQ(outputs.at(0), "Select MIDI Device");
    int index = 1;
    if (ports.SelectMidiOutputPort(index, peerInName + ":in") <= 0) return false;
    return WaitUntilConnected([this] { ports.SendBytesToDevice(kProbe.data(), int(kProbe.size())); }, atPeer);
  }

  void TearDown() override
  {
    ports.Shutdown();
    if (peerIn) peerIn->ClosePort();
    if (peerOut) peerOut->ClosePort();
  }

  std::string peerOutName, peerInName;
  std::unique_ptr<MidiOutputClient> peerOut;
  std::unique_ptr<MidiInputClient> peerIn;
  Collector atPeer;
  Collector atPlugin;
  IMidiPorts ports;
};
} // namespace

TEST_F(JackMidiTest, DeviceToPlugin)
{
  ASSERT_TRUE(OpenPluginInput());

  const Bytes note{0x91, 60, 100};
  const Bytes medium = SysEx(300, 1), large = SysEx(4000, 2);
  ASSERT_TRUE(peerOut->Send(note.data(), note.size()));
  ASSERT_TRUE(peerOut->Send(medium.data(), medium.size()));
  ASSERT_TRUE(peerOut->Send(large.data(), large.size()));

  const auto received = atPlugin.WaitFor(3);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0], note);
  EXPECT_EQ(received[1], medium);
  EXPECT_EQ(received[2], large);
}

TEST_F(JackMidiTest, PluginToDevice)
{
  ASSERT_TRUE(OpenPluginOutput());

  const Bytes medium = SysEx(300, 3), large = SysEx(4000, 4);
  EXPECT_EQ(ports.SendMidiToDevice({0, 0x92, 64, 90}), MidiSendStatus::kSent);
  EXPECT_EQ(ports.SendSysExToDevice(medium.data(), int(medium.size())), MidiSendStatus::kSent);
  // Without its frame: the send adds F0 and F7.
  const Bytes body(large.begin() + 1, large.end() - 1);
  EXPECT_EQ(ports.SendSysExToDevice(body.data(), int(body.size())), MidiSendStatus::kSent);

  const auto received = atPeer.WaitFor(3);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0], (Bytes{0x92, 64, 90}));
  EXPECT_EQ(received[1], medium);
  EXPECT_EQ(received[2], large);
}

TEST_F(JackMidiTest, LargestSysExArrivesAndLargerIsRefused)
{
  ASSERT_TRUE(OpenPluginOutput());

  const Bytes largest = SysEx(16379, 5), tooLarge = SysEx(16380, 6);
  EXPECT_EQ(ports.SendSysExToDevice(tooLarge.data(), int(tooLarge.size())), MidiSendStatus::kTooLarge);
  EXPECT_EQ(ports.SendSysExToDevice(largest.data(), int(largest.size())), MidiSendStatus::kSent);
  // Back to back: the second must wait for room instead of being dropped.
  EXPECT_EQ(ports.SendSysExToDevice(largest.data(), int(largest.size())), MidiSendStatus::kSent);
  const auto received = atPeer.WaitFor(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], largest);
  EXPECT_EQ(received[1], largest);
}

TEST_F(JackMidiTest, ReopenedOutputSendsWithoutWaiting)
{
  ASSERT_TRUE(OpenPluginOutput());
  const Bytes largest = SysEx(16379, 7);
  EXPECT_EQ(ports.SendSysExToDevice(largest.data(), int(largest.size())), MidiSendStatus::kSent);
  // Selecting again closes the port, which drains the library's buffer: what was queued before
  // must not hold back what follows.
  ASSERT_TRUE(OpenPluginOutput());
  const auto start = std::chrono::steady_clock::now();
  for (uint8_t note = 60; note < 70; ++note)
    EXPECT_EQ(ports.SendMidiToDevice({0, 0x90, note, 100}), MidiSendStatus::kSent);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 300ms);

  const auto received = atPeer.WaitFor(11);
  ASSERT_EQ(received.size(), 11u);
  EXPECT_EQ(received[0], largest);
  EXPECT_EQ(received[10], (Bytes{0x90, 69, 100}));
}

// What was accepted just before the port closes still arrives: closing waits until the output's
// buffers are empty and the connected client has had its cycle (an asynchronous server, or a
// loaded machine, lost it now and then).
TEST_F(JackMidiTest, MessageSentJustBeforeCloseArrives)
{
  for (uint8_t round = 0; round < 20; ++round)
  {
    ASSERT_TRUE(OpenPluginOutput());
    const Bytes note{0x93, round, 64};
    const Bytes dump = SysEx(600, round);
    ASSERT_EQ(ports.SendBytesToDevice(note.data(), int(note.size())), MidiSendStatus::kSent);
    ASSERT_EQ(ports.SendBytesToDevice(dump.data(), int(dump.size())), MidiSendStatus::kSent);
    ports.CloseMidiOutput();
    const auto received = atPeer.WaitFor(2u * (round + 1));
    ASSERT_EQ(received.size(), 2u * (round + 1)) << "lost in round " << int(round);
    EXPECT_EQ(received[2u * round], note);
    EXPECT_EQ(received[2u * round + 1], dump);
  }
}

// Opening fails when no server answers; closing afterwards touches no port the library never
// made, and sending and selecting answer plainly.
TEST(JackMidiNoServer, CloseAfterFailedOpenIsSafe)
{
  const char* previous = std::getenv("JACK_DEFAULT_SERVER");
  const std::string saved = previous ? previous : "";
  ::setenv("JACK_NO_START_SERVER", "1", 1);
  ::setenv("JACK_DEFAULT_SERVER", UniqueName("absent").c_str(), 1);

  auto backend = CreateRtMidiBackend(RtMidiApiChoice::Jack);
  auto out = backend->CreateOutput(UniqueName("out"));
  auto in = backend->CreateInput(UniqueName("in"));
  for (int round = 0; round < 2; ++round)
  {
    if (out)
    {
      EXPECT_FALSE(out->OpenPort(0, "x"));
      out->ClosePort();
      out->ClosePort();
      EXPECT_FALSE(out->IsPortOpen());
      const uint8_t note[] = {0x90, 60, 1};
      EXPECT_FALSE(out->Send(note, 3));
    }
    if (in)
    {
      EXPECT_FALSE(in->OpenPort(0, "x", [](const uint8_t*, size_t) {}));
      in->ClosePort();
      in->ClosePort();
      EXPECT_FALSE(in->IsPortOpen());
    }
  }
  out.reset();
  in.reset();

  IMidiPorts ports(CreateRtMidiBackend(RtMidiApiChoice::Jack));
  EXPECT_EQ(ports.ListMidiInputPorts(), std::vector<std::string>{"Select MIDI Device"});
  int index = 1;
  EXPECT_EQ(ports.SelectMidiInputPort(index, "anything:out"), 0);
  EXPECT_EQ(ports.SelectMidiOutputPort(index, "anything:in"), 0);
  ports.CloseMidiInput();
  ports.Shutdown();

  if (previous)
    ::setenv("JACK_DEFAULT_SERVER", saved.c_str(), 1);
  else
    ::unsetenv("JACK_DEFAULT_SERVER");
  ::unsetenv("JACK_NO_START_SERVER");
}

// A SysEx message that comes in pieces (as a bridge from ALSA sends a long one) reaches the plug-in
// whole, and the message after it on its own; a timing clock sent meanwhile is left out.
TEST_F(JackMidiTest, SysExInPiecesArrivesWhole)
{
  ASSERT_TRUE(OpenPluginInput());
  const Bytes whole = SysEx(600, 3), next = SysEx(20, 5);
  const Bytes head(whole.begin(), whole.begin() + 250), tail(whole.begin() + 250, whole.end());
  const Bytes clock{0xF8};
  ASSERT_TRUE(peerOut->Send(head.data(), head.size()));
  ASSERT_TRUE(peerOut->Send(clock.data(), clock.size()));
  ASSERT_TRUE(peerOut->Send(tail.data(), tail.size()));
  ASSERT_TRUE(peerOut->Send(next.data(), next.size()));

  const auto received = atPlugin.WaitFor(2);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], whole);
  EXPECT_EQ(received[1], next);
}
