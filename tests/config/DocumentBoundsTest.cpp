// A document's numbers are bounded before anything is built from them: an element whose numbers
// would overflow, or make a control of millions of values, is refused with a log line naming it, and
// the rest of the document loads.
#include "FactoryTestSupport.h"

#include "framework/controls/IControl.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace
{
const char* kBrokenDocument = R"(<uiconfig>
  <knobcontrol type="seKnob" name="Huge SysEx" paramId="kOscillator1Octave" sysexIndex="1" changingByte="9"
               valueBounds="0,0,2000000000" position="1,1"/>
  <knobcontrol type="seKnob" name="Long SysEx" paramId="kOscillator1Octave+1" sysexIndex="1" changingByte="9"
               valueBounds="0,0,1000000" position="1,1"/>
  <knobcontrol type="seKnob" name="Late Zero" paramId="kOscillator1Octave+2" sysexIndex="1" changingByte="9"
               msgZeroVal="2147483647" valueBounds="0,1,3" position="1,1"/>
  <menucontrol type="ccMenu" name="Wide Menu" paramId="kOscillator1Octave+3" valueDisplay="1:2"
               valueBounds="0,-2147483648,2147483647" position="1,1,50"/>
  <menucontrol type="ccMenu" name="Long Menu" paramId="kOscillator1Octave+4" valueDisplay="1:2"
               valueBounds="0,0,100000000" position="1,1,50"/>
  <menucontrol type="ccMenu" name="Many Menu" paramId="kOscillator1Octave+5" valueDisplay="1:2"
               valueBounds="0,0,1000000" position="1,1,50"/>
  <radio name="Many Buttons" paramId="kOscillator1Octave+6" buttons="200000000" position="1,1"/>
  <radio name="Lots Buttons" paramId="kOscillator1Octave+7" buttons="100000" position="1,1"/>
  <knobcontrol type="ccKnob" name="Far Knob" paramId="kFilterCutoff" position="2147483647,0"/>
  <menucontrol type="ccMenu" name="Wide Caption" paramId="kFilterCutoff+1" valueDisplay="1:5"
               valueBounds="0,0,4" position="30000,0,2000000000"/>
  <knobcontrol type="ccKnob" name="Fine Knob" paramId="kFilterResonance" ccNumber="71" valueBounds="0,0,127,1"
               position="10,20"/>
</uiconfig>)";
} // namespace

TEST(DocumentBounds, ElementsWithNumbersOutOfBoundsAreRefusedAndTheRestLoads)
{
  Factories t(1.15); // the large editor: positions grow when scaled
  const int before = t.f.graphics->NumControls();
  ASSERT_TRUE(t.R().ReadUiText(kBrokenDocument));

  for (const char* refusal : {
           "knobcontrol Huge SysEx: valueBounds 2000000000 outside -16777216..16777216, NOT BUILT!",
           "seKnob Long SysEx: 1000001 values, more than 16384, NOT BUILT!",
           "knobcontrol Late Zero: msgZeroVal 2147483647 outside -16777216..16777216, NOT BUILT!",
           "menucontrol Wide Menu: valueBounds -2147483648 outside -16777216..16777216, NOT BUILT!",
           "menucontrol Long Menu: valueBounds 100000000 outside -16777216..16777216, NOT BUILT!",
           "Many Menu: 1000000 values, more than 16384, NOT BUILT!",
           "radio Many Buttons: buttons 200000000 outside -16777216..16777216, NOT BUILT!",
           "radio Lots Buttons: 100000 values, more than 16384, NOT BUILT!",
           "knobcontrol Far Knob: position 2147483647 outside -32767..32767, NOT BUILT!",
           "menucontrol Wide Caption: position 2000000000 outside -32767..32767, NOT BUILT!",
       })
    EXPECT_TRUE(t.Logged(refusal)) << refusal << "\n" << ::testing::PrintToString(t.f.log);

  // Nothing of the refused elements was built; the element after them was.
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(t.Record(kOscillator1Octave + i), nullptr) << i;
  EXPECT_EQ(t.Record(kFilterCutoff), nullptr);
  EXPECT_EQ(t.Record(kFilterCutoff + 1), nullptr);
  ASSERT_EQ(t.f.graphics->NumControls(), before + 1);
  EXPECT_EQ(t.f.graphics->GetControl(before)->ParamIdx(), kFilterResonance);
  ASSERT_NE(t.Record(kFilterResonance), nullptr);
  EXPECT_EQ(t.Record(kFilterResonance)->ccNumber, 71);
}

TEST(DocumentBounds, FactoriesCountAndScaleWithoutOverflow)
{
  Factories t(1.15);
  // A value byte past the int range, and a menu of more values than an int counts.
  ControlElement knob = Factories::Element("Late Zero", kOscillator1Octave, 1, 1);
  knob.sysexIndex = 1;
  knob.changingByte = 9;
  knob.msgZeroVal = INT_MAX;
  knob.valueBounds[1] = 1;
  knob.valueBounds[2] = 3;
  EXPECT_EQ(t.R().CreateSeKnob(knob), nullptr);
  EXPECT_TRUE(t.Logged("seKnob Late Zero: values from 2147483648 outside the int range, NOT BUILT!"));

  ControlElement menu = Factories::Element("Wide Menu", kOscillator1Octave + 1, 1, 1);
  menu.valueBounds[1] = INT_MIN;
  menu.valueBounds[2] = INT_MAX;
  menu.valueDisplay[0] = INT_MAX - 1;
  menu.valueDisplay[1] = INT_MAX;
  EXPECT_EQ(t.R().CreateCcMenu(menu), nullptr);
  EXPECT_TRUE(t.Logged("Wide Menu: 4294967295 values, more than 16384, NOT BUILT!"));
  EXPECT_EQ(t.Record(kOscillator1Octave + 1), nullptr);

  // A menu's numbers shown from the top of the int range go on counting rather than wrap.
  menu.valueBounds[1] = 0;
  menu.valueBounds[2] = 3;
  ASSERT_NE(t.R().CreateCcMenu(menu), nullptr);
  char text[32];
  t.P(kOscillator1Octave + 1)->DisplayValue(2.0, false, text, sizeof text, true);
  EXPECT_STREQ(text, "2147483648");

  EXPECT_EQ(t.R().Scaled(INT_MAX), INT_MAX);
  EXPECT_EQ(t.R().Scaled(INT_MIN), INT_MIN);
  EXPECT_EQ(t.R().Scaled(1000), 1150);
}
