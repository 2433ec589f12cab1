// MIDI Start, Stop and the timing clock on the virtual clock: tick deadlines, tempo limits, a
// stall, the output going away, and one plug-in's clock left alone by another's.
#include "tests/jobs/FakeSynth.h"

#include "config/ConfigReader.h"
#include "framework/plugin/ParameterIds.h"

#include <gtest/gtest.h>

namespace
{
const char* kTempi = R"(<?xml version="1.0"?>
<uiconfig><valueLists><list name="tempoValues"><value>0</value><value>1</value><value>120</value><value>x</value></list></valueLists></uiconfig>)";

struct ClockRig
{
  explicit ClockRig(int tempoIndex)
  {
    EXPECT_TRUE(config.ReadUiText(kTempi));
    host.config = &config;
    host.Set(kGlobalTempo, tempoIndex);
    host.sendClock = 1;
  }
  // Runs the clock job until `ticks` ticks have left (or, with stopAfter < 0, to its own end).
  std::vector<int64_t> Run(int stopAfter)
  {
    host.onShort = [this, stopAfter](const IMidiMessage& m)
    {
      if (m.status == 0xF8 && ++ticks == stopAfter) worker.clockRun = 0;
      if (onTick) onTick(ticks);
    };
    worker.clockRun = 1;
    EXPECT_TRUE(worker.Post(ClockJob()));
    EXPECT_TRUE(WaitLaneIdle(worker, TransferWorker::kClockLane));
    std::vector<int64_t> times;
    for (const auto& [status, ns] : host.ShortSends())
      if (status == 0xF8) times.push_back(ns);
    return times;
  }
  static LinkJob ClockJob()
  {
    LinkJob job;
    job.code = LinkJobCode::kMidiClock;
    return job;
  }

  ConfigReader config;
  FakeSynth host;
  TransferWorker worker{host, host};
  int ticks = 0;
  std::function<void(int)> onTick;
};

constexpr int64_t kInterval120 = 20'833'333; // ns per tick at 120 bpm
} // namespace

TEST(ClockJobs, TicksKeepTheirDeadlinesAt120AndAt1Bpm)
{
  {
    ClockRig r(2);
    const int64_t start = r.host.clock.NowNs();
    const auto times = r.Run(97);
    ASSERT_EQ(times.size(), 97u);
    for (size_t k = 0; k < times.size(); ++k)
    {
      // Never early, at most the virtual clock's millisecond late, and no drift over 96 ticks.
      const int64_t due = start + int64_t(k) * kInterval120;
      EXPECT_GE(times[k], due) << k;
      EXPECT_LT(times[k], due + 1'000'000) << k;
    }
  }
  {
    ClockRig r(1);
    const int64_t start = r.host.clock.NowNs();
    const auto times = r.Run(3);
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[1] - start, 2'500'000'000);
    EXPECT_EQ(times[2] - start, 5'000'000'000);
  }
}

TEST(ClockJobs, NoClockWithoutATempoOrTheSwitchAndNoBurstAfterAStall)
{
  for (int index : {0, 3, 9})
  {
    ClockRig r(index);
    EXPECT_TRUE(r.Run(-1).empty()) << index;
  }
  {
    ClockRig r(2);
    r.host.sendClock = 0;
    EXPECT_TRUE(r.Run(-1).empty());
  }
  {
    ClockRig r(2);
    // The sending thread stalls for 100 ms after the fifth tick.
    r.onTick = [&](int ticks)
    {
      if (ticks == 5) r.host.clock.SleepMs(100);
    };
    const auto times = r.Run(10);
    ASSERT_EQ(times.size(), 10u);
    for (size_t k = 1; k < times.size(); ++k)
      EXPECT_GE(times[k] - times[k - 1], kInterval120 - 1'000'000) << k;
  }
}

TEST(ClockJobs, TheClockEndsWhenTheOutputGoesAndOnePluginLeavesAnothersClockAlone)
{
  {
    ClockRig r(2);
    r.onTick = [&](int ticks)
    {
      if (ticks == 4) r.host.midiOutputReady = 0;
    };
    const auto times = r.Run(-1);
    EXPECT_EQ(times.size(), 4u);
    EXPECT_EQ(r.worker.clockRun.load(), 0);
  }
  {
    ClockRig a(2), b(2);
    std::atomic<bool> stopB{false};
    b.host.onShort = [&](const IMidiMessage&)
    {
      ++b.ticks;
      if (stopB) b.worker.clockRun = 0;
    };
    b.worker.clockRun = 1;
    ASSERT_TRUE(b.worker.Post(ClockRig::ClockJob()));
    // A's clock stops after its fifth tick; B's keeps running until it is stopped itself.
    EXPECT_EQ(a.Run(5).size(), 5u);
    EXPECT_FALSE(b.worker.LaneIdle(TransferWorker::kClockLane));
    EXPECT_EQ(b.worker.clockRun.load(), 1);
    stopB = true;
    ASSERT_TRUE(WaitLaneIdle(b.worker, TransferWorker::kClockLane));
    EXPECT_GT(b.ticks, 0);
  }
}

TEST(ClockJobs, StartAndStopFollowTheirSwitch)
{
  FakeSynth host;
  TransferWorker worker(host, host);
  LinkJob job;
  for (LinkJobCode code : {LinkJobCode::kTransportStart, LinkJobCode::kTransportStop})
  {
    job.code = code;
    ASSERT_TRUE(worker.Post(job));
    ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kTransportLane));
  }
  EXPECT_TRUE(host.Sent().empty());
  host.sendStartStop = 1;
  for (LinkJobCode code : {LinkJobCode::kTransportStart, LinkJobCode::kTransportStop})
  {
    job.code = code;
    ASSERT_TRUE(worker.Post(job));
    ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kTransportLane));
  }
  EXPECT_EQ(host.Sent(), (std::vector<Bytes>{{0xFA}, {0xFC}}));
}
