#include "FactoryTestSupport.h"

#include "framework/controls/IFaderControl.h"
#include "framework/controls/IKnobMultiControl.h"

#include <gtest/gtest.h>

TEST(KnobFactories, CcKnobNamesChannelsAndSteps)
{
  Factories t(1.15);
  LayerGroup* mixer = t.Layer("miniMixer");

  // In a mixer layer the part comes from the parameter: 1650 is the cutoff of part 3.
  ControlElement e = Factories::Element("Cutoff", kFilterCutoff + 2, 100, 50, -1, mixer, "Filter");
  e.imageId = "IKNOBROTATERCONTROL_ID2";
  e.ccNumber = 74;
  e.channel = 9;
  e.valueBounds[0] = 64;
  e.valueBounds[1] = 0;
  e.valueBounds[2] = 127;
  e.valueBounds[3] = 0; // a step below 1 counts as 1
  auto* knob = dynamic_cast<IKnobMultiControl*>(t.R().CreateCcKnob(e));
  ASSERT_NE(knob, nullptr);
  IParameter* p = t.P(kFilterCutoff + 2);
  EXPECT_STREQ(p->Name(), "[3] Cutoff");
  EXPECT_STREQ(p->Group(), "Part 3:Filter");
  EXPECT_EQ(p->Type(), IParameter::kTypeContinuous);
  EXPECT_EQ(p->Default(), 64);
  EXPECT_EQ(p->Min(), 0);
  EXPECT_EQ(p->Max(), 127);
  EXPECT_EQ(p->Step(), 1);
  MidiMapRecord* r = t.Record(kFilterCutoff + 2);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->kind, MidiMapRecord::kCc);
  EXPECT_EQ(r->channel, 3);
  EXPECT_EQ(r->blockFlag, 0);
  EXPECT_EQ(r->ccNumber, 74);
  EXPECT_EQ(r->boundControls, std::vector<IControl*>{knob});
  EXPECT_EQ(t.R().FindInCcMap(3, 74, 0), knob);
  EXPECT_EQ(t.R().FindInCcMap(3, 74, 1), nullptr);
  EXPECT_EQ(mixer->NumControls(), 1);
  // Position scaled, the first frame of the 128-frame strip, dragged vertically with gearing 4.
  const IBitmapStrip strip = t.R().GetImage("IKNOBROTATERCONTROL_ID2");
  EXPECT_EQ(knob->Strip().frames, 128);
  EXPECT_EQ(knob->Strip().bitmap, strip.bitmap);
  EXPECT_EQ(knob->Rect().L, t.Scaled(100));
  EXPECT_EQ(knob->Rect().T, t.Scaled(50));
  EXPECT_EQ(knob->Rect().W(), strip.width);
  EXPECT_EQ(knob->Rect().H(), strip.height / 128);
  EXPECT_EQ(knob->Direction(), IKnobMultiControl::kVertical);
  EXPECT_EQ(knob->Gearing(), 4.0);

  // An explicit step is kept; outside the listed layers the part prefix uses the part index...
  ControlElement s = Factories::Element("Detune", kOscillator1Detune + 5, 0, 0, 5);
  s.ccNumber = 20;
  s.valueBounds[2] = 64;
  s.valueBounds[3] = 4;
  ASSERT_NE(t.R().CreateCcKnob(s), nullptr);
  EXPECT_STREQ(t.P(kOscillator1Detune + 5)->Name(), "[6] Detune");
  EXPECT_EQ(t.P(kOscillator1Detune + 5)->Step(), 4);
  EXPECT_EQ(t.Record(kOscillator1Detune + 5)->channel, 6);
  // ...except for the part panning, which keeps its name.
  ControlElement pan = Factories::Element("Pan", kMultiPartPanning + 2, 0, 0, 2);
  ASSERT_NE(t.R().CreateCcKnob(pan), nullptr);
  EXPECT_STREQ(t.P(kMultiPartPanning + 2)->Name(), "Pan");
  // A multi-mode effect parameter is reached on the global channel.
  ControlElement fx = Factories::Element("Drive", kFXMultiDistortionOverdrive + 1, 0, 0, 1);
  fx.ccNumber = 100;
  ASSERT_NE(t.R().CreateCcKnob(fx), nullptr);
  EXPECT_EQ(t.Record(kFXMultiDistortionOverdrive + 1)->blockFlag, 1);
  EXPECT_EQ(t.R().FindInCcMap(2, 100, 1), t.Record(kFXMultiDistortionOverdrive + 1)->boundControls[0]);

  // In a delay or panning layer the part comes from the parameter, the channel from the element.
  LayerGroup* panning = t.Layer("partPanning3");
  ControlElement d = Factories::Element("Pan Pos", kFXMultiPanPosition + 1, 0, 0, 6, panning);
  d.channel = 9;
  d.ccNumber = 10;
  ASSERT_NE(t.R().CreateCcKnob(d), nullptr);
  EXPECT_STREQ(t.P(kFXMultiPanPosition + 1)->Name(), "[2] Pan Pos");
  EXPECT_STREQ(t.P(kFXMultiPanPosition + 1)->Group(), "Part 2");
  EXPECT_EQ(t.Record(kFXMultiPanPosition + 1)->channel, 9);
  EXPECT_EQ(t.Record(kFXMultiPanPosition + 1)->blockFlag, 1);

  // Out-of-byte numbers are clamped into the record.
  ControlElement big = Factories::Element("Big", kOscillator2Detune, 0, 0, 0);
  big.ccNumber = 300;
  ASSERT_NE(t.R().CreateCcKnob(big), nullptr);
  EXPECT_EQ(t.Record(kOscillator2Detune)->ccNumber, 127);

  // An index outside the table builds nothing and says so.
  const int before = t.f.graphics->NumControls();
  EXPECT_EQ(t.R().CreateCcKnob(Factories::Element("Nowhere", 9000, 0, 0)), nullptr);
  EXPECT_EQ(t.R().CreateCcKnob(Factories::Element("Nowhere", -1, 0, 0)), nullptr);
  EXPECT_EQ(t.f.graphics->NumControls(), before);
  EXPECT_TRUE(t.Logged("Nowhere: parameter index 9000 outside the table"));
}

