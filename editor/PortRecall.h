#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Selects the MIDI ports a recalled project names, away from the thread that recalls it. The
// recall runs under the parameter lock, and selecting a port may wait for the MIDI input thread,
// which may itself be waiting for that lock: so the recall only leaves the names here, and a
// thread of this object (started by the first request) selects them. A newer request replaces
// one not yet carried out; an empty name in it keeps the pending one for that direction.
// The same thread answers the MIDI server going away (it drops the lost clients there, before a
// selection that follows).
class PortRecall
{
public:
  using Select = std::function<void(const std::string& input, const std::string& output)>;
  using ServerGone = std::function<void()>;

  explicit PortRecall(Select select, ServerGone serverGone = nullptr);
  // Stops the thread: a selection under way finishes, a pending one is dropped.
  ~PortRecall();

  PortRecall(const PortRecall&) = delete;
  PortRecall& operator=(const PortRecall&) = delete;

  // Never waits for a selection. False after Stop.
  bool Request(const std::string& input, const std::string& output);
  // From the MIDI library's thread: only wakes ours, which calls the server-gone handler.
  bool NoteServerGone();
  // Waits until no request is pending or under way (tests); false when the time ran out.
  bool WaitIdle(int milliseconds);
  void Stop();

private:
  void Run();
  bool Wake(); // with mMutex held: the thread started and woken

  Select mSelect;
  ServerGone mServerGone;
  std::mutex mMutex;
  std::condition_variable mWake;
  std::condition_variable mIdle;
  bool mPending = false;
  bool mServerGonePending = false;
  bool mBusy = false;
  bool mStopping = false;
  std::string mInput, mOutput;
  std::thread mThread;
};
