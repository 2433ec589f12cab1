// Real-time bytes may stand anywhere in what the JACK input receives, inside a piece of a SysEx
// message too: they are taken out where they stand, and the rest of the piece stays in the message.
// Run under scripts/with-jack; without a server the test skips, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace
{
const Bytes kProbe{0xF6};

std::string UniqueName(const char* role)
{
  static std::atomic<int> next{0};
  return std::string("velk-rt-") + role + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

class Received
{
public:
  void Add(const uint8_t* bytes, size_t size)
  {
    Bytes message(bytes, bytes + size);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (message == kProbe)
        ++probes_;
      else
        messages_.push_back(std::move(message));
    }
    changed_.notify_all();
  }
  bool WaitForProbe()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, 100ms, [&] { return probes_ > 0; });
  }
  std::vector<Bytes> WaitFor(size_t count)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, 10s, [&] { return messages_.size() >= count; });
    return messages_;
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Bytes> messages_;
  int probes_ = 0;
};

int IndexOf(MidiPortLister& lister, const std::string& wanted)
{
  for (unsigned port = 0; port < lister.PortCount(); ++port)
  {
    std::string name;
    if (lister.PortName(port, name) && name == wanted) return int(port);
  }
  return -1;
}
} // namespace

TEST(JackInputRealTime, RealTimeBytesInsideASysExPieceLeaveTheRestOfThePiece)
{
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  if (!std::getenv("JACK_DEFAULT_SERVER") && !(required && std::string(required) == "1"))
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  const std::string deviceName = UniqueName("device");
  auto device = CreateJackMidiOutput(deviceName);
  auto input = CreateJackMidiInput(UniqueName("in"));
  ASSERT_TRUE(device && input) << "no JACK server reachable";
  ASSERT_TRUE(device->OpenVirtualPort("out"));
  const int from = IndexOf(*input, deviceName + ":out");
  ASSERT_GE(from, 0);
  Received received;
  ASSERT_TRUE(input->OpenPort(unsigned(from), "in",
                              [&](const uint8_t* bytes, size_t size) { received.Add(bytes, size); }));
  bool connected = false;
  for (int i = 0; i < 100 && !connected; ++i)
  {
    ASSERT_TRUE(device->Send(kProbe.data(), kProbe.size()));
    connected = received.WaitForProbe();
  }
  ASSERT_TRUE(connected) << "nothing crossed the connection";

  // Each piece is one JACK event, as a bridge from ALSA sends them.
  const std::vector<Bytes> pieces{{0xF0, 0x01, 0x02},
                                  {0xF8, 0x03, 0x04},
                                  {0x05, 0xF7}, // a clock, left out
                                  {0xF0, 0x11},
                                  {0x12, 0xFA, 0x13},
                                  {0xF7},                    // a Start, passed on
                                  {0x90, 0xFE, 0x40, 0x7F}}; // active sensing
  for (const Bytes& piece : pieces)
    ASSERT_TRUE(device->Send(piece.data(), piece.size()));

  const std::vector<Bytes> messages = received.WaitFor(4);
  const std::vector<Bytes> expected{
      {0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF7}, {0xFA}, {0xF0, 0x11, 0x12, 0x13, 0xF7}, {0x90, 0x40, 0x7F}};
  EXPECT_EQ(messages, expected);
  input->ClosePort();
  device->ClosePort();
}
