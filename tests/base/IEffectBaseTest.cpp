#include "tests/support/TestPlug.h"

#include "framework/plugin/ChunkHeader.h"
#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ISysExMessage.h"
#include "framework/plugin/IPresetSlot.h"
#include "framework/plugin/IStateChunk.h"
#include "tests/support/CommaLocale.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(IEffectBase, ChannelRecordsFromTwoInTwoOut)
{
  TestPlug plug;
  EXPECT_EQ(plug.NumInputChannels(), 2);
  EXPECT_EQ(plug.NumOutputChannels(), 2);
  ASSERT_EQ(plug.NumChannelIO(), 1);
  EXPECT_EQ(plug.ChannelIO(0)->inputs, 2);
  EXPECT_EQ(plug.ChannelIO(0)->outputs, 2);
  EXPECT_FALSE(plug.LegalIO());
  EXPECT_EQ(plug.Effect()->flags & effFlagsCanMono, 0);

  // The host fix only touches channels from the third on.
  plug.AdjustChannelsForHost();
  EXPECT_TRUE(plug.InputChannel(0)->connected);
  EXPECT_TRUE(plug.InputChannel(1)->connected);
  EXPECT_TRUE(plug.OutputChannel(1)->connected);

  TestPlug mono;
  mono.ParseChannelIO("1-2 2-x");
  EXPECT_TRUE(mono.LegalIO());
  EXPECT_EQ(mono.ChannelIO(2)->inputs, 2);
  EXPECT_EQ(mono.ChannelIO(2)->outputs, 0); // a number that cannot be read counts as 0
}

TEST(IEffectBase, SetBlockLengthZeroesOnlyOnChange)
{
  TestPlug plug;
  ASSERT_EQ(plug.BlockLength(), 1024);
  double* buffer = plug.OutputChannel(0)->Samples();
  buffer[10] = 0.5;
  plug.SetBlockLength(1024);
  EXPECT_EQ(plug.OutputChannel(0)->Samples()[10], 0.5);
  plug.SetBlockLength(2048);
  EXPECT_EQ(plug.BlockLength(), 2048);
  EXPECT_EQ(plug.OutputChannel(0)->samples.Size(), 2048 * 8);
  EXPECT_EQ(plug.OutputChannel(0)->Samples()[10], 0.0);
  plug.SetBlockLength(16); // shrinking is allowed
  EXPECT_EQ(plug.InputChannel(1)->samples.Size(), 16 * 8);
}

TEST(IEffectBase, BaseProcessCopiesInputsAndSilencesOutputsWithoutInput)
{
  TestPlug plug;
  double in0[4] = {1, 2, 3, 4}, in1[4] = {5, 6, 7, 8};
  double out0[4] = {9, 9, 9, 9}, out1[4] = {9, 9, 9, 9};
  double* ins[2] = {in0, in1};
  double* outs[2] = {out0, out1};
  plug.ProcessBlockDouble(ins, outs, 4);
  EXPECT_EQ(std::memcmp(out0, in0, sizeof(in0)), 0);
  EXPECT_EQ(std::memcmp(out1, in1, sizeof(in1)), 0);

  double* oneInput[2] = {in0, nullptr};
  out1[2] = 9;
  plug.ProcessBlockDouble(oneInput, outs, 4);
  EXPECT_EQ(out0[3], 4.0);
  for (double v : out1)
    EXPECT_EQ(v, 0.0);

  // The 32-bit twin does the same.
  float fin0[4] = {1, 2, 3, 4}, fout0[4] = {9, 9, 9, 9}, fout1[4] = {9, 9, 9, 9};
  float* fins[2] = {fin0, nullptr};
  float* fouts[2] = {fout0, fout1};
  plug.ProcessBlockFloat(fins, fouts, 4);
  EXPECT_EQ(std::memcmp(fout0, fin0, sizeof(fin0)), 0);
  for (float v : fout1)
    EXPECT_EQ(v, 0.f);
}

