#pragma once

// The transfer host double with a synthesizer behind the loopback port: every SysEx message the
// jobs send still reaches the loopback destination, and a request addressed to the synthesizer's
// device id is answered at once, through the worker's receive side, by whatever `reply` builds
// (nothing while it is empty: a silent synthesizer).

#include "link/DumpForms.h"
#include "link/SysExFrame.h"
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
    for (const Bytes& answer : reply(request))
      worker->ReceiveSysExMessage(answer.data(), answer.size(), true);
    return sent;
  }

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
};

// Runs one job to its end on the worker (the virtual clock moves on by every sleep).
inline bool RunJob(TransferWorker& worker, const LinkJob& job)
{
  return worker.Post(job) && WaitLaneIdle(worker, TransferWorker::kJobsLane);
}
