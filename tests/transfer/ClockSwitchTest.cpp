// The plug-in's MIDI clock on a virtual clock, driven as a host drives it: audio blocks, the clock
// switch through the change handler, the output going and coming back, the host suspending the
// plug-in. Off stops the clock before its next tick, whatever the tick's phase; the clock comes
// back whenever it is on, the output is open and the host processes blocks.
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/transfer/TransferWorker.h"
#include "platform/clock/VirtualClock.h"
#include "platform/vst2/VstTypes.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
constexpr int64_t kInterval120 = 20'833'333; // ns per tick at 120 bpm, the document's default tempo
constexpr int kBlockMs = 1;

// The plug-in with the link's time on a virtual clock and the ticks it sends recorded with that time.
class ClockedPlug : public VELK
{
public:
  ClockedPlug() : VELK(nullptr)
  {
    clock.SetAutoAdvance(false);
    ParameterAt(kSendMIDIClockInfo)->SetupEnumerated("", 0, 2, "");
  }
  // The worker's threads sleep on this object's clock: they end before it goes.
  ~ClockedPlug() override { Worker()->Shutdown(); }

  Clock& LinkClock() override { return clock; }
  bool DeviceSendShort(const IMidiMessage& message) override
  {
    if (message.status == 0xF8)
    {
      std::lock_guard<std::mutex> lock(mutex);
      ticks.push_back(clock.NowNs());
    }
    return true;
  }

  void Switch(bool on)
  {
    ParameterAt(kSendMIDIClockInfo)->SetClamped(on ? 1.0 : 0.0);
    HandleParameterChange(kSendMIDIClockInfo);
  }
  void Activate(bool on) { Dispatch(effMainsChanged, 0, on ? 1 : 0, nullptr, 0.0f); }

  // Waits until the clock job sleeps or has ended: what it does before that happens at the
  // clock's present time.
  bool Settle()
  {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Worker()->LaneIdle(TransferWorker::kClockLane) && clock.Sleepers() == 0)
    {
      if (std::chrono::steady_clock::now() > bound) return false;
      std::this_thread::yield();
    }
    return true;
  }
  // The host processes a block every kBlockMs for ms.
  void Play(int ms)
  {
    for (int t = 0; t < ms; t += kBlockMs)
    {
      ProcessBlockDouble(nullptr, nullptr, 64);
      ASSERT_TRUE(Settle());
      ASSERT_TRUE(clock.Advance(kBlockMs));
    }
  }
  // Time passes without a block.
  void Wait(int ms)
  {
    ASSERT_TRUE(Settle());
    ASSERT_TRUE(clock.Advance(ms));
  }
  std::vector<int64_t> Ticks()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return ticks;
  }
  size_t TickCount() { return Ticks().size(); }
  // The clock runs again: ticks from `from` on, a tick interval apart (give or take the
  // millisecond the virtual clock wakes at).
  void ExpectResumedAfter(size_t from)
  {
    const std::vector<int64_t> t = Ticks();
    ASSERT_GE(t.size(), from + 4) << "the clock did not come back";
    for (size_t k = from + 1; k < t.size(); ++k)
    {
      EXPECT_GE(t[k] - t[k - 1], kInterval120 - 1'000'000) << k;
      EXPECT_LE(t[k] - t[k - 1], kInterval120 + 1'000'000) << k;
    }
  }

  VirtualClock clock;
  std::mutex mutex;
  std::vector<int64_t> ticks;
};
} // namespace

TEST(ClockSwitch, OffStopsTheClockAtAnyPhaseOfItsTickAndOnBringsItBack)
{
  TempDataFolder folder;
  ClockedPlug plug;
  plug.midiOutputReady = 1;
  plug.Switch(true);
  plug.Play(100);
  ASSERT_GE(plug.TickCount(), 4u);

  // Off at points spread over one tick interval: no tick after it, and the clock thread is idle.
  for (int phase = 0; phase < 21; phase += 3)
  {
    SCOPED_TRACE(phase);
    plug.Play(phase);
    plug.Switch(false);
    const size_t atOff = plug.TickCount();
    plug.Play(900);
    EXPECT_EQ(plug.TickCount(), atOff);
    EXPECT_TRUE(plug.Worker()->LaneIdle(TransferWorker::kClockLane));

    plug.Switch(true);
    plug.Play(120);
    plug.ExpectResumedAfter(atOff);
  }

  // Off and on again within one tick: the clock goes on.
  plug.Play(7);
  plug.Switch(false);
  plug.Switch(true);
  const size_t atToggle = plug.TickCount();
  plug.Play(120);
  plug.ExpectResumedAfter(atToggle);
}

TEST(ClockSwitch, TheClockComesBackWithTheOutputAndTheHost)
{
  TempDataFolder folder;
  ClockedPlug plug;
  plug.midiOutputReady = 1;
  plug.Switch(true);

  // Without blocks there is no clock, whatever the switch and the output do.
  plug.Wait(1000);
  plug.Switch(false);
  plug.Switch(true);
  plug.Wait(1000);
  EXPECT_EQ(plug.TickCount(), 0u);
  plug.Play(120);
  plug.ExpectResumedAfter(0);

  // The output goes: no tick after it, and none while blocks go on without it; back, it resumes.
  plug.midiOutputReady = 0;
  const size_t atGone = plug.TickCount();
  plug.Play(900);
  EXPECT_EQ(plug.TickCount(), atGone);
  plug.midiOutputReady = 1;
  plug.Play(120);
  plug.ExpectResumedAfter(atGone);

  // The host suspends the plug-in and stops processing: no tick after it, nor while the switch
  // and the output change meanwhile. Its first block after resuming brings the clock back.
  plug.Play(11);
  plug.Activate(false);
  const size_t atSuspend = plug.TickCount();
  plug.Wait(900);
  plug.Switch(false);
  plug.Switch(true);
  plug.midiOutputReady = 0;
  plug.Wait(100);
  plug.midiOutputReady = 1;
  plug.Wait(900);
  EXPECT_EQ(plug.TickCount(), atSuspend);
  plug.Activate(true);
  plug.Play(120);
  plug.ExpectResumedAfter(atSuspend);
}