TEST(KnobFactories, NrpnAndSysExKnobsAndLinks)
{
  Factories t;
  ControlElement e =
      Factories::Element("Vocoder Width", kMultiVocoderWidth, 10, 10, -1, t.Layer("vocoderPage"));
  e.ccNumber = 99;
  e.msbValue = 1;
  e.lsbValue = 2;
  e.lsbControl = 98;
  e.valueBounds[2] = 127;
  IControl* knob = t.R().CreateMsbLsbKnob(e);
  ASSERT_NE(knob, nullptr);
  MidiMapRecord* r = t.Record(kMultiVocoderWidth);
  EXPECT_EQ(r->kind, MidiMapRecord::kNrpn);
  EXPECT_EQ(r->channel, 16);
  EXPECT_EQ(r->blockFlag, 1);
  EXPECT_EQ(r->nrpnMsb, 1);
  EXPECT_EQ(r->nrpnValueOffset, 2);
  EXPECT_EQ(r->nrpnLsb, 98);
  EXPECT_STREQ(t.P(kMultiVocoderWidth)->Name(), "[0] Vocoder Width");
  EXPECT_EQ(t.R().FindInNrpnMap(16, 1, 2, 98, 1), knob);
  EXPECT_EQ(t.R().FindInNrpnMap(16, 1, 2, 98, 0), nullptr);

  // A per-part SysEx knob: one message per value, the part in the byte the document names.
  ControlElement s = Factories::Element("Level", kOscillator1Detune + 2, 0, 0, 2);
  s.sysexIndex = 0;
  s.changingByte = 11;
  s.msgZeroVal = 0;
  s.valueBounds[0] = 10;
  s.valueBounds[1] = 0;
  s.valueBounds[2] = 100;
  s.link = IntTriple{kOscillator2Detune + 2, kOscillator3Detune + 2, 5};
  IControl* se = t.R().CreateSeKnob(s);
  ASSERT_NE(se, nullptr);
  MidiMapRecord* sr = t.Record(kOscillator1Detune + 2);
  EXPECT_EQ(sr->kind, MidiMapRecord::kSysExTable);
  ASSERT_EQ(sr->sysExMessages.size(), 101u);
  for (int v : {0, 50, 100})
  {
    const SysExBytes& m = sr->sysExMessages[size_t(v)];
    EXPECT_EQ(m, (SysExBytes{0xF0, 0, 0x20, 0x29, 1, 0x24, 0x0F, 1, 2, 0x10, v, 0xF7})) << v;
  }
  EXPECT_EQ(t.R().FindInSysExMap(0x29, 1, 0x24, 0x0F, 0), se);
  // The link goes both ways; the far end gets a record of its own.
  EXPECT_EQ(sr->link, (IntTriple{kOscillator2Detune + 2, kOscillator3Detune + 2, 5}));
  ASSERT_NE(t.Record(kOscillator2Detune + 2), nullptr);
  EXPECT_EQ(t.Record(kOscillator2Detune + 2)->kind, MidiMapRecord::kSysExTable);
  EXPECT_EQ(t.Record(kOscillator2Detune + 2)->link,
            (IntTriple{kOscillator1Detune + 2, kOscillator3Detune + 2, -1}));

  // Hostile definitions and links build nothing at all.
  const int before = t.f.graphics->NumControls();
  for (int index : {2, 3, 4, -1})
  {
    ControlElement bad = s;
    bad.paramIdx = kOscillator3Detune;
    bad.sysexIndex = index;
    bad.link = IntTriple();
    EXPECT_EQ(t.R().CreateSeKnob(bad), nullptr) << index;
  }
  ControlElement outside = s;
  outside.paramIdx = kOscillator3Detune;
  outside.changingByte = 40;
  outside.link = IntTriple();
  EXPECT_EQ(t.R().CreateSeKnob(outside), nullptr);
  ControlElement badLink = s;
  badLink.paramIdx = kOscillator3Detune;
  badLink.link = IntTriple{7000, 8, -1};
  EXPECT_EQ(t.R().CreateSeKnob(badLink), nullptr);
  EXPECT_EQ(t.Record(kOscillator3Detune), nullptr);
  EXPECT_STREQ(t.P(kOscillator3Detune)->Name(), "");
  EXPECT_EQ(t.f.graphics->NumControls(), before);
  EXPECT_TRUE(t.Logged("is not a list of hexadecimal bytes"));
  EXPECT_TRUE(t.Logged("has no template"));
  EXPECT_TRUE(t.Logged("changing byte 40 lies outside the template"));
  EXPECT_TRUE(t.Logged("link to parameter 7000 outside the table"));

  // "multiFx" knobs set up their parameter and get no record.
  ControlElement m = Factories::Element("FX Level", kMultiPartLevel, 0, 0);
  m.valueBounds[2] = 127;
  ASSERT_NE(t.R().CreateMultiFxKnob(m), nullptr);
  EXPECT_EQ(t.P(kMultiPartLevel)->Max(), 127);
  EXPECT_EQ(t.Record(kMultiPartLevel), nullptr);
}

