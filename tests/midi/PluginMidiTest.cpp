// The plug-in base with its MIDI ports: port operations through IEffectBase, device sends through
// the IEffectVST slots, input reaching the virtual handlers on the delivery thread.
#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ISysExMessage.h"
#include "platform/midi/LoopbackMidiBackend.h"
#include "tests/support/TestPlug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
class PortsTestPlugin : public TestPlug
{
public:
  ~PortsTestPlugin() override
  {
    CloseMidiPorts();
    alive = false;
  }

  void HandleMidiMessage(IMidiMessage* message, bool fromDevice) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    shortMessages.push_back(*message);
    fromDeviceSeen = fromDeviceSeen && fromDevice;
    threads.push_back(std::this_thread::get_id());
  }
  void HandleSysExMessage(ISysExMessage* message, bool fromDevice) override
  {
    std::this_thread::sleep_for(delay);
    EXPECT_TRUE(alive.load()); // never called into a plug-in being torn down
    std::lock_guard<std::mutex> lock(mutex);
    sysex.emplace_back(message->bytes, message->bytes + message->size);
    fromDeviceSeen = fromDeviceSeen && fromDevice;
  }
  size_t Count()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return shortMessages.size() + sysex.size();
  }

  std::mutex mutex;
  std::vector<IMidiMessage> shortMessages;
  std::vector<Bytes> sysex;
  std::vector<std::thread::id> threads;
  bool fromDeviceSeen = true;
  std::chrono::milliseconds delay{0};
  std::atomic<bool> alive{true};
};

bool WaitUntil(const std::function<bool()>& done)
{
  for (int i = 0; i < 500 && !done(); ++i)
    std::this_thread::sleep_for(10ms);
  return done();
}
} // namespace

TEST(PluginMidi, PortsSendsAndInputThroughThePluginBase)
{
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddLoopPort("Synth");
  PortsTestPlugin plugin;
  ASSERT_TRUE(plugin.MidiPorts().SetBackend(backend));

  EXPECT_EQ(plugin.ListMidiOutputPorts(), (std::vector<std::string>{"Select MIDI Device", "Synth"}));
  EXPECT_EQ(plugin.ListMidiInputPorts(), (std::vector<std::string>{"Select MIDI Device", "Synth"}));
  EXPECT_EQ(plugin.FindMidiOutputPort("Synth"), 1);

  // Nothing goes out before a port is chosen.
  const uint8_t request[] = {0x7E, 0x00, 0x06};
  EXPECT_FALSE(plugin.SendSysExToDevice(request, 3));

  int index = 1;
  ASSERT_EQ(plugin.SelectMidiOutputPort(index, "Synth"), 1);
  index = 1;
  ASSERT_EQ(plugin.SelectMidiInputPort(index, "Synth"), 1);

  IMidiMessage programChange{0, 0xC0, 5, 0xFF};
  EXPECT_TRUE(plugin.SendMidiToDevice(&programChange));
  EXPECT_FALSE(plugin.SendMidiToDevice(nullptr));
  EXPECT_TRUE(plugin.SendSysExToDevice(request, 3));
  const uint8_t start[] = {0xFA};
  EXPECT_TRUE(plugin.SendBytesToDevice(start, 1));
  std::vector<uint8_t> vector{0xF0, 0x01, 0x02, 0x03, 0xF7};
  EXPECT_TRUE(plugin.SendVectorToDevice(vector));
  EXPECT_TRUE(vector.empty());

  ASSERT_TRUE(backend->WaitForReceived("Synth", 4, 2s));
  EXPECT_EQ(
      backend->Received("Synth"),
      (std::vector<Bytes>{{0xC0, 0x05}, {0xF0, 0x7E, 0x00, 0x06, 0xF7}, {0xFA}, {0xF0, 1, 2, 3, 0xF7}}));

  // The loop port sends each message back in: it reaches the handlers, flagged as from the device.
  ASSERT_TRUE(WaitUntil([&] { return plugin.Count() == 4; }));
  std::lock_guard<std::mutex> lock(plugin.mutex);
  ASSERT_EQ(plugin.shortMessages.size(), 2u);
  EXPECT_EQ(plugin.shortMessages[0].status, 0xC0);
  EXPECT_EQ(plugin.shortMessages[0].data1, 5);
  EXPECT_EQ(plugin.shortMessages[1].status, 0xFA);
  EXPECT_EQ(plugin.sysex, (std::vector<Bytes>{{0xF0, 0x7E, 0x00, 0x06, 0xF7}, {0xF0, 1, 2, 3, 0xF7}}));
  EXPECT_TRUE(plugin.fromDeviceSeen);
  for (auto id : plugin.threads)
    EXPECT_NE(id, std::this_thread::get_id());
}