// A host block longer than the plug-in's block length is processed in slices; every frame
// passes through, and nothing is written past the channel buffers (ASan would see it).
TEST(IEffectBase, LongHostBlocksAreProcessedInSlices)
{
  TestPlug plug;
  plug.SetBlockLength(64);
  const int frames = 1000;
  std::vector<float> in0(frames), in1(frames), out0(frames, -1.f), out1(frames, -1.f);
  for (int i = 0; i < frames; ++i)
  {
    in0[i] = float(i);
    in1[i] = float(-i);
  }
  float* ins[2] = {in0.data(), in1.data()};
  float* outs[2] = {out0.data(), out1.data()};
  plug.Effect()->processReplacing(plug.Effect(), ins, outs, frames);
  EXPECT_EQ(out0, in0);
  EXPECT_EQ(out1, in1);

  // Accumulating adds to what the host buffer held.
  plug.Effect()->process(plug.Effect(), ins, outs, frames);
  EXPECT_EQ(out0[999], 1998.f);
  EXPECT_EQ(out1[500], -1000.f);

  std::vector<double> d0(frames), d1(frames), o0(frames, 7.0), o1(frames, 7.0);
  for (int i = 0; i < frames; ++i)
    d0[i] = d1[i] = i * 0.5;
  double* dins[2] = {d0.data(), d1.data()};
  double* douts[2] = {o0.data(), o1.data()};
  plug.Effect()->processDoubleReplacing(plug.Effect(), dins, douts, frames);
  EXPECT_EQ(o0, d0);
  EXPECT_EQ(o1, d1);

  // Missing host buffers read as silence and are never written.
  float* noIns[2] = {nullptr, in1.data()};
  float* noOuts[2] = {out0.data(), nullptr};
  plug.Effect()->processReplacing(plug.Effect(), noIns, noOuts, frames);
  for (float v : out0)
    ASSERT_EQ(v, 0.f);
  plug.Effect()->processReplacing(plug.Effect(), nullptr, nullptr, frames);
  EXPECT_EQ(plug.Count(audioMasterWantMidi), 5);
}

TEST(IEffectBase, SpeakerArrangementClampsToChannelRecords)
{
  TestPlug plug;
  VstSpeakerArrangement one{}, many{};
  one.numChannels = 1;
  many.numChannels = 64;
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&one), &many), 1);
  EXPECT_TRUE(plug.InputChannel(0)->connected);
  EXPECT_FALSE(plug.InputChannel(1)->connected);
  EXPECT_TRUE(plug.OutputChannel(1)->connected);
  // The plug-in's own arrangements stay as they were.
  EXPECT_EQ(plug.InputArrangement().numChannels, 2);

  // The unconnected input reads silence; the host's one input buffer goes to channel 0.
  std::vector<float> in(32, 1.f), out0(32), out1(32);
  float* ins[1] = {in.data()};
  float* outs[2] = {out0.data(), out1.data()};
  plug.Effect()->processReplacing(plug.Effect(), ins, outs, 32);
  EXPECT_EQ(out0[31], 1.f);
  EXPECT_EQ(out1[31], 0.f);
  EXPECT_EQ(plug.Dispatch(effSetSpeakerArrangement, 0, 0, nullptr), 1);
}

TEST(IEffectBase, ControlChangesCallHandlersOnlyOnChange)
{
  TestPlug plug;
  IParameter* p = plug.ParameterAt(7);
  p->SetupEnumerated("Octave", 0, 5, "osc");
  plug.SetParameterFromControl(7, 0.5); // 0..4 -> 2
  EXPECT_EQ(p->Value(), 2.0);
  plug.SetParameterFromControl(7, 0.5); // unchanged: no handler
  ASSERT_EQ(plug.changes.size(), 1u);
  EXPECT_EQ(plug.changes[0], 7);

  IParameter* text = plug.ParameterAt(8);
  text->SetType(IParameter::kTypeText);
  plug.SetParameterFromControl(8, 0.0);
  plug.SetParameterFromControl(8, 0.0); // text parameters always call it
  EXPECT_EQ(plug.changes.size(), 3u);

  plug.SetParameterFromControlSecondary(7, 1.0);
  ASSERT_EQ(plug.secondaryChanges.size(), 1u);
  EXPECT_EQ(p->Value(), 4.0);
  plug.SetParameterFromControl(-1, 0.5);
  plug.SetParameterFromControl(IEffectBase::kNumParameters, 0.5);
  EXPECT_EQ(plug.changes.size(), 3u);

  // None of these parameters is offered to the host, so the host hears of none of them.
  EXPECT_EQ(plug.Count(audioMasterAutomate), 0);
  EXPECT_EQ(plug.BeginParamEdit(7), 0);
  EXPECT_EQ(plug.Count(audioMasterBeginEdit), 0);
}

