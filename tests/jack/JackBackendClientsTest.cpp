// Under JACK the back end makes our own clients only. The MIDI library's JACK client opened, activated
// and closed a client of its own at once, to try the system, beside each of ours: outside the order in
// which ours are opened and closed, so that its close could cancel libjack's notification thread in the
// middle of its work. A client of the test's own counts, on the server's word, how often a client of a
// name came. Run under scripts/with-jack; without a server the test skips, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackClient.h"
#include "platform/midi/MidiBackend.h"

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
class Arrivals
{
public:
  static void Registered(const char* name, int registered, void* user)
  {
    const int previous = HoldJackCancel();
    auto* self = static_cast<Arrivals*>(user);
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (registered) ++self->arrivals_[name];
    }
    self->changed_.notify_all();
    ReleaseJackCancel(previous);
  }

  // The arrivals of `name` once it has come at least once (notices come in order: a client of the
  // library's that came before ours was counted by then); 0 when it never came.
  int Of(const std::string& name)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, 20s, [&] { return arrivals_[name] > 0; });
    return arrivals_[name];
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, int> arrivals_;
};

int Idle(jack_nframes_t, void*)
{
  return 0;
}
} // namespace

TEST(JackBackendClients, UnderJackTheBackEndMakesOnlyOurOwnClients)
{
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  if (!std::getenv("JACK_DEFAULT_SERVER") && !(required && std::string(required) == "1"))
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  const std::string unique = std::to_string(getpid());
  jack_client_t* watcher = OpenJackClient("velk-arrivals-" + unique, "arrivals test");
  ASSERT_NE(watcher, nullptr) << "no JACK server reachable";
  Arrivals arrivals;
  jack_set_client_registration_callback(watcher, &Arrivals::Registered, &arrivals);
  jack_set_process_callback(watcher, &Idle, nullptr);
  ASSERT_EQ(jack_activate(watcher), 0);

  const std::string outName = "velk-backend-out-" + unique, inName = "velk-backend-in-" + unique;
  {
    auto backend = CreateRtMidiBackend(RtMidiApiChoice::Jack);
    auto output = backend->CreateOutput(outName);
    auto input = backend->CreateInput(inName);
    ASSERT_TRUE(output && input);
    EXPECT_EQ(arrivals.Of(outName), 1) << "a JACK client came beside our output client";
    EXPECT_EQ(arrivals.Of(inName), 1) << "a JACK client came beside our input client";
  }
  jack_deactivate(watcher);
  CloseJackClient(watcher, false);
}