TEST(PluginMidi, TearDownWaitsForTheInputHandler)
{
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddSourcePort("Synth");
  auto plugin = std::make_unique<PortsTestPlugin>();
  plugin->delay = 20ms;
  plugin->MidiPorts().SetBackend(backend);
  plugin->ListMidiInputPorts();
  int index = 1;
  ASSERT_EQ(plugin->SelectMidiInputPort(index, "Synth"), 1);
  for (int i = 0; i < 10; ++i)
    backend->Inject("Synth", {0xF0, 0x00, 0x20, 0x29, 0xF7});
  ASSERT_TRUE(WaitUntil([&] { return plugin->Count() >= 1; }));
  plugin.reset(); // the handler asserts that the object is still whole
  EXPECT_EQ(backend->Connections("Synth"), 0);
}

namespace
{
// Input handlers that take the parameter lock, as the main class's receivers do.
class LockingPlugin : public TestPlug
{
public:
  ~LockingPlugin() override { CloseMidiPorts(); }
  void HandleMidiMessage(IMidiMessage*, bool) override
  {
    std::lock_guard<std::recursive_mutex> lock(ParameterLock());
    received.fetch_add(1);
  }
  void HandleSysExMessage(ISysExMessage*, bool) override
  {
    std::lock_guard<std::recursive_mutex> lock(ParameterLock());
    received.fetch_add(1);
  }
  std::atomic<int> received{0};
};
} // namespace

// Project recall selects ports by name under the parameter lock while the device keeps sending and
// the delivery thread waits for that lock: selection and closing must not wait for that thread.
TEST(PluginMidi, RecallSelectsPortsUnderTheParameterLockDuringAFlood)
{
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddSourcePort("Synth A");
  backend->AddSourcePort("Synth B");
  backend->AddLoopPort("Loop");
  LockingPlugin plugin;
  ASSERT_TRUE(plugin.MidiPorts().SetBackend(backend));
  plugin.ListMidiInputPorts();
  plugin.ListMidiOutputPorts();
  int index = 1;
  ASSERT_EQ(plugin.SelectMidiInputPort(index, "Synth A"), 1);

  std::atomic<bool> flooding{true};
  std::thread flood(
      [&]
      {
        for (uint8_t i = 0; flooding.load(); i = uint8_t((i + 1) & 0x7F))
        {
          backend->Inject("Synth A", {0x90, i, 100});
          backend->Inject("Synth B", {0xF0, 0x00, i, 0xF7});
        }
      });
  ASSERT_TRUE(WaitUntil([&] { return plugin.received.load() > 0; }));

  std::promise<void> recalled;
  auto done = recalled.get_future();
  std::thread recall(
      [&]
      {
        for (int round = 0; round < 30; ++round)
        {
          std::lock_guard<std::recursive_mutex> lock(plugin.ParameterLock());
          std::this_thread::sleep_for(1ms); // the delivery thread now waits for the lock
          int in = 1, out = 1;
          plugin.SelectMidiInputPort(in, round % 2 ? "Synth A" : "Synth B");
          plugin.SelectMidiOutputPort(out, "Loop");
          if (round % 5 == 4) plugin.MidiPorts().CloseMidiInput();
        }
        int in = 1;
        std::lock_guard<std::recursive_mutex> lock(plugin.ParameterLock());
        plugin.SelectMidiInputPort(in, "Synth A");
        recalled.set_value();
      });
  if (done.wait_for(30s) != std::future_status::ready)
  {
    // A deadlock cannot be undone from here; end the run rather than hang until the time-out.
    std::fprintf(stderr, "port selection under the parameter lock is still blocked after 30 s\n");
    std::_Exit(1);
  }
  recall.join();
  // Delivery goes on afterwards from the port last chosen.
  const int before = plugin.received.load();
  EXPECT_TRUE(WaitUntil([&] { return plugin.received.load() > before; }));
  flooding = false;
  flood.join();
  EXPECT_EQ(backend->ConcurrentClientUses(), 0);
}
