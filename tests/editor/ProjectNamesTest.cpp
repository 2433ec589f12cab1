// The project's names in the plug-in: a program or performance received from the synthesizer, or a
// name typed into the editor, is saved with the project and shows again when the project is opened.
#include "editor/PatchManager.h"
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ISysExMessage.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/transfer/TransferWorker.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// A message arriving from the synthesizer while the editor receives its edit buffer.
void ReceiveFromSynth(VELK& velk, Bytes message)
{
  ISysExMessage sysex;
  sysex.bytes = message.data();
  sysex.size = int(message.size());
  velk.HandleSysExMessage(&sysex, true);
}

std::string Shown(VELK& velk, int index)
{
  return velk.ParameterAt(index)->ValueTextCopy(0);
}
} // namespace

TEST(ProjectNames, ReceivedAndTypedNamesAreSavedWithTheProjectAndShownWhenItOpens)
{
  const SysExAddress address{0, 15};
  std::unique_ptr<VELK> source = std::make_unique<VELK>(nullptr);
  source->ParameterAt(kPatchName + 2)->AddValueText(0, "Warm Brass");
  source->ParameterAt(kMultiName)->AddValueText(0, "Stage Split");
  const Bytes main = BuildProgramDump(*source, 2, address), second = BuildProgramDumpB(*source, 2, address);
  const Bytes common = BuildPerformanceCommon(*source, address);

  std::unique_ptr<VELK> velk = std::make_unique<VELK>(nullptr);
  const std::string fresh = Shown(*velk, kPatchName + 2);
  velk->ArmReceive(false);
  ReceiveFromSynth(*velk, main);
  ReceiveFromSynth(*velk, second);
  ReceiveFromSynth(*velk, common);
  PatchManager* names = velk->GetPatchManager();
  EXPECT_EQ(names->Name(PatchManager::kFirstPartName + 2), "Warm Brass      ");
  EXPECT_EQ(names->Name(PatchManager::kMultiName), "Stage Split     ");
  // Typed into the editor: the text entry sets the text, then runs the change handler.
  velk->ParameterAt(kPatchName + 5)->AddValueText(0, "My Lead");
  velk->HandleParameterChange(kPatchName + 5);
  EXPECT_EQ(names->Name(PatchManager::kFirstPartName + 5), "My Lead");

  IStateChunk chunk;
  ASSERT_TRUE(velk->WriteStateChunk(&chunk));
  velk.reset();

  std::unique_ptr<VELK> reopened = std::make_unique<VELK>(nullptr);
  ASSERT_GT(reopened->ReadStateChunk(&chunk, 0), 0);
  EXPECT_EQ(Shown(*reopened, kPatchName + 2), "Warm Brass      ");
  EXPECT_EQ(Shown(*reopened, kMultiName), "Stage Split     ");
  EXPECT_EQ(Shown(*reopened, kPatchName + 5), "My Lead");
  // A part that never had a name keeps the editor's own text.
  EXPECT_EQ(Shown(*reopened, kPatchName + 0), fresh);
  EXPECT_EQ(reopened->GetPatchManager()->Name(PatchManager::kFirstPartName + 2), "Warm Brass      ");
}