TEST(IEffectBase, AutomatedParametersReachTheHost)
{
  TestPlug plug(3);
  ASSERT_EQ(plug.AutomatedCount(), 3);
  plug.SetParameterFromControl(1, 0.25);
  ASSERT_EQ(plug.Count(audioMasterAutomate), 1);
  EXPECT_EQ(plug.calls.back().index, 1);
  EXPECT_FLOAT_EQ(plug.calls.back().opt, 0.25f);
  plug.BeginParamEdit(2);
  plug.EndParamEdit(2);
  plug.EndParamEdit(3); // not automated
  EXPECT_EQ(plug.Count(audioMasterBeginEdit), 1);
  EXPECT_EQ(plug.Count(audioMasterEndEdit), 1);

  plug.ParameterAt(0)->SetupContinuous("Cutoff", 0, 0, 200, 0.5, "");
  plug.Effect()->setParameter(plug.Effect(), 0, 0.5f);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 100.0);
  EXPECT_FLOAT_EQ(plug.Effect()->getParameter(plug.Effect(), 0), 0.5f);
  EXPECT_EQ(plug.Effect()->getParameter(plug.Effect(), 3), 0.f);
  plug.Effect()->setParameter(plug.Effect(), 3, 1.f);
  EXPECT_EQ(plug.ParameterAt(3)->Value(), 0.0);

  // Texts into host buffers stop at the interface's 8-byte limit.
  char name[32];
  std::memset(name, 'x', sizeof(name));
  plug.Dispatch(effGetParamName, 0, 0, name);
  EXPECT_STREQ(name, "Cutoff");
  plug.ParameterAt(1)->SetupContinuous("A very long parameter name", 0, 0, 1, 0.01, "");
  std::memset(name, 'x', sizeof(name));
  plug.Dispatch(effGetParamName, 1, 0, name);
  EXPECT_EQ(std::strlen(name), size_t(kVstMaxParamStrLen - 1));
  EXPECT_EQ(name[kVstMaxParamStrLen], 'x');
  std::memset(name, 'x', sizeof(name));
  plug.Dispatch(effGetParamName, 3, 0, name);
  EXPECT_EQ(name[0], 'x'); // not offered: untouched

  // Text to value: display texts are matched exactly, other parameters read a number.
  IParameter* wave = plug.ParameterAt(2);
  wave->AddValueText(0, "Sine");
  wave->AddValueText(1, "Saw");
  plug.changes.clear();
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 2, 0, const_cast<char*>("Saw")), 1);
  EXPECT_EQ(wave->Value(), 1.0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 2, 0, const_cast<char*>("saw")), 0);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, const_cast<char*>("  500xyz")), 1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 200.0);
  EXPECT_EQ(plug.changes, (std::vector<int>{2, 0}));
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, nullptr), 1);
  EXPECT_EQ(plug.Dispatch(effString2Parameter, 3, 0, const_cast<char*>("1")), 0);

  std::memset(name, 'x', sizeof(name));
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamDisplay, 2, name, 1.f), 0xBEEF);
  EXPECT_STREQ(name, "Saw");
  std::memset(name, 'x', sizeof(name));
  EXPECT_EQ(plug.Dispatch(effVendorSpecific, effGetParamDisplay, 3, name, 1.f), 0xBEEF);
  EXPECT_EQ(name[0], 'x');

  const double same[3] = {200.0, 0.0000001, 1.0};
  const double differ[3] = {200.0, 0.0001, 1.0};
  plug.ParameterAt(1)->SetClamped(0.0);
  EXPECT_TRUE(plug.StateMatches(same, 0));
  EXPECT_FALSE(plug.StateMatches(differ, 0));
}

