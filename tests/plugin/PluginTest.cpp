// The built plug-in, loaded with dlopen through the test host and driven through the VST 2
// interface only.
#include "framework/plugin/ParameterIds.h"
#include "platform/window/HostTopWindow.h"
#include "tests/support/TempFolder.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
class Plugin : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // No data folder of the developer's leaks into the test.
    dataDir = folder.Path();
    setenv("VELK_DATA_DIR", dataDir.string().c_str(), 1);
    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
  }
  void TearDown() override
  {
    host.Close();
    unsetenv("VELK_DATA_DIR");
  }
  AEffect* effect() { return host.Effect(); }

  // Places a double at a byte offset of a program chunk (values start after the header, the
  // state tag, its version and the parameter count).
  static std::vector<uint8_t> WithValue(std::vector<uint8_t> chunk, int parameter, double v)
  {
    std::memcpy(chunk.data() + 8 + 12 + 8 * parameter, &v, 8);
    return chunk;
  }

  vsthost::VstHost host;
  TempFolder folder{"plugin"};
  std::filesystem::path dataDir;
};

const std::vector<uint8_t> kHeader = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
constexpr int kNumParams = 5866;
} // namespace

TEST_F(Plugin, EffectRecord)
{
  const AEffect* e = effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsHasReplacing | effFlagsProgramChunks | effFlagsIsSynth |
                          effFlagsCanDoubleReplacing);
  EXPECT_EQ(e->numPrograms, 1);
  EXPECT_EQ(e->numParams, 0);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->initialDelay, 128);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->uniqueID, 0x7771747A); // "wqtz"
  EXPECT_EQ(e->version, 10104);
  EXPECT_NE(e->object, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_NE(e->process, nullptr);
}

