#include "FactoryTestSupport.h"

#include "framework/controls/IContactControl.h"
#include "framework/controls/ISwitchControl.h"

#include <gtest/gtest.h>

TEST(ButtonFactories, SwitchesAndContactButtons)
{
  Factories t(1.15);
  ControlElement e = Factories::Element("Lock", kPartLock + 3, 10, 20, 3, nullptr, "Locks");
  e.imageId = "BUTTON_LOCK_WHITE_ID";
  e.valueBounds[0] = 5; // any non-zero default is "on"
  auto* sw = dynamic_cast<ISwitchControl*>(t.R().CreateSwitch(e));
  ASSERT_NE(sw, nullptr);
  IParameter* p = t.P(kPartLock + 3);
  EXPECT_STREQ(p->Name(), "Lock");
  EXPECT_STREQ(p->Group(), "Part 4:Locks");
  EXPECT_EQ(p->Type(), IParameter::kTypeBool);
  EXPECT_EQ(p->Default(), 1);
  EXPECT_EQ(p->Max(), 1);
  EXPECT_STREQ(p->ValueText(0), "off");
  EXPECT_STREQ(p->ValueText(1), "on");
  EXPECT_EQ(t.Record(kPartLock + 3)->kind, MidiMapRecord::kNone);
  const IBitmapStrip strip = t.R().GetImage("BUTTON_LOCK_WHITE_ID");
  EXPECT_EQ(sw->Rect(), IRectangle(t.Scaled(10), t.Scaled(20), t.Scaled(10) + strip.width,
                                   t.Scaled(20) + strip.height / 2));
  EXPECT_EQ(sw->Strip().frames, 2);
  EXPECT_EQ(t.f.graphics->GetControl(t.f.graphics->NumControls() - 1), sw) << "no parent: into the editor";

  ControlElement a = Factories::Element("Trigger", kTriggerProgControl, 0, 0);
  a.valueBounds[0] = 1;
  ASSERT_NE(dynamic_cast<IContactControl*>(t.R().CreateAutoOffButton(a)), nullptr);
  EXPECT_EQ(t.P(kTriggerProgControl)->Default(), 0) << "an auto-off button always starts off";

  // The cancel button of the progress overlay: always the cancel parameter, group of part 1.
  LayerGroup* overlay = t.Layer("PROGRESS");
  IContactControl* cancel =
      t.R().CreateContactButton("Cancel Data Request", 835, 457, "BUTTON_LIB_CANCEL_ID", overlay, "Global");
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->ParamIdx(), kCancelDataRequest);
  EXPECT_STREQ(t.P(kCancelDataRequest)->Group(), "Part 1:Global");
  EXPECT_EQ(cancel->Rect().L, t.Scaled(835));
  EXPECT_EQ(overlay->GetControl(0), cancel);
  IContactControl* second =
      t.R().CreateContactButton("Cancel Data Request", 740, 83, "BUTTON_LIB_CANCEL_ID", nullptr, "Global");
  EXPECT_EQ(t.Record(kCancelDataRequest)->boundControls, (std::vector<IControl*>{cancel, second}));
}

