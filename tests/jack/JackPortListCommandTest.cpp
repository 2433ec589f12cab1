// `vsthost --midi-ports` lists the ports a plug-in of this build would list, through the same back end:
// a port of a stand-in synthesizer on the JACK server shows as an input (its MIDI out) and an output (its
// MIDI in), in the form the plug-in selects by. Run under scripts/with-jack; without a server the test
// skips, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/MidiBackend.h"
#include "tools/vsthost/CommandLine.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace
{
// Restores VELK_MIDI_BACKEND when the test ends.
class BackendChoice
{
public:
  explicit BackendChoice(const char* value)
  {
    if (const char* old = std::getenv("VELK_MIDI_BACKEND")) saved_ = old, had_ = true;
    setenv("VELK_MIDI_BACKEND", value, 1);
  }
  ~BackendChoice()
  {
    if (had_)
      setenv("VELK_MIDI_BACKEND", saved_.c_str(), 1);
    else
      unsetenv("VELK_MIDI_BACKEND");
  }

private:
  std::string saved_;
  bool had_ = false;
};

bool Listed(const std::string& out, const std::string& kind, const std::string& client)
{
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(kind + ": ", 0) == 0 && line.find(client) != std::string::npos) return true;
  return false;
}

TEST(JackPortListCommand, ListsTheStandInsPortsAsThePluginNamesThem)
{
  const char* server = std::getenv("JACK_DEFAULT_SERVER");
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  const bool mustRun = required && std::string(required) == "1";
  if (!server && !mustRun)
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  const std::string client = "portlist-" + std::to_string(getpid());
  auto backend = CreateRtMidiBackend(RtMidiApiChoice::Jack);
  auto synthOut = backend->CreateOutput(client + "-out");
  auto synthIn = backend->CreateInput(client + "-in");
  const bool open = synthOut && synthIn && synthOut->OpenVirtualPort("midi-out") &&
                    synthIn->OpenVirtualPort("midi-in", [](const uint8_t*, size_t) {});
  if (!open)
  {
    if (mustRun) FAIL() << "VELK_REQUIRE_JACK=1 but no JACK server is reachable";
    GTEST_SKIP() << "JACK server not reachable";
  }

  BackendChoice jack("jack");
  std::string out, err;
  ASSERT_EQ(vsthost::RunCommandLine({"--midi-ports"}, out, err), 0) << err;
  // The stand-in's MIDI out is a port the plug-in listens to, its MIDI in one it sends to.
  EXPECT_TRUE(Listed(out, "input", client + "-out")) << out;
  EXPECT_TRUE(Listed(out, "output", client + "-in")) << out;
  EXPECT_FALSE(Listed(out, "input", client + "-in")) << out;

  // The command takes nothing else.
  out.clear();
  err.clear();
  EXPECT_EQ(vsthost::RunCommandLine({"--midi-ports", "extra"}, out, err), 2);
  EXPECT_NE(err.find("usage:"), std::string::npos) << err;
}
} // namespace