TEST(IEffectBase, PresetsNameUninitialisedSlotsAfterTheUserPresets)
{
  TestPlug plug;
  for (int i = 0; i < 3; ++i)
    ASSERT_NE(plug.AddPresetSlot(), nullptr);
  EXPECT_FALSE(plug.LoadPreset(3));
  ASSERT_TRUE(plug.LoadPreset(0));
  ASSERT_TRUE(plug.LoadPreset(1));
  EXPECT_STREQ(plug.PresetName(0), "user preset 1");
  EXPECT_STREQ(plug.PresetName(1), "user preset 2");
  ASSERT_TRUE(plug.LoadPreset(2));
  EXPECT_STREQ(plug.PresetName(2), "user preset 3");
  EXPECT_EQ(plug.CurrentPreset(), 2);
  EXPECT_STREQ(plug.PresetName(9), "");

  // With no automated parameters the captured state is empty, and restoring it gives position 0,
  // which is not a success.
  EXPECT_FALSE(plug.LoadPreset(0));
  EXPECT_EQ(plug.CurrentPreset(), 2);

  TestPlug filled(1);
  filled.AddPresetSlot();
  filled.AddPresetSlot();
  filled.FillEmptyPresets(nullptr, 5);
  EXPECT_STREQ(filled.PresetName(0), "Empty");
  EXPECT_STREQ(filled.PresetName(1), "Empty");
  filled.ParameterAt(0)->SetClamped(0.75);
  filled.ModifyCurrentPreset("Lead");
  EXPECT_STREQ(filled.PresetName(0), "Lead");
  filled.ParameterAt(0)->SetClamped(0.0);
  ASSERT_TRUE(filled.LoadPreset(0));
  EXPECT_EQ(filled.ParameterAt(0)->Value(), 0.75);
}

TEST(IEffectBase, ChunkHeaderAndParameterBlocks)
{
  TestPlug plug;
  IStateChunk chunk;
  for (int i = 0; i < 25; ++i)
    chunk.PutInt(i);
  plug.WriteChunkHeader(&chunk);
  const uint8_t header[8] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  ASSERT_EQ(chunk.Size(), 8);
  EXPECT_EQ(std::memcmp(chunk.Data(), header, 8), 0);

  IStateChunk shortChunk;
  shortChunk.PutBytes(header, 6);
  int position = 0;
  EXPECT_EQ(plug.ReadChunkHeader(&shortChunk, &position), 0);
  EXPECT_EQ(position, -1);
  IStateChunk other;
  other.PutInt(12345);
  other.PutInt(1);
  position = 0;
  EXPECT_EQ(plug.ReadChunkHeader(&other, &position), 0);
  EXPECT_EQ(position, 0);

  // No automated parameter: the automated block is empty.
  IStateChunk empty;
  EXPECT_TRUE(plug.SerializeParams(&empty));
  EXPECT_EQ(empty.Size(), 0);

  // A block that ends early is refused whole.
  plug.ParameterAt(0)->SetClamped(0.5);
  plug.ParameterAt(1)->SetClamped(0.5);
  plug.ParameterAt(2)->SetClamped(0.5);
  IStateChunk two;
  two.PutDouble(0.25);
  two.PutDouble(5.0);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&two, 0, 3), -1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.5);
  EXPECT_EQ(plug.ParameterAt(2)->Value(), 0.5);
  // A value outside the range is clamped into it.
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&two, 0, 2), 16);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.25);
  EXPECT_EQ(plug.ParameterAt(1)->Value(), 1.0);
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&two, -1, 2), -1);

  IStateChunk block;
  EXPECT_TRUE(plug.SerializeNonAutomatedParams(&block, 3));
  EXPECT_EQ(block.Size(), 24);

  // A value that is no finite number becomes the parameter's minimum.
  plug.ParameterAt(0)->SetupContinuous("x", 0.5, 0.25, 1, 0.01, "");
  IStateChunk odd;
  odd.PutDouble(std::numeric_limits<double>::quiet_NaN());
  odd.PutDouble(-std::numeric_limits<double>::infinity());
  EXPECT_EQ(plug.UnserializeNonAutomatedParams(&odd, 0, 2), 16);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.25);
  EXPECT_EQ(plug.ParameterAt(1)->Value(), 0.0);
}

TEST(IEffectBase, HostChunksThroughTheDispatcher)
{
  TestPlug plug(2);
  plug.ParameterAt(0)->SetClamped(0.25);
  plug.ParameterAt(1)->SetClamped(0.5);

  void* data = nullptr;
  const intptr_t programSize = plug.Dispatch(effGetChunk, 1, 0, &data);
  ASSERT_EQ(programSize, 8 + 16); // header and the two automated values
  std::vector<uint8_t> program(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + programSize);
  // A bank of a plug-in without preset slots holds the header and the state only.
  const intptr_t bankSize = plug.Dispatch(effGetChunk, 0, 0, &data);
  std::vector<uint8_t> bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + bankSize);
  EXPECT_EQ(bank, program);

  plug.ParameterAt(0)->SetClamped(1.0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(program.size()), program.data()), 1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.25);

  // Without the magic the state is read from the start.
  plug.ParameterAt(0)->SetClamped(1.0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, 16, program.data() + 8), 1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.25);

  // Truncated: refused, nothing changes.
  plug.ParameterAt(0)->SetClamped(1.0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(program.size() - 1), program.data()), 0);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 1.0);
  EXPECT_EQ(plug.ParameterAt(1)->Value(), 0.5);

  // Sizes the interface cannot hold and null pointers are refused.
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 0, program.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, -5, program.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(1) << 31, program.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, 24, nullptr), 0);
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, nullptr), 0);
}

