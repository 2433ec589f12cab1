// A project recalls every switch and menu on its step, and the editor reads them by rounding: a
// filter switch saved a hair below "on" filters, it does not let everything through.
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

TEST(RecalledSteps, ASwitchSavedAHairBelowOnIsRecalledOnAndReadAsOn)
{
  TempDataFolder folder;
  constexpr size_t kHostNotes = 2, kSynthesizerNotes = 7 + 2; // the pass-through bytes of notes
  auto saved = std::make_unique<VELK>(nullptr);
  saved->ParameterAt(kMIDIFilterDAWNotePassThrough)->SetClamped(1.0 - 1e-12);
  saved->ParameterAt(kMultiSettings)->SetClamped(2.0 - 1e-12);
  IStateChunk state;
  ASSERT_TRUE(saved->WriteStateChunk(&state));

  auto recalled = std::make_unique<VELK>(nullptr);
  ASSERT_EQ(recalled->passThrough[kHostNotes].load(), 1);
  ASSERT_GT(recalled->ReadStateChunk(&state, 0), 0);
  EXPECT_EQ(recalled->ParameterAt(kMIDIFilterDAWNotePassThrough)->Value(), 1.0);
  EXPECT_EQ(recalled->ParameterAt(kMultiSettings)->Value(), 2.0);
  EXPECT_EQ(recalled->passThrough[kHostNotes].load(), 0) << "the host's notes pass the filter";

  // A value set without snapping (as the host's text entry sets it) reads the same way.
  recalled->ParameterAt(kMIDIFilterHWNotePassThrough)->SetClamped(1.0 - 1e-9);
  recalled->HandleParameterChange(kMIDIFilterHWNotePassThrough);
  EXPECT_EQ(recalled->passThrough[kSynthesizerNotes].load(), 0) << "the synthesizer's notes pass the filter";
  recalled->ParameterAt(kGlobalMidiChannel)->SetClamped(5.0 - 1e-9);
  recalled->HandleParameterChange(kGlobalMidiChannel);
  EXPECT_EQ(recalled->deviceId.load(), 5);
  EXPECT_EQ(recalled->IntParam(kGlobalMidiChannel), 5);
}
