// The walker's tables: every element name and type it knows reaches its own factory.
#include "FactoryTestSupport.h"

#include "config/ICustomRadioButtonsControl.h"
#include "framework/controls/ICaptionControl.h"
#include "framework/controls/IContactControl.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "framework/controls/IFaderControl.h"
#include "framework/controls/IKnobMultiControl.h"
#include "framework/controls/ISwitchControl.h"
#include "framework/controls/ITextControl.h"

#include <gtest/gtest.h>

#include <typeinfo>

namespace
{
struct Expected
{
  const char* element;
  const char* type;
  int paramIdx;
  const std::type_info& control;
  int recordKind; // -1: no record
};

// One element of the kind and type on the parameter, with what every factory reads.
std::string ElementText(const Expected& x)
{
  return std::string("<") + x.element + " type=\"" + x.type + "\" name=\"n\" paramId=\"kFilterCutoff+" +
         std::to_string(x.paramIdx - kFilterCutoff) +
         R"(" imageId="BTN_SMALL_ID" position="10,20,60,13" bounds="10,20,60,13" valueBounds="0,0,2,1")"
         R"( valueDisplay="1:2" valueList="two" visible="1" buttons="3" sysexIndex="1" changingByte="9" length="80"/>)";
}
} // namespace

TEST(ElementTables, EveryKindAndTypeReachesItsFactory)
{
  const Expected expected[] = {
      {"switch", "", kFilterCutoff + 0, typeid(ISwitchControl), MidiMapRecord::kNone},
      {"autooff", "", kFilterCutoff + 1, typeid(IContactControl), MidiMapRecord::kNone},
      {"display", "", kFilterCutoff + 2, typeid(ITextControl), MidiMapRecord::kNone},
      {"radio", "", kFilterCutoff + 3, typeid(ICustomRadioButtonsControl), MidiMapRecord::kNone},
      {"dropMenu", "textSelection", kFilterCutoff + 4, typeid(ICaptionControl), MidiMapRecord::kNone},
      {"dropMenu", "deviceSelection", kFilterCutoff + 5, typeid(IDeviceMenuControl), MidiMapRecord::kNone},
      {"dropMenu", "nameSelection", kFilterCutoff + 6, typeid(ICaptionControl), MidiMapRecord::kNone},
      {"dropMenu", "dropSelection", kFilterCutoff + 7, typeid(ICaptionControl), MidiMapRecord::kNone},
      {"multiFx", "Knob", kFilterCutoff + 8, typeid(IKnobMultiControl), -1},
      {"multiFx", "Menu", kFilterCutoff + 9, typeid(ICaptionControl), -1},
      {"knobcontrol", "seKnob", kFilterCutoff + 10, typeid(IKnobMultiControl), MidiMapRecord::kSysExTable},
      {"slidercontrol", "seSliderVer", kFilterCutoff + 11, typeid(IFaderControl), MidiMapRecord::kSysExTable},
      {"slidercontrol", "seSliderHor", kFilterCutoff + 12, typeid(IFaderControl), MidiMapRecord::kSysExTable},
      {"buttoncontrol", "seButton", kFilterCutoff + 13, typeid(ISwitchControl), MidiMapRecord::kSysExPair},
      {"menucontrol", "seMenu", kFilterCutoff + 14, typeid(ICaptionControl), MidiMapRecord::kSysExTable},
      {"slidercontrol", "ccSliderVer", kFilterCutoff + 15, typeid(IFaderControl), MidiMapRecord::kCc},
      {"slidercontrol", "ccSliderHor", kFilterCutoff + 16, typeid(IFaderControl), MidiMapRecord::kCc},
      {"knobcontrol", "ccKnob", kFilterCutoff + 17, typeid(IKnobMultiControl), MidiMapRecord::kCc},
      {"buttoncontrol", "ccButton", kFilterCutoff + 18, typeid(ISwitchControl), MidiMapRecord::kCcOffOn},
      {"menucontrol", "ccMenu", kFilterCutoff + 19, typeid(ICaptionControl), MidiMapRecord::kCc},
      {"knobcontrol", "msbLsbKnob", kFilterCutoff + 20, typeid(IKnobMultiControl), MidiMapRecord::kNrpn},
      {"buttoncontrol", "msbLsbButton", kFilterCutoff + 21, typeid(ISwitchControl), MidiMapRecord::kNrpn},
      {"menucontrol", "msbLsbMenu", kFilterCutoff + 22, typeid(ICaptionControl), MidiMapRecord::kNrpn},
  };
  std::string body;
  for (const Expected& x : expected)
    body += ElementText(x);
  // Names and types the tables do not hold build nothing.
  body +=
      R"(<knobcontrol type="ccknob" paramId="kFilterCutoff+23"/><dropMenu type="Knob" paramId="kFilterCutoff+24"/>)"
      R"(<Switch paramId="kFilterCutoff+25"/><knobControl type="ccKnob" paramId="kFilterCutoff+26"/>)";

  ScopedDocument ui(ConfigReader::kUiDocumentId,
                    R"(<uiconfig><valueLists><list name="two"><value>a</value><value>b</value></list>)"
                    "</valueLists>" +
                        body + "</uiconfig>");
  ScopedDocument sysex(ConfigReader::kSysExDocumentId, kFactorySysEx);
  ReaderFixture f;
  ASSERT_TRUE(f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, 1.0));
  ASSERT_EQ(f.graphics->NumControls(), int(std::size(expected))) << ::testing::PrintToString(f.log);
  for (int i = 0; i < int(std::size(expected)); ++i)
  {
    const Expected& x = expected[i];
    SCOPED_TRACE(std::string(x.element) + " " + x.type);
    IControl* control = f.graphics->GetControl(i);
    EXPECT_EQ(typeid(*control), x.control);
    // The display's text has no parameter of its own: the record binds it.
    if (x.control != typeid(ITextControl))
    {
      EXPECT_EQ(control->ParamIdx(), x.paramIdx);
    }
    const MidiMapRecord* record = f.plug.ParameterAt(x.paramIdx)->MidiMap();
    if (x.recordKind < 0)
    {
      EXPECT_EQ(record, nullptr);
    }
    else
    {
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(int(record->kind), x.recordKind);
      EXPECT_EQ(record->boundControls, std::vector<IControl*>{control});
    }
    if (auto* fader = dynamic_cast<IFaderControl*>(control))
    {
      EXPECT_EQ(fader->IsHorizontal(), std::string(x.type).find("Hor") != std::string::npos);
    }
  }
  for (int idx = kFilterCutoff + 23; idx <= kFilterCutoff + 26; ++idx)
    EXPECT_EQ(f.plug.ParameterAt(idx)->MidiMap(), nullptr) << idx;
}
