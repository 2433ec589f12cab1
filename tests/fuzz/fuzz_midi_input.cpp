// libFuzzer target for what arrives over the MIDI cable: arbitrary bytes cut into messages pass
// through an input port (library thread, queue, delivery thread) into a sink, which must see each
// message whole and in order; the same bytes go through the SysEx unpackers and name readers.
#include "framework/plugin/IMidiPorts.h"
#include "link/dumps/SysExCodec.h"
#include "link/dumps/SysExFrame.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

class CheckingSink : public IMidiInputSink
{
public:
  void HandleMidiMessage(const IMidiMessage& message, bool fromDevice) override
  {
    const Bytes bytes{message.status, message.data1, message.data2};
    Take(bytes.data(), 3, fromDevice, false);
  }
  void HandleSysExMessage(const ISysExMessage& message, bool fromDevice) override
  {
    if (message.size <= 0 || !message.bytes) std::abort();
    Take(message.bytes, size_t(message.size), fromDevice, true);
  }

  void Expect(std::vector<Bytes> messages)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    expected_ = std::move(messages);
    next_ = 0;
  }
  bool WaitForAll()
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::seconds(10), [&] { return next_ == expected_.size(); });
  }

private:
  void Take(const uint8_t* bytes, size_t size, bool fromDevice, bool sysex)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fromDevice || next_ >= expected_.size()) std::abort();
    const Bytes& want = expected_[next_++];
    // One to three bytes (not starting F0) arrive as a short message padded with zeros; the rest whole.
    const bool shortForm = want.size() <= 3 && want[0] != 0xF0;
    if (sysex == shortForm) std::abort();
    for (size_t i = 0; i < size; ++i)
      if (bytes[i] != (i < want.size() ? want[i] : 0)) std::abort();
    if (sysex && size != want.size()) std::abort();
    done_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable done_;
  std::vector<Bytes> expected_;
  size_t next_ = 0;
};

struct Rig
{
  Rig() : backend(std::make_shared<LoopbackMidiBackend>()), ports(backend)
  {
    backend->AddSourcePort("Cable");
    ports.SetSink(&sink);
    ports.ListMidiInputPorts();
    int index = 1;
    if (ports.SelectMidiInputPort(index, "Cable") != 1) std::abort();
  }
  std::shared_ptr<LoopbackMidiBackend> backend;
  CheckingSink sink;
  IMidiPorts ports;
};

// Each message: one length byte (0 - 255, 0 meaning one byte), then that many bytes of the input.
std::vector<Bytes> CutIntoMessages(const uint8_t* data, size_t size)
{
  std::vector<Bytes> messages;
  size_t at = 0;
  while (at < size)
  {
    const size_t length = std::max<size_t>(1, data[at++]);
    if (at >= size) break;
    const size_t take = std::min(length, size - at);
    messages.emplace_back(data + at, data + at + take);
    at += take;
  }
  return messages;
}

// Whether the input delivers the message as it came: a channel message of up to three bytes, one
// real-time byte, or a SysEx of data bytes between F0 and F7. Others are reassembled or refused by
// the SysEx assembler, whose own tests cover them.
bool DeliveredAsItCame(const Bytes& m)
{
  if (m.empty()) return false;
  const auto data = [&](size_t from, size_t to)
  {
    for (size_t i = from; i < to; ++i)
      if (m[i] >= 0x80) return false;
    return true;
  };
  if (m[0] >= 0x80 && m[0] < 0xF0) return m.size() <= 3 && data(1, m.size());
  if (m[0] >= 0xF8) return m.size() == 1;
  if (m[0] == 0xF0) return m.size() >= 2 && m.back() == 0xF7 && data(1, m.size() - 1);
  return false;
}

void ReadLikeAParser(const uint8_t* data, size_t size)
{
  std::vector<uint32_t> flags;
  for (size_t i = 0; i < size; ++i)
  {
    UnpackFlags(data[i], flags);
    if (flags.size() != 7) std::abort();
    UnpackFlagsWithLowPair(data[i], flags);
    if (flags.size() != 6 || flags[5] > 3) std::abort();
    UnpackFlagsWithPairs(data[i], flags);
    if (flags.size() != 5 || flags[0] > 3 || flags[4] > 3) std::abort();
    if (DecodeSustainCode(data[i]) > 13) std::abort();
  }
  // Name fields at the positions the dump parsers read, and at positions taken from the input.
  std::string name;
  AppendNameChars(data, size, 9, 25, name);
  AppendNameChars(data, size, 8, 24, name);
  if (size >= 2) AppendNameChars(data, size, int8_t(data[0]), int8_t(data[1]) * 4, name);
  if (name.size() > size * 3) std::abort();
  uint8_t field[16];
  WriteNameChars(name, field, sizeof field);
  for (uint8_t c : field)
    if (c > 0x7F) std::abort();
  const Bytes inner = WithoutSysExFraming(Bytes(data, data + size));
  if (inner.size() > size) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static Rig* rig = new Rig; // one input port for the whole run; never torn down mid-delivery

  std::vector<Bytes> messages = CutIntoMessages(data, size);
  std::erase_if(messages, [](const Bytes& m) { return !DeliveredAsItCame(m); });
  rig->sink.Expect(messages);
  for (const Bytes& message : messages)
    if (!rig->backend->Inject("Cable", message)) std::abort();
  if (!rig->sink.WaitForAll() || rig->ports.DroppedInputMessages() != 0) std::abort();

  // The delivery step on its own, for the empty and null edges the port never produces.
  rig->sink.Expect({});
  rig->ports.ForwardMidiInput(data, 0);
  rig->ports.ForwardMidiInput(nullptr, size);

  ReadLikeAParser(data, size);
  return 0;
}
