#include "editor/VELK.h"
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace
{
IMidiMessage Controller(int channel, int controller, int value)
{
  IMidiMessage m;
  m.status = uint8_t(0xB0 | channel);
  m.data1 = uint8_t(controller);
  m.data2 = uint8_t(value);
  return m;
}
} // namespace

// The synthesizer's part selection arrives on the MIDI input thread and changes the part shown on
// every page (and a received value the page of its tab) there, under the parameter lock, while the
// user-interface thread draws and hit-tests the editor without it. Under ThreadSanitizer any state
// of that page change that is not atomic or handed over is a data race here.
TEST(ReceivedPageChange, APartSelectedOnTheSynthesizerChangesThePagesWhileTheEditorDraws)
{
  TempFolder folder{"pagechange"};
  setenv("VELK_DATA_DIR", folder.Path().string().c_str(), 1);
  VELK plug(nullptr);
  unsetenv("VELK_DATA_DIR");
  auto* graphics = dynamic_cast<IGraphics*>(plug.Editor());
  ASSERT_NE(graphics, nullptr);
  graphics->CreateDrawBitmaps();
  IRectangle all(0, 0, graphics->Width(), graphics->Height());
  graphics->DrawDirty(&all);

  const int channel = std::clamp(int(plug.ParamValue(kGlobalMidiChannel)), 0, 15);
  constexpr int kRounds = 40;
  std::atomic<bool> done{false};
  std::thread midi(
      [&]
      {
        for (int i = 0; i < kRounds; ++i)
        {
          // The part-select NRPN as the synthesizer sends it: number 113, data entry 76 + part.
          IMidiMessage nrpn[] = {Controller(channel, 99, 0), Controller(channel, 98, 113),
                                 Controller(channel, 6, 76 + i % 8)};
          for (IMidiMessage& m : nrpn)
            plug.HandleMidiMessage(&m, true);
          // A received value that shows its tab's page, as the incoming side runs it.
          plug.SetParamInEditor(kMainTab, i % 2);
          plug.RunChangeHandler(kMainTab);
        }
        done = true;
      });
  // At least a few frames, also when the other thread is done before this one starts.
  for (int frame = 0; !done || frame < 5; ++frame)
  {
    graphics->DrawFrame();
    for (int x = 50; x < graphics->Width(); x += 200)
      if (IControl* c = graphics->FindControlAt(x, graphics->Height() / 2)) (void)c->IsHidden();
  }
  midi.join();
  EXPECT_EQ(plug.selectedPart.load(), (kRounds - 1) % 8);
  EXPECT_EQ(int(plug.ParamValue(kQuickTab)), (kRounds - 1) % 8);
  graphics->DrawFrame();
}
