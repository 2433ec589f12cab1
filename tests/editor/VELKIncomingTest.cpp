#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/incoming/IncomingTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

// The main class hands the synthesizer's short messages to the incoming side: a controller moves
// its parameter, and one that needs the change handler runs it under the parameter lock.
TEST(VELKIncoming, SynthesizerControllersMoveTheDocumentsParameters)
{
  TempDataFolder folder;
  ScopedDocument document(ConfigReader::kUiDocumentId, IncomingTestDocument());
  auto plug = std::make_unique<VELK>(nullptr);
  plug->ParameterAt(kGlobalMidiChannel)->SetupEnumerated("", 0, 16, "");
  plug->ParameterAt(kGlobalMidiChannel)->SetClamped(15);
  for (int part = 0; part < kPartCount; ++part)
  {
    plug->ParameterAt(kMultiPartMIDICh + part)->SetupEnumerated("", 0, 17, "");
    plug->ParameterAt(kMultiPartMIDICh + part)->SetClamped(part);
    plug->ParameterAt(kMultiPartEffectsUsed + part)->SetupEnumerated("", 1, 2, "");
  }
  for (auto& s : plug->passThrough)
    s = 1;

  auto send = [&](uint8_t status, uint8_t c, uint8_t v, bool fromDevice = true)
  {
    IMidiMessage m;
    m.status = status;
    m.data1 = c;
    m.data2 = v;
    plug->HandleMidiMessage(&m, fromDevice);
  };
  send(0xB2, 74, 100);
  EXPECT_EQ(plug->ParameterAt(kFilterCutoff + 2)->Value(), 100);
  send(0xB1, 91, 8 * 5 + 6);
  EXPECT_EQ(plug->ParameterAt(kFXReverbRoom + 1)->Value(), 5);
  EXPECT_EQ(plug->ParameterAt(kFXReverbEarlyRef + 1)->Value(), 6);
  // A broken data byte and a null message are refused.
  send(0xB2, 74, 0x90);
  EXPECT_EQ(plug->ParameterAt(kFilterCutoff + 2)->Value(), 100);
  plug->HandleMidiMessage(nullptr, true);
  // While a transfer runs nothing is taken.
  plug->transferBusy = 1;
  send(0xB2, 74, 7);
  EXPECT_EQ(plug->ParameterAt(kFilterCutoff + 2)->Value(), 100);
}