// A taken state shows the values it changed on their controls, on the controls' scale and without
// setting the parameters again; a state with bytes after it is refused, and what it had set is put
// back.
TEST(IEffectBase, RecallShowsWhatChangedAndRefusesBytesAfterTheState)
{
  TestPlug plug(2);
  plug.ParameterAt(0)->SetupContinuous("Level", 0, 0, 10, 1, "");
  plug.ParameterAt(0)->SetShape(2.0);
  plug.ParameterAt(1)->SetupContinuous("Pan", 0, 0, 1, 0.01, "");
  auto* editor = new RecordingEditor();
  plug.AttachEditor(editor);
  plug.ParameterAt(0)->SetClamped(3.0);
  plug.ParameterAt(1)->SetClamped(0.5);
  void* data = nullptr;
  const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &data);
  std::vector<uint8_t> program(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

  plug.ParameterAt(0)->SetClamped(7.0);
  editor->syncs.clear();
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(program.size()), program.data()), 1);
  ASSERT_EQ(editor->syncs.size(), 1u); // parameter 1 kept its value
  EXPECT_EQ(editor->syncs[0].index, 0);
  EXPECT_TRUE(editor->syncs[0].normalised);
  EXPECT_EQ(editor->syncs[0].value, plug.ParameterAt(0)->NormalisedValue());
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 3.0);

  plug.ParameterAt(0)->SetClamped(7.0);
  std::vector<uint8_t> longer = program;
  longer.insert(longer.end(), {'J', 'U', 'N', 'K'});
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(longer.size()), longer.data()), 0);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, intptr_t(longer.size()), longer.data()), 0);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 7.0);
  EXPECT_EQ(plug.ParameterAt(1)->Value(), 0.5);
  ASSERT_FALSE(editor->syncs.empty());
  EXPECT_EQ(editor->syncs.back().value, plug.ParameterAt(0)->NormalisedValue());
}

// A value set again before the recall ends, after the recall had set it (one setting that
// excludes another), reaches its controls as it ends up; one a recall sets to what it already was
// reaches no control.
TEST(IEffectBase, RecallShowsAValueSetAgainBeforeItEndsAsItEndsUp)
{
  class ExcludingPlug : public TestPlug
  {
  public:
    using TestPlug::TestPlug;
    int ReadStateChunk(IStateChunk* chunk, int position) override
    {
      position = TestPlug::ReadStateChunk(chunk, position);
      if (position >= 0 && ParameterAt(0)->Value() == 1.0) ParameterAt(1)->SetClamped(0.0);
      return position;
    }
  };
  ExcludingPlug plug(3);
  plug.ParameterAt(0)->SetupEnumerated("First route", 0, 2, "");
  plug.ParameterAt(1)->SetupEnumerated("Second route", 0, 2, "");
  plug.ParameterAt(2)->SetupContinuous("Level", 0, 0, 10, 0.5, "");
  auto* editor = new RecordingEditor();
  plug.AttachEditor(editor);
  plug.ParameterAt(0)->SetClamped(1.0);
  plug.ParameterAt(1)->SetClamped(1.0);
  plug.ParameterAt(2)->SetClamped(2.5);
  void* data = nullptr;
  const intptr_t size = plug.Dispatch(effGetChunk, 1, 0, &data);
  const std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

  plug.ParameterAt(0)->SetClamped(0.0);
  plug.ParameterAt(1)->SetClamped(0.0);
  editor->syncs.clear();
  std::vector<uint8_t> chunk = saved;
  EXPECT_EQ(plug.Dispatch(effSetChunk, 1, intptr_t(chunk.size()), chunk.data()), 1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 1.0);
  EXPECT_EQ(plug.ParameterAt(1)->Value(), 0.0);
  EXPECT_EQ(plug.ParameterAt(2)->Value(), 2.5);
  double shown[3] = {-1.0, -1.0, -1.0};
  for (const RecordingEditor::Sync& s : editor->syncs)
    if (s.index >= 0 && s.index < 3) shown[s.index] = s.value;
  EXPECT_EQ(shown[0], 1.0);
  EXPECT_EQ(shown[1], 0.0); // the recall had set it to 1
  EXPECT_EQ(shown[2], -1.0);
}

