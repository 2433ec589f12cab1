// The velk-simsynth command over a JACK server: its READY line names ports the plug-in's MIDI
// ports open by name, and a request crosses to it and its answer back. Run under scripts/with-jack;
// without a server the test skips, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/MidiBackend.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace
{
bool JackRequired()
{
  const char* value = std::getenv("VELK_REQUIRE_JACK");
  return value && std::string(value) == "1";
}

// SysEx messages arriving at the plug-in's side, from the delivery thread.
class Answers : public IMidiInputSink
{
public:
  void HandleMidiMessage(const IMidiMessage&, bool) override {}
  void HandleSysExMessage(const ISysExMessage& m, bool) override
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.emplace_back(m.bytes, m.bytes + m.size);
    }
    changed_.notify_all();
  }
  // Messages of the given type, once there are at least count of them or after the timeout.
  std::vector<SimBytes> WaitForType(uint8_t type, size_t count, std::chrono::milliseconds timeout)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    std::vector<SimBytes> found;
    changed_.wait_for(lock, timeout,
                      [&]
                      {
                        found.clear();
                        for (const SimBytes& m : messages_)
                          if (m.size() > 7 && m[7] == type) found.push_back(m);
                        return found.size() >= count;
                      });
    return found;
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<SimBytes> messages_;
};
} // namespace

TEST(SimSynthJack, ReadyLineNamesPortsThatAnswerRequests)
{
  if (!std::getenv("JACK_DEFAULT_SERVER") && !JackRequired())
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  const std::string client = "velk-simsynth-jt-" + std::to_string(getpid());
  SimSynthProcess sim;
  ASSERT_TRUE(sim.Start({"--client", client, "--device-id", "3", "--seed", "42", "--api", "jack"}));
  const std::string ready = sim.ReadLine();
  std::istringstream words(ready);
  std::string word, in, out;
  words >> word >> in >> out;
  ASSERT_EQ(word, "READY") << "first line: \"" << ready << "\"";
  EXPECT_EQ(in, client + "-in:in");
  EXPECT_EQ(out, client + "-out:out");

  Answers answers;
  IMidiPorts ports(CreateRtMidiBackend(RtMidiApiChoice::Jack));
  ports.SetSink(&answers);
  int index = 1;
  ASSERT_GT(ports.SelectMidiInputPort(index, out), 0);
  index = 1;
  ASSERT_GT(ports.SelectMidiOutputPort(index, in), 0);

  // A connection takes effect some cycles after it is made: ask for the device id until it answers.
  const SimBytes deviceIdRequest{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x03, 0x10, 0xF7};
  std::vector<SimBytes> globals;
  for (int i = 0; i < 50 && globals.empty(); ++i)
  {
    ASSERT_EQ(ports.SendBytesToDevice(deviceIdRequest.data(), int(deviceIdRequest.size())),
              MidiSendStatus::kSent);
    globals = answers.WaitForType(0x0F, 1, 200ms);
  }
  ASSERT_FALSE(globals.empty()) << "no answer to the device-id request";
  const SimSynth same(3, 42);
  EXPECT_EQ(globals[0], same.Globals()[0]) << "the command's data comes from its seed";
  const auto second = answers.WaitForType(0x15, 1, 5s);
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second[0], same.Globals()[1]);

  // A memory request answered with exactly what the BANK line lists for that slot.
  const SimBytes memoryRequest{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x03, 0x13, 0x07, 0x21, 0xF7};
  ASSERT_EQ(ports.SendBytesToDevice(memoryRequest.data(), int(memoryRequest.size())), MidiSendStatus::kSent);
  const auto programA = answers.WaitForType(0x02, 1, 5s);
  const auto programB = answers.WaitForType(0x1F, 1, 5s);
  ASSERT_EQ(programA.size(), 1u);
  ASSERT_EQ(programB.size(), 1u);
  sim.WriteLine("BANK 7");
  std::vector<std::string> listed;
  for (std::string line = sim.ReadLine(); !line.empty() && line != "END"; line = sim.ReadLine())
    if (line.rfind("SLOT 33 ", 0) == 0) listed.push_back(line.substr(8));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0], SimHex(programA[0]));
  EXPECT_EQ(listed[1], SimHex(programB[0]));

  // Silenced, it hears a request and answers nothing; answering again, the next request (handled
  // after it, in order) is answered. The log holds both requests and the answers it held back.
  sim.WriteLine("SILENT 1");
  ASSERT_EQ(sim.ReadLine(), "OK");
  const SimBytes silentRequest{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x03, 0x13, 0x01, 0x05, 0xF7};
  ASSERT_EQ(ports.SendBytesToDevice(silentRequest.data(), int(silentRequest.size())), MidiSendStatus::kSent);
  sim.WriteLine("LOG");
  bool heard = false;
  for (int i = 0; i < 100 && !heard; ++i)
  {
    for (std::string line = sim.ReadLine(); !line.empty() && line != "END"; line = sim.ReadLine())
      heard = heard || line == "IN F0 00 20 29 01 24 03 13 01 05 F7";
    if (!heard)
    {
      std::this_thread::sleep_for(50ms);
      sim.WriteLine("LOG");
    }
  }
  ASSERT_TRUE(heard);
  sim.WriteLine("SILENT 0");
  ASSERT_EQ(sim.ReadLine(), "OK");
  const SimBytes nextRequest{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x03, 0x13, 0x02, 0x06, 0xF7};
  ASSERT_EQ(ports.SendBytesToDevice(nextRequest.data(), int(nextRequest.size())), MidiSendStatus::kSent);
  const auto performances = answers.WaitForType(0x07, 1, 5s);
  ASSERT_EQ(performances.size(), 1u) << "only the second performance request is answered";
  EXPECT_EQ(performances[0][8], 2);
  EXPECT_EQ(performances[0][9], 6);
  sim.WriteLine("LOG");
  bool logged = false, held = false;
  for (std::string line = sim.ReadLine(); !line.empty() && line != "END"; line = sim.ReadLine())
  {
    logged = logged || line == "IN F0 00 20 29 01 24 03 13 07 21 F7";
    held = held || line == "NOTE silent: 3 answer(s) not sent";
  }
  EXPECT_TRUE(logged);
  EXPECT_TRUE(held);
  ports.Shutdown();
  sim.WriteLine("QUIT");
  EXPECT_EQ(sim.ReadLine(), "OK");
  EXPECT_EQ(sim.Finish(), 0);
}
