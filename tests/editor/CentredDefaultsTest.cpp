// Settings whose zero lies in the middle of their range (pan, detune, transposes, modulation amounts)
// start in that middle, so a fresh editor does not show every pan hard left and every amount at its
// most negative; settings that start at their lowest stay there. The state a fresh plug-in saves
// carries the middles and recalls them unchanged.
#include "editor/VELK.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/IStateChunk.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/editor/EditorTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

TEST(CentredDefaults, FreshPluginStartsBipolarSettingsInTheMiddleAndKeepsThemThroughItsState)
{
  TempDataFolder folder;
  auto plug = std::make_unique<VELK>(nullptr);
  const std::pair<int, double> expected[] = {{kFXPanPosition, 64},
                                             {kFXMultiPanPosition, 64},
                                             {kMultiPartPanning, 64},
                                             {kOscillator1Detune, 64},
                                             {kOscillator3Detune, 64},
                                             {kMultiPartDetune, 64},
                                             {kKeyboardTranspose, 33},
                                             {kMultiPartTranspose, 44},
                                             {kLFO1osc1Pitch, 64},
                                             {kWheelnoiseSoften, 64},
                                             {kEnv2filterFreqAmnt, 64},
                                             {kFilterResoATLFO2amnt, 64},
                                             {kLFO2MWhSpeedMod, 64},
                                             {kOscillator2Semitone, 12},
                                             {kOscillator1Octave, 2},
                                             // Levels, times and switches start at their lowest.
                                             {kOscillator1Level, 0},
                                             {kEnv1Attack, 0},
                                             {kFXDelaySend, 0}};
  for (const auto& [base, value] : expected)
    for (int part = 0; part < 8; ++part)
    {
      const IParameter* p = plug->ParameterAt(base + part);
      ASSERT_NE(p, nullptr) << base;
      EXPECT_NEAR(p->Value(), value, 1e-9) << p->Name() << " part " << part;
      EXPECT_NEAR(p->Default(), value, 1e-9) << p->Name() << " part " << part;
    }

  IStateChunk saved;
  ASSERT_TRUE(plug->WriteStateChunk(&saved));
  auto other = std::make_unique<VELK>(nullptr);
  // Moved away first, so the recall has to bring the middle back.
  other->ParameterAt(kFXPanPosition)->SetClamped(0);
  other->ParameterAt(kKeyboardTranspose + 5)->SetClamped(0);
  ASSERT_GT(other->ReadStateChunk(&saved, 0), 0);
  EXPECT_NEAR(other->ParameterAt(kFXPanPosition)->Value(), 64, 1e-9);
  EXPECT_NEAR(other->ParameterAt(kKeyboardTranspose + 5)->Value(), 33, 1e-9);
  IStateChunk again;
  ASSERT_TRUE(other->WriteStateChunk(&again));
  EXPECT_EQ(std::vector<uint8_t>(again.Data(), again.Data() + again.Size()),
            std::vector<uint8_t>(saved.Data(), saved.Data() + saved.Size()));
}