// A bank whose presets read well but whose final state is cut short leaves every parameter as
// it was, also those the preset block had already set.
TEST(IEffectBase, BankFailingPartWayChangesNoParameter)
{
  TestPlug plug(1);
  plug.AddPresetSlot();
  plug.ParameterAt(0)->SetClamped(0.5);
  IStateChunk bank;
  plug.WriteChunkHeader(&bank);
  bank.PutString("Stored");
  bank.PutBool(true);
  bank.PutDouble(0.125); // the preset's state: parameter 0
  bank.PutDouble(0.0);   // the current state, then cut short
  const int cut = bank.Size() - 1;
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, cut, const_cast<uint8_t*>(bank.Data())), 0);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.5);
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, bank.Size(), const_cast<uint8_t*>(bank.Data())), 1);
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.0);
  EXPECT_STREQ(plug.PresetName(0), "Stored");
}

// A refused bank leaves the preset slots as they were too: names, captured states, which is current.
TEST(IEffectBase, RefusedBankChangesNoPresetSlot)
{
  TestPlug plug(1);
  plug.AddPresetSlot();
  plug.AddPresetSlot();
  plug.ParameterAt(0)->SetClamped(0.75);
  ASSERT_TRUE(plug.LoadPreset(1)); // captures 0.75 as "user preset 1"
  plug.ParameterAt(0)->SetClamped(0.5);

  IStateChunk bank;
  plug.WriteChunkHeader(&bank);
  bank.PutString("Stored A");
  bank.PutBool(true);
  bank.PutDouble(0.125);
  bank.PutString("Stored B");
  bank.PutBool(true);
  bank.PutDouble(0.25);
  bank.PutDouble(0.0); // the current state, then cut short
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, bank.Size() - 1, const_cast<uint8_t*>(bank.Data())), 0);

  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.5);
  EXPECT_STREQ(plug.PresetName(0), "");
  EXPECT_STREQ(plug.PresetName(1), "user preset 1");
  EXPECT_EQ(plug.CurrentPreset(), 1);
  ASSERT_TRUE(plug.LoadPreset(1));
  EXPECT_EQ(plug.ParameterAt(0)->Value(), 0.75);
  // Slot 0 is still uninitialised: loading it names it afresh.
  ASSERT_TRUE(plug.LoadPreset(0));
  EXPECT_STREQ(plug.PresetName(0), "user preset 2");

  // The whole bank is taken.
  EXPECT_EQ(plug.Dispatch(effSetChunk, 0, bank.Size(), const_cast<uint8_t*>(bank.Data())), 1);
  EXPECT_STREQ(plug.PresetName(0), "Stored A");
  EXPECT_STREQ(plug.PresetName(1), "Stored B");
}

