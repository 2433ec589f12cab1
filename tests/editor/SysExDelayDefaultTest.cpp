// A new project paces its SysEx at 100 ms, what a MIDI cable carries with room to spare; a saved
// project keeps the delay it was saved with.
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "link/output/DeviceSender.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

TEST(SysExDelayDefault, ANewProjectWaits100MsAndASavedOneKeepsItsDelay)
{
  TempDataFolder folder;
  auto fresh = std::make_unique<VELK>(nullptr);
  EXPECT_EQ(fresh->ParameterAt(kLibSyncTimer)->Default(), 2.0);
  EXPECT_EQ(fresh->ParameterAt(kLibSyncTimer)->Value(), 2.0);
  EXPECT_EQ(DeviceSender(*fresh).GetMidiDelay(), 100);

  // The new instance's state carries it.
  IStateChunk state;
  ASSERT_TRUE(fresh->WriteStateChunk(&state));
  auto recalled = std::make_unique<VELK>(nullptr);
  recalled->ParameterAt(kLibSyncTimer)->SetClamped(5);
  ASSERT_GT(recalled->ReadStateChunk(&state, 0), 0);
  EXPECT_EQ(DeviceSender(*recalled).GetMidiDelay(), 100);

  // A project saved at 50 ms stays at 50 ms.
  fresh->ParameterAt(kLibSyncTimer)->SetClamped(0);
  IStateChunk fast;
  ASSERT_TRUE(fresh->WriteStateChunk(&fast));
  auto reopened = std::make_unique<VELK>(nullptr);
  ASSERT_GT(reopened->ReadStateChunk(&fast, 0), 0);
  EXPECT_EQ(reopened->ParameterAt(kLibSyncTimer)->Value(), 0.0);
  EXPECT_EQ(DeviceSender(*reopened).GetMidiDelay(), 50);
}
