// MIDI Start and Stop (kTransportStart, kTransportStop) and the MIDI timing clock (kMidiClock).
#include "link/transfer/MIDIMessageSender.h"

#include "config/ConfigReader.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/ParameterIds.h"
#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"

#include <charconv>

namespace
{
constexpr int64_t kNsPerMinute = 60'000'000'000;
constexpr int64_t kTicksPerBeat = 24;
} // namespace

void MIDIMessageSender::SendTransport(uint8_t status)
{
  if (!mState.sendStartStop) return;
  mHost.DeviceSendShort(IMidiMessage{.offset = 0, .status = status, .data1 = 0, .data2 = 0});
}

int MIDIMessageSender::ClockTempo()
{
  if (mHost.IntParam(kOverrideTempo) == 1) return int(mTransferHost.DumpPlug().HostTempo());
  ConfigReader* config = mHost.LinkConfig();
  if (!config) return 0;
  const std::vector<std::string> tempi = config->GetValueList("tempoValues");
  const int index = mHost.IntParam(kGlobalTempo);
  if (index < 0 || size_t(index) >= tempi.size()) return 0;
  int tempo = 0;
  const std::string& text = tempi[size_t(index)];
  std::from_chars(text.data(), text.data() + text.size(), tempo);
  return tempo;
}

bool MIDIMessageSender::SleepUntilNs(int64_t deadlineNs)
{
  if (Cancelled() || mJobStop.stop_requested()) return false;
  return mHost.LinkClock().SleepUntilNs(deadlineNs, mJobStop.get_token()) && !Cancelled();
}

void MIDIMessageSender::RunMidiClock()
{
  // A job that cannot run leaves the started mark set, so that the audio block does not post it
  // again at every block; the switch turned on again clears the mark and starts it anew.
  if (!mState.sendClock) return;
  // Below one beat per minute there is no tick interval: no clock rather than a wrong one.
  const int tempo = ClockTempo();
  if (tempo < 1) return;
  const int64_t interval = kNsPerMinute / (int64_t(tempo) * kTicksPerBeat);
  Clock& clock = mHost.LinkClock();
  const IMidiMessage tick{.offset = 0, .status = 0xF8, .data1 = 0, .data2 = 0};

  // Each tick has its own deadline on the steady clock, so late wake-ups do not add up. Every tick,
  // the first too, is sent only while the clock is still wanted: whatever the phase in which the
  // switch went off or the host suspended the plug-in, no tick follows the one under way.
  int64_t deadline = clock.NowNs();
  for (;;)
  {
    if (!mWorker.clockRun || !mState.sendClock || mWorker.hostSuspended) break;
    if (!mState.midiOutputReady)
    {
      mWorker.clockRun = 0;
      break;
    }
    mHost.DeviceSendShort(tick);
    deadline += interval;
    // After a stall the missed ticks are dropped, not sent in a burst.
    const int64_t now = clock.NowNs();
    if (deadline <= now) deadline = now + interval;
    if (!SleepUntilNs(deadline)) break;
  }
  // A clock that ran may run again: the next audio block starts it while it is wanted.
  mState.clockJobStarted = 0;
}