TEST_F(Plugin, DispatcherAnswers)
{
  ASSERT_TRUE(host.Open(48000.0, 512));
  EXPECT_EQ(host.EffectName(), "VELK Editor");
  EXPECT_EQ(host.VendorString(), "Brackenfold");
  EXPECT_EQ(host.ProductString(), "");
  EXPECT_EQ(host.VendorVersion(), 0x00010104);
  EXPECT_EQ(host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(host.Dispatch(effGetPlugCategory), kPlugCategSynth);
  EXPECT_EQ(host.Dispatch(effIdentify), kEffectIdentify);
  EXPECT_EQ(host.Dispatch(effGetProgram), 0);
  EXPECT_EQ(host.Dispatch(effCanBeAutomated, 12), 1);
  EXPECT_EQ(host.Dispatch(effProcessVarIo), 0);
  EXPECT_EQ(host.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.f), 0);
  EXPECT_EQ(host.Dispatch(effSetBlockSize, 0, 128), 0);
  EXPECT_EQ(host.Dispatch(effMainsChanged, 0, 0), 0);
  EXPECT_EQ(host.Dispatch(effMainsChanged, 0, 1), 0);
  for (int32_t opcode : std::vector<int32_t>{effIdle, effEditIdle, effGetTailSize, 70, 77, 500})
    EXPECT_EQ(host.Dispatch(opcode), 0) << opcode;

  // No parameter is offered to the host: the per-parameter opcodes leave the text alone.
  char text[128];
  for (int32_t opcode : std::vector<int32_t>{effGetParamName, effGetParamLabel, effGetParamDisplay})
  {
    std::memset(text, 'x', sizeof(text));
    EXPECT_EQ(host.Dispatch(opcode, 0, 0, text), 0);
    EXPECT_EQ(text[0], 'x') << opcode;
  }
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, text, 0.5f), 0xBEEF);
  EXPECT_EQ(text[0], 'x');
  EXPECT_EQ(host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effVendorSpecific, 3, 0, text), 0);
  EXPECT_EQ(host.Dispatch(effString2Parameter, 0, 0, const_cast<char*>("1")), 0);
  EXPECT_EQ(host.GetParameter(0), 0.f);
  host.SetParameter(0, 1.f); // ignored

  // One program, with an empty name.
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(host.Dispatch(effGetProgramNameIndexed, 0, 0, text), 0);
  EXPECT_STREQ(text, "");
  std::memset(text, 'x', sizeof(text));
  EXPECT_EQ(host.Dispatch(effGetProgramName, 0, 0, text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(host.Dispatch(effSetProgram, 0, 3), 0);
  EXPECT_EQ(host.Dispatch(effSetProgramName, 0, 0, const_cast<char*>("Mine")), 0);
  EXPECT_EQ(host.Dispatch(effGetProgram), 0);

  // Missing pointers answer 0 and write nothing.
  for (int32_t opcode :
       std::vector<int32_t>{effGetEffectName, effGetVendorString, effGetProductString,
                            effGetProgramNameIndexed, effEditGetRect, effGetChunk, effSetChunk,
                            effProcessEvents, effCanDo, effGetInputProperties, effGetMidiKeyName})
    EXPECT_EQ(host.Dispatch(opcode, 0, 16, nullptr), 0) << opcode;
  EXPECT_EQ(host.Dispatch(effGetProgramName, 0, 0, nullptr), 0);

  MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "C4");
  EXPECT_EQ(host.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");

  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST_F(Plugin, CapabilityStrings)
{
  for (const char* yes :
       {"receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent"})
    EXPECT_EQ(host.CanDo(yes), 1) << yes;
  EXPECT_EQ(host.CanDo("hasHostExtensions"), intptr_t(0xBEEF0000));
  EXPECT_EQ(host.CanDo("hasHostViewAsConfig"), intptr_t(0xBEEF0000));
  for (const char* no : {"receiveVstMidiEvents", "ReceiveVstTimeInfo", "offline", "", "bypass"})
    EXPECT_EQ(host.CanDo(no), 0) << no;
}

TEST_F(Plugin, PinProperties)
{
  VstPinProperties pin{};
  ASSERT_EQ(host.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 1");
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  ASSERT_EQ(host.Dispatch(effGetInputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Input 2");
  EXPECT_EQ(pin.flags, kVstPinIsActive);
  ASSERT_EQ(host.Dispatch(effGetOutputProperties, 0, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 1");
  EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
  ASSERT_EQ(host.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_STREQ(pin.label, "Output 2");
  std::strcpy(pin.label, "unchanged");
  EXPECT_EQ(host.Dispatch(effGetOutputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(host.Dispatch(effGetInputProperties, -1, 0, &pin), 0);
  EXPECT_STREQ(pin.label, "unchanged");
}

TEST_F(Plugin, EditorRectangle)
{
  // The editor is built with the plug-in: 1500 by 757 pixels at the normal size.
  ASSERT_TRUE(effect()->flags & effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 757);
  EXPECT_EQ(rect->right, 1500);
  // Closing an editor whose window was never opened is harmless and answers 1.
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
}

TEST_F(Plugin, HostCallsOnOpenAndProcess)
{
  host.productString = "vsthost 1.0";
  ASSERT_TRUE(host.Open(44100.0, 256));
  EXPECT_EQ(host.CallCount(audioMasterGetProductString), 1);
  EXPECT_EQ(host.CallCount(audioMasterGetVendorVersion), 1);
  host.Dispatch(effOpen); // asked once per object
  EXPECT_EQ(host.CallCount(audioMasterGetProductString), 1);
  // Nothing is offered for automation, so the host hears of no parameter.
  EXPECT_EQ(host.CallCount(audioMasterAutomate), 0);
  EXPECT_EQ(host.CallCount(audioMasterBeginEdit), 0);
  EXPECT_EQ(host.CallCount(audioMasterEndEdit), 0);

  host.ClearRecords();
  ASSERT_TRUE(host.ProcessReplacing(256));
  ASSERT_TRUE(host.ProcessDouble(128));
  ASSERT_TRUE(host.ProcessAccumulating(64));
  EXPECT_EQ(host.CallCount(audioMasterGetTime), 3);
  EXPECT_EQ(host.LastTimeRequest(), 0x3E00);
  EXPECT_EQ(host.CallCount(audioMasterWantMidi), 3);
  EXPECT_TRUE(host.AutomationCalls().empty());
}

TEST_F(Plugin, ProcessDeliversSilence)
{
  ASSERT_TRUE(host.Open(44100.0, 4096));
  // The plug-in works in blocks of 256; the host's 4096 frames go through in slices.
  host.Dispatch(effSetBlockSize, 0, 256);
  auto fill = [&]
  {
    for (auto& ch : host.Inputs32())
      std::fill(ch.begin(), ch.end(), 0.75f);
    for (auto& ch : host.Outputs32())
      std::fill(ch.begin(), ch.end(), 0.5f);
    for (auto& ch : host.Inputs64())
      std::fill(ch.begin(), ch.end(), 0.75);
    for (auto& ch : host.Outputs64())
      std::fill(ch.begin(), ch.end(), 0.5);
  };
  fill();
  ASSERT_TRUE(host.ProcessReplacing(4096));
  ASSERT_EQ(host.Outputs32().size(), 2u);
  for (const auto& ch : host.Outputs32())
    for (float v : ch)
      ASSERT_EQ(v, 0.f);

  fill();
  ASSERT_TRUE(host.ProcessDouble(4096));
  ASSERT_EQ(host.Outputs64().size(), 2u);
  for (const auto& ch : host.Outputs64())
    for (double v : ch)
      ASSERT_EQ(v, 0.0);

  fill();
  ASSERT_TRUE(host.ProcessAccumulating(1000));
  for (const auto& ch : host.Outputs32())
    EXPECT_EQ(ch[999], 0.5f); // adds nothing

  // With one channel each way, still silence and nothing out of bounds.
  VstSpeakerArrangement one{}, many{};
  one.numChannels = 1;
  many.numChannels = 99;
  EXPECT_EQ(host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&one), &many), 1);
  fill();
  ASSERT_TRUE(host.ProcessDouble(4096));
  ASSERT_TRUE(host.ProcessReplacing(4096));
  for (const auto& ch : host.Outputs64())
    EXPECT_EQ(ch[4095], 0.0);
  for (const auto& ch : host.Outputs32())
    EXPECT_EQ(ch[4095], 0.f);
}

TEST_F(Plugin, SysExFromTheHostGoesBack)
{
  ASSERT_TRUE(host.Open());
  const std::vector<uint8_t> dump = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x11, 0x00, 0xF7};
  host.QueueMidi(0, 0x90, 60, 100);
  host.QueueSysEx(5, dump);
  EXPECT_EQ(host.SendQueuedEvents(), 1);
  const auto events = host.EventsFromPlugin();
  ASSERT_EQ(events.size(), 1u); // the note stays with the plug-in
  EXPECT_EQ(events[0].type, kVstSysExType);
  EXPECT_EQ(events[0].deltaFrames, 5);
  EXPECT_EQ(events[0].bytes, dump);
}

TEST_F(Plugin, ProgramAndBankChunks)
{
  ASSERT_TRUE(host.Open());
  const std::vector<uint8_t> program = host.GetChunk(false);
  ASSERT_GT(program.size(), 8u + 12 + 5866 * 8);
  EXPECT_EQ(std::vector<uint8_t>(program.begin(), program.begin() + 8), kHeader);
  const std::vector<uint8_t> bank = host.GetChunk(true);
  EXPECT_EQ(std::vector<uint8_t>(bank.begin(), bank.begin() + 8), kHeader);
  EXPECT_EQ(bank, program); // no preset slots: the same header and state

  // get, set, get
  ASSERT_TRUE(host.SetChunk(program, false));
  EXPECT_EQ(host.GetChunk(false), program);
  ASSERT_TRUE(host.SetChunk(bank, true));
  EXPECT_EQ(host.GetChunk(true), bank);

  // A changed state is taken; its values are clamped into the parameters' ranges (parameter 5865
  // is 0..1 in steps of 1) and put on their steps, as a control would put them.
  const std::vector<uint8_t> changed = WithValue(WithValue(program, 0, 1.0), 5865, 7.0);
  ASSERT_TRUE(host.SetChunk(changed, false));
  const std::vector<uint8_t> current = host.GetChunk(false);
  EXPECT_EQ(current, WithValue(changed, 5865, 1.0));

  // Faulty chunks are refused and change nothing.
  const std::vector<uint8_t> other = WithValue(changed, 0, 0.0);
  std::vector<std::vector<uint8_t>> faulty;
  for (size_t n : {size_t(1), size_t(7), size_t(8), size_t(20), size_t(30000), other.size() - 1})
    faulty.emplace_back(other.begin(), other.begin() + long(n));
  std::vector<uint8_t> foreign = {0x43, 0x63, 0x6E, 0x4B, 0, 0, 1, 0, 'F', 'x', 'C', 'k', 0, 0, 0, 1};
  foreign.resize(4096, 0x11);
  faulty.push_back(foreign);
  std::vector<uint8_t> foreignAfterHeader = other;
  foreignAfterHeader[8] ^= 0xFF; // another plug-in's state behind our header
  faulty.push_back(foreignAfterHeader);
  std::srand(11);
  for (int i = 0; i < 10; ++i)
  {
    std::vector<uint8_t> noise(size_t(1 + std::rand() % 60000));
    for (uint8_t& b : noise)
      b = uint8_t(std::rand());
    faulty.push_back(noise);
  }
  std::vector<uint8_t> noiseAfterHeader = kHeader;
  noiseAfterHeader.resize(other.size(), 0x5A);
  faulty.push_back(noiseAfterHeader);
  for (size_t i = 0; i < faulty.size(); ++i)
  {
    EXPECT_EQ(host.Dispatch(effSetChunk, 0, intptr_t(faulty[i].size()), faulty[i].data()), 0) << i;
    EXPECT_EQ(host.Dispatch(effSetChunk, 1, intptr_t(faulty[i].size()), faulty[i].data()), 0) << i;
    ASSERT_EQ(host.GetChunk(false), current) << "chunk " << i << " changed the state";
  }
  // A host may give back the plug-in's own block from effGetChunk.
  for (int32_t index : {0, 1})
  {
    void* own = nullptr;
    const intptr_t size = host.Dispatch(effGetChunk, index, 0, &own);
    ASSERT_GT(size, 0);
    EXPECT_EQ(host.Dispatch(effSetChunk, index, size, own), 1);
  }
  EXPECT_EQ(host.GetChunk(false), current);
  uint8_t byte = 0;
  EXPECT_EQ(host.Dispatch(effSetChunk, 1, 0, &byte), 0);
  EXPECT_EQ(host.Dispatch(effSetChunk, 1, -1, &byte), 0);
  EXPECT_EQ(host.GetChunk(false), current);
}

// The host's audio thread processes while its user-interface thread saves and recalls the state
// and idles the editor: every call meets the others under the parameter lock (run under
// ThreadSanitizer to see a race).
TEST_F(Plugin, AudioAndUserInterfaceThreadsTogether)
{
  ASSERT_TRUE(host.Open(44100.0, 256));
  const std::vector<uint8_t> state = WithValue(host.GetChunk(false), 7, 1.0);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::thread audio(
      [&]
      {
        while (!stop.load())
        {
          host.ProcessReplacing(256);
          host.ProcessDouble(256);
          blocks.fetch_add(1);
        }
      });
  int taken = 0;
  for (int i = 0; i < 200; ++i)
  {
    std::vector<uint8_t> copy = state;
    taken += int(host.Dispatch(effSetChunk, 1, intptr_t(copy.size()), copy.data()));
    void* data = nullptr;
    EXPECT_EQ(host.Dispatch(effGetChunk, 1, 0, &data), intptr_t(state.size()));
    host.Dispatch(effEditIdle);
  }
  while (blocks.load() < 10)
    std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_EQ(taken, 200);
  EXPECT_EQ(host.GetChunk(false), state);
}

// Through the VST 2 interface with the editor open (in a window of its own when there is a
// display): every value of every parameter's range, recalled, reads back exactly as it was saved.
// Each range is found as the plug-in clamps into it; every step is 1.
TEST_F(Plugin, RecallWithTheEditorOpenReadsBackEveryValueExactly)
{
  ASSERT_TRUE(host.Open());
  ERect rect{};
  ASSERT_TRUE(host.EditorGetRect(rect));
  std::unique_ptr<HostTopWindow> window = HostTopWindow::Create(rect.right, rect.bottom, "plugin test");
  const char* required = std::getenv("VELK_REQUIRE_DISPLAY");
  if (!window && required && std::string(required) == "1")
  {
    FAIL() << "no display, and VELK_REQUIRE_DISPLAY=1";
  }
  if (window)
  {
    ASSERT_EQ(host.EditorOpen(reinterpret_cast<void*>(window->Handle())), 1);
  }

  const std::vector<uint8_t> initial = host.GetChunk(false);
  ASSERT_GT(initial.size(), size_t(8 + 12 + 8 * kNumParams));
  auto value = [](const std::vector<uint8_t>& chunk, int parameter)
  {
    double v = 0;
    std::memcpy(&v, chunk.data() + 8 + 12 + 8 * parameter, 8);
    return v;
  };
  auto everyValue = [&](double v)
  {
    std::vector<uint8_t> chunk = initial;
    for (int i = 0; i < kNumParams; ++i)
      chunk = WithValue(std::move(chunk), i, v);
    return chunk;
  };
  ASSERT_TRUE(host.SetChunk(everyValue(-1e9), false));
  const std::vector<uint8_t> lowest = host.GetChunk(false);
  ASSERT_TRUE(host.SetChunk(everyValue(1e9), false));
  const std::vector<uint8_t> highest = host.GetChunk(false);
  int rounds = 0;
  for (int i = 0; i < kNumParams; ++i)
    rounds = std::max(rounds, int(value(highest, i) - value(lowest, i)) + 1);
  ASSERT_GE(rounds, 128);

  int drifted = 0;
  for (int k = 0; k < rounds; ++k)
  {
    std::vector<uint8_t> chunk = initial;
    for (int i = 0; i < kNumParams; ++i)
      chunk = WithValue(std::move(chunk), i, std::min(value(lowest, i) + k, value(highest, i)));
    // The two MIDI routes exclude each other: a recall keeps the first of them.
    if (value(chunk, kMIDIFilterToDAWBuffer) == 1)
      chunk = WithValue(std::move(chunk), kMIDIFilterDirectToHardware, 0);
    ASSERT_TRUE(host.SetChunk(chunk, k % 2 == 1)) << k;
    const std::vector<uint8_t> back = host.GetChunk(false);
    for (int i = 0; i < kNumParams; ++i)
      if (value(back, i) != value(chunk, i) && ++drifted <= 10)
        ADD_FAILURE() << "parameter " << i << ": " << std::setprecision(17) << value(chunk, i)
                      << " reads back as " << value(back, i);
    ASSERT_EQ(back, chunk) << k;
    if (k == 3)
    {
      EXPECT_EQ(value(back, kMultiPartVeloCurve), 3.0);
    }
    if (k == 42)
    {
      EXPECT_EQ(value(back, kOscillator1BendRange), 42.0);
    }
    if (k % 16 == 0) host.EditorIdle(); // a frame drawn now and then, as a host's timer does
  }
  EXPECT_EQ(drifted, 0);
  if (window) host.EditorClose();
}
