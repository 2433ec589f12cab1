#pragma once

// The transfer host double with a synthesizer behind the loopback port: every SysEx message the
// jobs send still reaches the loopback destination, and a request addressed to the synthesizer's
// device id is answered at once, through the worker's receive side, by whatever `reply` builds
// (nothing while it is empty: a silent synthesizer).

#include "link/dumps/DumpForms.h"
#include "link/dumps/SysExFrame.h"
#include "tests/transfer/TransferTestHost.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

class FakeSynth : public TransferTestHost
{
public:
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override
  {
    const bool sent = TransferTestHost::DeviceSendSysEx(bytes, length);
    if (!worker || !reply || length < 9 || bytes[0] != 0xF0) return sent;
    const Bytes request(bytes, bytes + length);
    if (request[kSysExDeviceIdOffset] != synthId) return sent;
    const std::vector<Bytes> answers = reply(request);
    if (cableBytesPerSecond > 0)
    {
      cable.Queue(answers, cableDelayMs, cableBytesPerSecond);
      return sent;
    }
    for (const Bytes& answer : answers)
      worker->ReceiveSysExMessage(answer.data(), answer.size(), true);
    return sent;
  }

  // With a cable pace, answers take time: each arrives, whole, once the reply delay and its bytes
  // at the pace (after those of the answers before it) have passed on the link's clock. They are
  // handed to the receive side by the sleeping job, at their time, from within its sleep.
  class Cable final : public Clock
  {
  public:
    explicit Cable(FakeSynth& owner) : mOwner(owner) {}
    int64_t NowNs() override { return mOwner.clock.NowNs(); }
    void EnterThread() override { mOwner.clock.EnterThread(); }
    void LeaveThread() override { mOwner.clock.LeaveThread(); }
    bool SleepMs(int64_t ms, std::stop_token stop = {}) override
    {
      const int64_t endMs = mOwner.clock.NowMs() + ms;
      for (;;)
      {
        Bytes next;
        int64_t dueMs = 0;
        {
          std::lock_guard<std::mutex> lock(mMutex);
          if (mQueue.empty() || mQueue.front().first > endMs) break;
          dueMs = mQueue.front().first;
          next = std::move(mQueue.front().second);
          mQueue.erase(mQueue.begin());
        }
        const int64_t wait = dueMs - mOwner.clock.NowMs();
        if (wait > 0 && !mOwner.clock.SleepMs(wait, stop)) return false;
        if (mOwner.worker) mOwner.worker->ReceiveSysExMessage(next.data(), next.size(), true);
      }
      return mOwner.clock.SleepMs(endMs - mOwner.clock.NowMs(), stop);
    }
    void Queue(const std::vector<Bytes>& answers, int64_t delayMs, int bytesPerSecond)
    {
      std::lock_guard<std::mutex> lock(mMutex);
      int64_t at = std::max(mOwner.clock.NowMs() + delayMs, mQueue.empty() ? 0 : mQueue.back().first);
      for (const Bytes& answer : answers)
      {
        at += int64_t(answer.size()) * 1000 / bytesPerSecond;
        mQueue.emplace_back(at, answer);
      }
    }

  private:
    FakeSynth& mOwner;
    std::mutex mMutex;
    std::vector<std::pair<int64_t, Bytes>> mQueue;
  };
  Clock& LinkClock() override { return cable; }

  // Short messages as they leave: recorded with the clock's time in nanoseconds, then offered to
  // `onShort` (on the sending thread).
  bool DeviceSendShort(const IMidiMessage& message) override
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      shortSends.emplace_back(message.status, clock.NowNs());
    }
    const bool sent = TransferTestHost::DeviceSendShort(message);
    if (onShort) onShort(message);
    return sent;
  }
  std::vector<std::pair<uint8_t, int64_t>> ShortSends()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return shortSends;
  }

  // The SysEx messages sent so far of one type.
  std::vector<Bytes> SentOfType(uint8_t type) const
  {
    std::vector<Bytes> out;
    for (const Bytes& m : Sent())
      if (m.size() > kSysExTypeOffset && m[0] == 0xF0 && m[kSysExTypeOffset] == type) out.push_back(m);
    return out;
  }

  std::string LastStatus()
  {
    const auto texts = StatusTexts();
    return texts.empty() ? std::string() : texts.back();
  }
  bool HasStatus(const std::string& text)
  {
    const auto texts = StatusTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }

  TransferWorker* worker = nullptr;
  std::function<void(const IMidiMessage&)> onShort;
  std::vector<std::pair<uint8_t, int64_t>> shortSends;
  int synthId = 15;
  std::function<std::vector<Bytes>(const Bytes&)> reply;
  int cableBytesPerSecond = 0; // 0: answers arrive at once
  int64_t cableDelayMs = 0;
  Cable cable{*this};
};

// Runs one job to its end on the worker (the virtual clock moves on by every sleep).
inline bool RunJob(TransferWorker& worker, const LinkJob& job)
{
  return worker.Post(job) && WaitLaneIdle(worker, TransferWorker::kJobsLane);
}
