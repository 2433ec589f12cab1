#pragma once

// A stand-in for the main plug-in object in link tests: a plain parameter table, recorded texts
// and job posts, a virtual clock, and a real IMidiPorts on the loopback back end whose
// destination port records every byte that leaves.

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IMidiPorts.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "platform/clock/VirtualClock.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class LinkHostDouble : public LinkHost, public LinkState
{
public:
  static constexpr const char* kSynth = "Synth";

  LinkHostDouble() : backend(std::make_shared<LoopbackMidiBackend>()), ports(backend)
  {
    backend->AddDestinationPort(kSynth);
    int index = 1;
    const bool opened = ports.SelectMidiOutputPort(index, kSynth) == 1;
    EXPECT_TRUE(opened);
    values.assign(IEffectBase::kNumParameters, 0.0);
    minimums.assign(IEffectBase::kNumParameters, 0.0);
    clock.SetAutoAdvance(true);
    editorReady = 1;
    midiOutputReady = 1;
  }

  LinkState& State() override { return *this; }
  double ParamValue(int index) override { return Valid(index) ? values[size_t(index)] : 0.0; }
  double ParamNormalised(int index) override { return ParamValue(index) / 127.0; }
  double ParamMinimum(int index) override { return Valid(index) ? minimums[size_t(index)] : 0.0; }
  void SetParamInEditor(int index, double value) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (Valid(index)) values[size_t(index)] = value;
    editorSets.emplace_back(index, value);
  }
  bool EditorOpen() override { return editorOpen; }
  void SetStatusText(const std::string& text) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    statusTexts.push_back(text);
  }
  void SetMidiDisplayText(const std::string& text) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    midiTexts.push_back(text);
  }
  void ShowLayer(const std::string& name) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    shownLayers.push_back(name);
  }
  PatchLibrarian* Librarian() override { return librarian; }
  void SetLoadedSlot(int slot) override { loadedSlot = slot; }
  bool DeviceSendShort(const IMidiMessage& message) override
  {
    Stamp();
    return ports.SendMidiToDevice(message) == MidiSendStatus::kSent;
  }
  bool DeviceSendSysEx(const uint8_t* bytes, int length) override
  {
    Stamp();
    return ports.SendSysExToDevice(bytes, length) == MidiSendStatus::kSent;
  }
  ConfigReader* LinkConfig() override { return config; }
  void RunChangeHandler(int index) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    changeHandlers.push_back(index);
  }
  void RunSecondaryChangeHandler(int index) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    secondaryHandlers.push_back(index);
  }
  int LibrarianViewSide() override { return viewSide; }
  void StoreReceivedProgram(int program) override { storedPrograms.push_back(program); }
  bool EditBufferReceiveOn() override { return editBufferReceive != 0; }
  void PrepareEditBufferReceive() override
  {
    ++disarms;
    replyComplete = 0;
    editBufferReceive = 1;
  }
  void CancelEditBufferReceive() override { editBufferReceive = 0; }
  void ProgramChangeReceived(bool consumedByLibrarian) override
  {
    lastProgramChangeMs = clock.NowMs();
    if (consumedByLibrarian) messageConsumed = 1;
  }
  bool JobsThreadIdle() override { return jobsIdle; }
  bool PostJob(const LinkJob& job) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!acceptPosts) return false;
    posted.push_back(job);
    return true;
  }
  Clock& LinkClock() override { return clock; }
  std::stop_token LinkStop() override { return stop.get_token(); }

  void Set(int index, double value) { values[size_t(index)] = value; }
  Bytes::size_type SentCount() const { return backend->Received(kSynth).size(); }
  std::vector<Bytes> Sent() const { return backend->Received(kSynth); }
  void ClearSent()
  {
    backend->ClearReceived(kSynth);
    std::lock_guard<std::mutex> lock(mutex);
    sendTimes.clear();
  }
  std::vector<int64_t> SendTimes()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return sendTimes;
  }

  std::shared_ptr<LoopbackMidiBackend> backend;
  IMidiPorts ports;
  VirtualClock clock;
  std::stop_source stop;
  std::vector<double> values, minimums;
  bool editorOpen = true;
  bool jobsIdle = true;
  bool acceptPosts = true;
  PatchLibrarian* librarian = nullptr;
  int loadedSlot = -1;
  ConfigReader* config = nullptr;
  int viewSide = 0;
  int disarms = 0;
  // The worker's reception bytes as the incoming side sets them.
  std::atomic<uint8_t> editBufferReceive{0}, replyComplete{0}, messageConsumed{0};
  int64_t lastProgramChangeMs = -1;
  std::vector<int> changeHandlers, secondaryHandlers, storedPrograms;

  std::mutex mutex;
  std::vector<std::pair<int, double>> editorSets;
  std::vector<std::string> statusTexts, midiTexts, shownLayers;
  std::vector<LinkJob> posted;
  std::vector<int64_t> sendTimes; // virtual milliseconds of each device send

private:
  static bool Valid(int index) { return index >= 0 && index < IEffectBase::kNumParameters; }
  void Stamp()
  {
    std::lock_guard<std::mutex> lock(mutex);
    sendTimes.push_back(clock.NowMs());
  }
};

// No data byte at or above 0x80 in any message: only a status byte, and SysEx's F0 and F7 at
// its ends, may have the top bit.
inline void ExpectSevenBitData(const std::vector<Bytes>& messages)
{
  for (const Bytes& m : messages)
  {
    ASSERT_FALSE(m.empty());
    EXPECT_GE(m.front(), 0x80);
    const bool sysex = m.front() == 0xF0;
    if (sysex)
    {
      EXPECT_EQ(m.back(), 0xF7);
    }
    const size_t end = sysex ? m.size() - 1 : m.size();
    for (size_t i = 1; i < end; ++i)
      EXPECT_LT(m[i], 0x80) << "byte " << i << " of a message of " << m.size();
  }
}