TEST(IEffectVST, HostTimeQueries)
{
  TestPlug plug;
  plug.timeInfoAvailable = false;
  EXPECT_EQ(plug.HostTempo(), 0.0);
  EXPECT_EQ(plug.HostSamplePosition(), 0);
  HostTransportInfo untouched;
  untouched.tempo = 99.0;
  plug.HostTimeInfo(&untouched);
  EXPECT_EQ(untouched.tempo, 99.0);

  plug.timeInfoAvailable = true;
  plug.timeInfo.tempo = 140.0;
  plug.timeInfo.flags = 0;
  EXPECT_EQ(plug.HostTempo(), 0.0); // no tempo flag
  plug.timeInfo.flags = kVstTempoValid;
  EXPECT_EQ(plug.HostTempo(), 140.0);
  EXPECT_EQ(plug.calls.back().value, kVstTempoValid);
  plug.timeInfo.tempo = -1.0;
  EXPECT_EQ(plug.HostTempo(), 0.0);

  // Long sessions: a position past 2^31 samples neither wraps nor goes negative.
  plug.timeInfo.samplePos = 3.0e12 + 0.4;
  EXPECT_EQ(plug.HostSamplePosition(), int64_t(3000000000000));
  plug.timeInfo.samplePos = -5.0;
  EXPECT_EQ(plug.HostSamplePosition(), 0);

  plug.timeInfo = VstTimeInfo{};
  plug.timeInfo.samplePos = 4410.0;
  plug.timeInfo.ppqPos = 8.5;
  plug.timeInfo.tempo = 0.0; // flagged but not positive: keeps the default
  plug.timeInfo.barStartPos = 8.0;
  plug.timeInfo.cycleStartPos = -1.0;
  plug.timeInfo.timeSigNumerator = 7;
  plug.timeInfo.timeSigDenominator = 8;
  plug.timeInfo.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid |
                        kVstTimeSigValid | kVstTransportPlaying;
  HostTransportInfo info;
  plug.HostTimeInfo(&info);
  EXPECT_EQ(plug.calls.back().value, 0x3E00);
  EXPECT_EQ(info.samplePosition, 4410.0);
  EXPECT_EQ(info.ppqPosition, 8.5);
  EXPECT_EQ(info.tempo, 120.0);
  EXPECT_EQ(info.lastBarStart, 8.0);
  EXPECT_EQ(info.cycleStart, 0.0);
  EXPECT_EQ(info.numerator, 7);
  EXPECT_EQ(info.denominator, 8);
  EXPECT_TRUE(info.playing);
  EXPECT_FALSE(info.looping);

  int num = -1, den = -1;
  plug.HostTimeSignature(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  plug.HostTimeSignature(nullptr, nullptr);

  plug.processLevel = kVstProcessLevelOffline;
  EXPECT_TRUE(plug.IsOfflineRender());
  plug.processLevel = kVstProcessLevelRealtime;
  EXPECT_FALSE(plug.IsOfflineRender());
}

TEST(IEffectVST, HostIsQueriedOnceOnOpen)
{
  TestPlug plug;
  plug.product = "REAPER 7";
  plug.Dispatch(effOpen);
  plug.Dispatch(effOpen);
  EXPECT_EQ(plug.Count(audioMasterGetProductString), 1);
  EXPECT_EQ(plug.Count(audioMasterGetVendorVersion), 1);
  EXPECT_EQ(plug.QueryHost(), kHostReaper);
  EXPECT_EQ(plug.HostVersion(), 0x0003000C); // 30012 is 3.0.12

  TestPlug silent;
  silent.product = "";
  silent.Dispatch(effOpen);
  EXPECT_EQ(silent.QueryHost(), kHostUnknown);
  EXPECT_EQ(silent.HostVersion(), 0);
  EXPECT_EQ(silent.Count(audioMasterGetVendorVersion), 0);
}

TEST(IEffectVST, EventsFromTheHost)
{
  TestPlug plug;
  uint8_t dump[6] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7};
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(sysex);
  sysex.dumpBytes = 6;
  sysex.sysexDump = reinterpret_cast<char*>(dump);
  VstMidiEvent note{};
  note.type = kVstMidiType;
  note.byteSize = sizeof(note);
  note.midiData[0] = char(0x90);
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  events.events[1] = reinterpret_cast<VstEvent*>(&sysex);
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, &events), 1);
  ASSERT_EQ(plug.sysexToHost.size(), 1u);
  EXPECT_EQ(plug.sysexToHost[0], std::vector<uint8_t>(dump, dump + 6));
  EXPECT_EQ(plug.eventsToHost, 1); // the MIDI event stays with the plug-in
  EXPECT_EQ(plug.Dispatch(effProcessEvents, 0, 0, nullptr), 0);

  ISysExMessage message;
  message.size = 6;
  message.bytes = dump;
  EXPECT_TRUE(plug.SendSysExToHost(&message));
  message.size = 0;
  EXPECT_FALSE(plug.SendSysExToHost(&message));
  IMidiMessage midi;
  midi.status = 0xB0;
  midi.data1 = 7;
  midi.data2 = 100;
  EXPECT_TRUE(plug.SendMidiToHost(&midi));
  EXPECT_EQ(plug.eventsToHost, 3);
}

TEST(IEffectVST, NullEffectObjectAnswersNothing)
{
  AEffect effect{};
  EXPECT_EQ(IEffectVST::VSTDispatcher(&effect, effGetVstVersion, 0, 0, nullptr, 0.f), 0);
  EXPECT_EQ(IEffectVST::VSTDispatcher(nullptr, effClose, 0, 0, nullptr, 0.f), 0);
  EXPECT_EQ(IEffectVST::HostGetParameter(&effect, 0), 0.f);
  IEffectVST::HostProcessFloat(&effect, nullptr, nullptr, 64);
}

