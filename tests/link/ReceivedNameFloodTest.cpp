// Program dumps arriving on one thread while the editor draws their names on another: the caption
// of a part's name only ever shows a whole name (ThreadSanitizer runs this suite and reports any
// unguarded access to the name's text).
#include "framework/controls/ICaptionControl.h"
#include "link/dumps/ProgramDump.h"
#include "tests/support/DumpTestPlug.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

TEST(ReceivedNameFlood, TheCaptionShowsWholeNamesWhileDumpsArrive)
{
  DumpTestPlug plug;
  const std::vector<std::string> names = {std::string(16, 'A'), std::string(16, 'b'), "Pad  Strings  12"};
  std::vector<std::vector<uint8_t>> dumps;
  for (const std::string& name : names)
  {
    plug.ParameterAt(kPatchName + 0)->AddValueText(0, name.c_str());
    dumps.push_back(BuildProgramDump(plug, 0, SysExAddress{0, 15}));
  }
  plug.ParameterAt(kPatchName + 0)->AddValueText(0, names[0].c_str());
  ICaptionControl caption(&plug, IRectangle(0, 0, 200, 20), kPatchName + 0, ITextStyle());

  std::atomic<bool> done{false};
  std::thread midi(
      [&]
      {
        // 16 dumps per round, as a busy cable delivers them.
        for (int round = 0; round < 400; ++round)
          for (int i = 0; i < 16; ++i)
          {
            const std::vector<uint8_t>& m = dumps[size_t(round + i) % dumps.size()];
            ParseProgramDump(plug, m.data(), m.size(), DumpContext{});
          }
        done = true;
      });
  const std::set<std::string> whole(names.begin(), names.end());
  std::set<std::string> torn;
  size_t draws = 0;
  while (!done || draws == 0)
  {
    char text[128];
    caption.CaptionText(text, sizeof(text));
    ++draws;
    if (!whole.count(text)) torn.insert(text);
  }
  midi.join();
  EXPECT_TRUE(torn.empty()) << torn.size() << " torn names, one: \"" << *torn.begin() << "\"";
}