TEST(KnobFactories, Sliders)
{
  Factories t(0.85);
  ControlElement e = Factories::Element("Volume", kMultiPartLevel + 1, 200, 100, 1);
  e.imageId = "SLIDER_PYSTY";
  e.length = 120;
  e.channel = 4;
  e.ccNumber = 7;
  e.valueBounds[2] = 127;
  auto* fader = dynamic_cast<IFaderControl*>(t.R().CreateCcSlider(e, false));
  ASSERT_NE(fader, nullptr);
  EXPECT_FALSE(fader->IsHorizontal());
  EXPECT_EQ(fader->Length(), t.Scaled(120));
  EXPECT_EQ(fader->Rect().L, t.Scaled(200));
  EXPECT_STREQ(t.P(kMultiPartLevel + 1)->Name(), "[2] Volume");
  EXPECT_EQ(t.Record(kMultiPartLevel + 1)->channel, 4);
  EXPECT_EQ(t.Record(kMultiPartLevel + 1)->blockFlag, 0);
  EXPECT_EQ(t.R().FindInCcMap(4, 7, 0), fader);

  // A SysEx slider outside any part registers with fifth key byte 1.
  ControlElement s = Factories::Element("Tune", kGlobalMasterTune, 0, 0);
  s.imageId = "SLIDER_VAAKA";
  s.sysexIndex = 1;
  s.changingByte = 9;
  s.msgZeroVal = 64;
  s.valueBounds[1] = -64;
  s.valueBounds[2] = 63;
  auto* hor = dynamic_cast<IFaderControl*>(t.R().CreateSeSlider(s, true));
  ASSERT_NE(hor, nullptr);
  EXPECT_TRUE(hor->IsHorizontal());
  EXPECT_EQ(t.P(kGlobalMasterTune)->Min(), -64);
  const MidiMapRecord* r = t.Record(kGlobalMasterTune);
  ASSERT_EQ(r->sysExMessages.size(), 128u);
  EXPECT_EQ(r->sysExMessages[0][8], 0);
  EXPECT_EQ(r->sysExMessages[64][8], 64);
  EXPECT_EQ(r->sysExMessages[127][8], 127);
  EXPECT_EQ(r->sysExMessages[127][7], 0x10) << "a global template carries no part";
  EXPECT_EQ(t.R().FindInSysExMap(0x29, 1, 0x21, 0x7F, 1), hor);
  EXPECT_EQ(t.R().FindInSysExMap(0x29, 1, 0x21, 0x7F, 0), nullptr);
}
