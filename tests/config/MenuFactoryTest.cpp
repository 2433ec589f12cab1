#include "FactoryTestSupport.h"

#include "framework/controls/ICaptionControl.h"

#include <gtest/gtest.h>

TEST(MenuFactories, ValueListsNumbersAndRefusals)
{
  Factories t(1.15);
  ControlElement e = Factories::Element("Wave", kLFO1osc1Sync + 1, 100, 40, 1);
  e.position[2] = 80;
  e.ccNumber = 12;
  e.valueBounds[0] = 2;
  e.valueBounds[1] = 0;
  e.valueBounds[2] = 4;
  e.valueList = {"Sine", "Tri", "Saw", "Square"};
  auto* menu = dynamic_cast<ICaptionControl*>(t.R().CreateCcMenu(e));
  ASSERT_NE(menu, nullptr);
  IParameter* p = t.P(kLFO1osc1Sync + 1);
  EXPECT_EQ(p->Type(), IParameter::kTypeEnumerated);
  EXPECT_EQ(p->Min(), 0);
  EXPECT_EQ(p->Max(), 3);
  EXPECT_EQ(p->Default(), 2);
  EXPECT_STREQ(p->ValueText(0), "Sine");
  EXPECT_STREQ(p->ValueText(3), "Square");
  EXPECT_STREQ(p->Name(), "[2] Wave");
  EXPECT_FALSE(menu->NoPrompt()) << "a menu opens its prompt";
  const int line = int(13 * 1.15);
  EXPECT_EQ(menu->Rect(),
            IRectangle(t.Scaled(100), t.Scaled(40), t.Scaled(100) + t.Scaled(80), t.Scaled(40) + line));
  EXPECT_STREQ(menu->TextStyle().face, "NK57 Monospace Sc Sb");
  EXPECT_EQ(menu->TextStyle().size, line);
  EXPECT_EQ(menu->TextStyle().colour, IColour(255, 255, 255, 255));
  EXPECT_EQ(t.Record(kLFO1osc1Sync + 1)->kind, MidiMapRecord::kCc);
  EXPECT_EQ(t.R().FindInCcMap(2, 12, 0), menu);

  // A list of the wrong length: numbers when "valueDisplay" gives them...
  ControlElement n = e;
  n.paramIdx = kLFO1osc2Sync + 1;
  n.valueList = {"a", "b", "c"};
  n.valueDisplay[0] = 1;
  n.valueDisplay[1] = 8;
  ASSERT_NE(t.R().CreateCcMenu(n), nullptr);
  EXPECT_STREQ(t.P(kLFO1osc2Sync + 1)->ValueText(0), "1");
  EXPECT_STREQ(t.P(kLFO1osc2Sync + 1)->ValueText(3), "4");
  EXPECT_TRUE(t.Logged("numbers shown instead"));
  // ...else the parameter is set up and nothing more, and the log says so.
  ControlElement x = n;
  x.paramIdx = kLFO1osc3Sync + 1;
  x.valueDisplay[1] = 1;
  const int before = t.f.graphics->NumControls();
  EXPECT_EQ(t.R().CreateCcMenu(x), nullptr);
  EXPECT_EQ(t.f.graphics->NumControls(), before);
  EXPECT_EQ(t.Record(kLFO1osc3Sync + 1), nullptr);
  EXPECT_EQ(t.P(kLFO1osc3Sync + 1)->Max(), 3);
  EXPECT_EQ(t.P(kLFO1osc3Sync + 1)->ValueTextCount(), 0);
  EXPECT_TRUE(t.Logged("value list has 3 entries for 4 values, NOT BUILT!"));
}

TEST(MenuFactories, NrpnSysExAndMultiFxMenus)
{
  Factories t;
  ControlElement e = Factories::Element("Arp Bank", kMultiArpBank + 3, 0, 0, 3);
  e.position[2] = 50;
  e.msbValue = 5;
  e.lsbValue = 6;
  e.lsbControl = 98;
  e.valueBounds[2] = 2;
  e.valueList = {"A", "B"};
  IControl* nrpn = t.R().CreateMsbLsbMenu(e);
  ASSERT_NE(nrpn, nullptr);
  EXPECT_EQ(t.Record(kMultiArpBank + 3)->kind, MidiMapRecord::kNrpn);
  EXPECT_EQ(t.Record(kMultiArpBank + 3)->channel, 4);
  EXPECT_EQ(t.Record(kMultiArpBank + 3)->blockFlag, 1);
  EXPECT_EQ(t.R().FindInNrpnMap(4, 5, 6, 98, 1), nrpn);
  ControlElement v = Factories::Element("Voc Input", kMultiVocoderInput, 0, 0);
  v.valueBounds[2] = 2;
  v.valueList = {"In", "Out"};
  ASSERT_NE(t.R().CreateMsbLsbMenu(v), nullptr);
  EXPECT_EQ(t.Record(kMultiVocoderInput)->channel, 16);

  // seMenu: one message more than the menu has values, starting at "from", black text.
  ControlElement s = Factories::Element("Routing", kFXPassToFXConfig, 0, 0);
  s.sysexIndex = 1;
  s.changingByte = 9;
  s.valueBounds[0] = 0;
  s.valueBounds[1] = 3;
  s.valueBounds[2] = 6;
  s.valueList = {"x", "y", "z"};
  auto* se = dynamic_cast<ICaptionControl*>(t.R().CreateSeMenu(s));
  ASSERT_NE(se, nullptr);
  EXPECT_EQ(se->TextStyle().colour, IColour(255, 0, 0, 0));
  const MidiMapRecord* r = t.Record(kFXPassToFXConfig);
  EXPECT_EQ(r->kind, MidiMapRecord::kSysExTable);
  ASSERT_EQ(r->sysExMessages.size(), 4u);
  EXPECT_EQ(r->sysExMessages[0][8], 3);
  EXPECT_EQ(r->sysExMessages[1][8], 4);
  EXPECT_EQ(r->sysExMessages[3][8], 6);
  EXPECT_EQ(t.P(kFXPassToFXConfig)->Max(), 2);

  // multiFx menus: patch numbers padded, colours by visibility, no record.
  ControlElement m = Factories::Element("Patch", kMultiPartPatch + 1, 10, 10);
  m.position[2] = 40;
  m.position[3] = 12;
  m.valueBounds[2] = 128;
  m.valueDisplay[0] = 1;
  m.valueDisplay[1] = 128;
  m.visible = 1;
  auto* fx = dynamic_cast<ICaptionControl*>(t.R().CreateMultiFxMenu(m));
  ASSERT_NE(fx, nullptr);
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(0), "001");
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(8), "009");
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(9), "010");
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(98), "099");
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(99), "100");
  EXPECT_STREQ(t.P(kMultiPartPatch + 1)->ValueText(127), "128");
  EXPECT_EQ(fx->TextStyle().colour, IColour(255, 0, 174, 255));
  EXPECT_EQ(fx->Rect(), IRectangle(10, 10, 50, 22));
  EXPECT_EQ(t.Record(kMultiPartPatch + 1), nullptr);
  m.paramIdx = kMultiPartLevel;
  m.visible = 0;
  auto* hidden = dynamic_cast<ICaptionControl*>(t.R().CreateMultiFxMenu(m));
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(hidden->TextStyle().colour.A, 0);
  EXPECT_STREQ(t.P(kMultiPartLevel)->ValueText(0), "1");
}