TEST(ButtonFactories, MidiButtons)
{
  Factories t;
  // ccButton: off and on values, channel of the part, plain name only in the mixer.
  ControlElement c = Factories::Element("Arp Latch", 2200 + 4, 0, 0, 4);
  c.ccNumber = 64;
  c.valueBounds[0] = 0;
  c.valueBounds[1] = 0;
  c.valueBounds[2] = 127;
  IControl* cc = t.R().CreateCcButton(c);
  ASSERT_NE(cc, nullptr);
  MidiMapRecord* r = t.Record(2204);
  EXPECT_EQ(r->kind, MidiMapRecord::kCcOffOn);
  EXPECT_EQ(r->offValue, 0);
  EXPECT_EQ(r->onValue, 127);
  EXPECT_EQ(r->channel, 5);
  EXPECT_STREQ(t.P(2204)->Name(), "[5] Arp Latch");
  EXPECT_EQ(t.R().FindInCcMap(5, 64, 0), cc);
  ControlElement m = Factories::Element("Mute", kMultiPartStatus + 1, 0, 0, 1, t.Layer("multiModeMixer"));
  m.channel = 2;
  m.ccNumber = 9;
  m.valueBounds[2] = 200; // clamped to a data byte
  ASSERT_NE(t.R().CreateCcButton(m), nullptr);
  EXPECT_STREQ(t.P(kMultiPartStatus + 1)->Name(), "Mute");
  EXPECT_EQ(t.Record(kMultiPartStatus + 1)->onValue, 127);

  // msbLsbButton on the vocoder sibilance type outside the mixer: channel 16, block 1.
  ControlElement n =
      Factories::Element("Sibilance", kMultiVocoderSibilanceType, 0, 0, -1, t.Layer("somewhere"));
  n.ccNumber = 99;
  n.msbValue = 3;
  n.lsbValue = 4;
  n.lsbControl = 98;
  IControl* nrpn = t.R().CreateMsbLsbButton(n);
  ASSERT_NE(nrpn, nullptr);
  EXPECT_EQ(t.Record(kMultiVocoderSibilanceType)->kind, MidiMapRecord::kNrpn);
  EXPECT_EQ(t.Record(kMultiVocoderSibilanceType)->channel, 16);
  EXPECT_EQ(t.Record(kMultiVocoderSibilanceType)->blockFlag, 1);
  EXPECT_EQ(t.R().FindInNrpnMap(16, 3, 4, 98, 1), nrpn);
  // In an additional-settings layer the channel comes from the element.
  ControlElement a =
      Factories::Element("Poly", kMultiPartPolyphony + 2, 0, 0, 2, t.Layer("additionalSettingsPart3"));
  a.channel = 11;
  ASSERT_NE(t.R().CreateMsbLsbButton(a), nullptr);
  EXPECT_EQ(t.Record(kMultiPartPolyphony + 2)->channel, 11);
  EXPECT_EQ(t.Record(kMultiPartPolyphony + 2)->blockFlag, 0);
  EXPECT_STREQ(t.P(kMultiPartPolyphony + 2)->Name(), "Poly");

  // seButton: two messages, values 0 and 1.
  ControlElement s = Factories::Element("Arp On", kMultiArpSwitch + 6, 0, 0, 6);
  s.sysexIndex = 0;
  s.changingByte = 11;
  IControl* se = t.R().CreateSeButton(s);
  ASSERT_NE(se, nullptr);
  const MidiMapRecord* sr = t.Record(kMultiArpSwitch + 6);
  EXPECT_EQ(sr->kind, MidiMapRecord::kSysExPair);
  ASSERT_EQ(sr->sysExMessages.size(), 2u);
  EXPECT_EQ(sr->sysExMessages[0][10], 0);
  EXPECT_EQ(sr->sysExMessages[1][10], 1);
  EXPECT_EQ(sr->sysExMessages[1][8], 6);
  EXPECT_EQ(t.R().FindInSysExMap(0x29, 1, 0x24, 0x0F, 0), se);
}

TEST(ButtonFactories, LastFactoryWinsAndRecordsAreShared)
{
  Factories t;
  ControlElement k = Factories::Element("Mode", kArpDirection, 0, 0, 0);
  k.ccNumber = 30;
  k.valueBounds[2] = 3;
  IControl* knob = t.R().CreateCcKnob(k);
  ASSERT_NE(knob, nullptr);
  MidiMapRecord* record = t.Record(kArpDirection);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->kind, MidiMapRecord::kCc);

  // A radio built afterwards on the same parameter keeps the record and resets its kind.
  ControlElement r = Factories::Element("Mode", kArpDirection, 0, 0, 0);
  r.imageId = "BUTTON_TAB_TOPBAR_ID";
  r.buttons = 4;
  IControl* radio = t.R().CreateRadioButtons(r);
  ASSERT_NE(radio, nullptr);
  EXPECT_EQ(t.Record(kArpDirection), record);
  EXPECT_EQ(record->kind, MidiMapRecord::kNone);
  EXPECT_EQ(record->boundControls, (std::vector<IControl*>{knob, radio}));
  // The earlier registration stays where it was made.
  EXPECT_EQ(t.R().FindInCcMap(1, 30, 0), knob);

  // The reader takes its records back when it goes; the parameters outlive it.
  t.f.reader->ReleaseImages(t.f.graphics.get());
  t.f.reader.reset();
  EXPECT_EQ(t.P(kArpDirection)->MidiMap(), nullptr);
}