TEST(IEffectVST, HostSettingsEndInResetProcessing)
{
  TestPlug plug(3);
  EXPECT_EQ(plug.Dispatch(effOpen), 0);
  EXPECT_EQ(plug.changes, (std::vector<int>{0, 1, 2})); // every automated parameter, in order
  EXPECT_EQ(plug.resets, 1);

  EXPECT_EQ(plug.Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.f), 0);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.resets, 2);
  // A rate that is no positive number is not taken.
  for (float bad :
       {0.f, -44100.f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    plug.Dispatch(effSetSampleRate, 0, 0, nullptr, bad);
  EXPECT_EQ(plug.SampleRate(), 48000.0);
  EXPECT_EQ(plug.resets, 6);

  EXPECT_EQ(plug.Dispatch(effSetBlockSize, 0, 256), 0);
  EXPECT_EQ(plug.BlockLength(), 256);
  for (intptr_t bad : {intptr_t(0), intptr_t(-1), intptr_t(1) << 40})
    plug.Dispatch(effSetBlockSize, 0, bad);
  EXPECT_EQ(plug.BlockLength(), 256);
  EXPECT_EQ(plug.OutputChannel(1)->samples.Size(), 256 * 8);
  EXPECT_EQ(plug.resets, 10);

  EXPECT_EQ(plug.Dispatch(effMainsChanged, 0, 1), 0);
  EXPECT_EQ(plug.resets, 10); // switching on resets nothing
  EXPECT_EQ(plug.Dispatch(effMainsChanged, 0, 0), 0);
  EXPECT_EQ(plug.resets, 11);
  EXPECT_EQ(plug.activations, (std::vector<bool>{true, false}));
}

// effString2Parameter reads numbers the same way whatever locale the host runs in.
TEST(IEffectVST, TextToValueIgnoresTheHostLocale)
{
  TestPlug plug(1);
  IParameter* p = plug.ParameterAt(0);
  p->SetupContinuous("Mix", 5, 0, 10, 0.01, "");
  auto read = [&](const char* text)
  {
    p->SetClamped(5.0);
    EXPECT_EQ(plug.Dispatch(effString2Parameter, 0, 0, const_cast<char*>(text)), 1) << text;
    return p->Value();
  };
  auto check = [&]
  {
    EXPECT_EQ(read("2.5"), 2.5);
    EXPECT_EQ(read(" \t+7.25e-1 dB"), 0.725);
    EXPECT_EQ(read("1,5"), 1.0); // the comma ends the number
    EXPECT_EQ(read("-3"), 0.0);  // clamped into the range
    EXPECT_EQ(read("1e999"), 10.0);
    EXPECT_EQ(read("1e-999"), 0.0);
    EXPECT_EQ(read("nan"), 0.0);
    EXPECT_EQ(read("+-2"), 0.0);
    EXPECT_EQ(read("volume"), 0.0);
    EXPECT_EQ(read(""), 0.0);
  };
  check();
  CommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale could be made (localedef missing)";
  check();
}

namespace
{
struct Thrower : TestPlug
{
  explicit Thrower(int automated) : TestPlug(automated) {}
  void HandleParameterChange(int) override { throw std::runtime_error("handler"); }
  void ProcessBlockDouble(double**, double**, int) override { throw std::runtime_error("process"); }
  bool WriteStateChunk(IStateChunk*) override { throw std::bad_alloc(); }
};
} // namespace

// Whatever a handler throws stops at the C entry points, and the parameter lock is free again.
TEST(IEffectVST, ExceptionsStopAtTheEntryPoints)
{
  Thrower plug(1);
  AEffect* e = plug.Effect();
  EXPECT_EQ(plug.Dispatch(effOpen), 0);
  void* data = nullptr;
  EXPECT_EQ(plug.Dispatch(effGetChunk, 1, 0, &data), 0);
  e->setParameter(e, 0, 0.5f);
  std::vector<float> buffer(64);
  float* channels[2] = {buffer.data(), buffer.data()};
  e->processReplacing(e, channels, channels, 64);
  e->process(e, channels, channels, 64);
  std::vector<double> wide(64);
  double* wideChannels[2] = {wide.data(), wide.data()};
  e->processDoubleReplacing(e, wideChannels, wideChannels, 64);

  bool free = false;
  std::thread other(
      [&]
      {
        free = plug.ParameterLock().try_lock();
        if (free) plug.ParameterLock().unlock();
      });
  other.join();
  EXPECT_TRUE(free);
}
