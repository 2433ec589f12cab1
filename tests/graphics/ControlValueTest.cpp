#include "GraphicsTestSupport.h"

#include "framework/controls/ICaptionControl.h"
#include "framework/controls/ITextControl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

TEST(ControlValues, FirstValueIsTheDefaultAndDoubleClickRestoresIt)
{
  HostlessPlug plug;
  CountingControl c(&plug, IRectangle(0, 0, 10, 10), 4);
  EXPECT_TRUE(c.NeedsRedraw()); // painted once after the window opens
  c.TakeRedrawRequest();

  c.OnMouseDblClick(1, 1, IMouseMod()); // no default yet
  EXPECT_DOUBLE_EQ(c.Value(), 0.0);
  EXPECT_TRUE(plug.automated.empty());

  c.ReceivePluginValue(0.25);
  EXPECT_DOUBLE_EQ(c.Value(), 0.25);
  EXPECT_DOUBLE_EQ(c.DefaultValue(), 0.25);
  EXPECT_FALSE(c.IsDirty());
  EXPECT_FALSE(c.NeedsRedraw());

  c.ReceivePluginValue(0.8);
  EXPECT_TRUE(c.IsDirty());
  EXPECT_DOUBLE_EQ(c.DefaultValue(), 0.25);
  EXPECT_TRUE(plug.automated.empty()); // values from the plug-in never push back

  c.OnMouseDblClick(1, 1, IMouseMod());
  EXPECT_DOUBLE_EQ(c.Value(), 0.25);
  ASSERT_EQ(plug.automated.size(), 1u);
  EXPECT_EQ(plug.automated[0], std::make_pair(4, 0.25));

  c.SetGreyed(true);
  c.SetValue(0.9);
  c.OnMouseDblClick(1, 1, IMouseMod());
  EXPECT_DOUBLE_EQ(c.Value(), 0.9);

  // A NaN always differs; clamping leaves it, and the next real value replaces it.
  c.ReceivePluginValue(std::nan(""));
  EXPECT_TRUE(std::isnan(c.Value()));
  c.ReceivePluginValue(0.5);
  EXPECT_DOUBLE_EQ(c.Value(), 0.5);
}

TEST(ControlValues, PushingClampsAndFillsTheDisplays)
{
  HostlessPlug plug;
  IParameter* withTexts = plug.ParameterAt(10);
  withTexts->SetupEnumerated("Wave", 0, 3, "");
  withTexts->AddValueText(0, "Saw");
  withTexts->AddValueText(1, "Square");
  withTexts->AddValueText(2, "Noise");
  IParameter* plain = plug.ParameterAt(11);
  plain->SetupContinuous("Cutoff", 0.0, 0.0, 10.0, 0.01, "");

  ITextControl valueDisplay(&plug, IRectangle(0, 0, 50, 10), ITextStyle());
  ITextControl nameDisplay(&plug, IRectangle(0, 10, 50, 20), ITextStyle());
  CountingControl wave(&plug, IRectangle(0, 0, 10, 10), 10);
  wave.SetValueDisplay(&valueDisplay);
  wave.SetNameDisplay(&nameDisplay);
  wave.SetValueAndPushToPlug(0.5);
  EXPECT_DOUBLE_EQ(withTexts->Value(), 1.0);
  EXPECT_TRUE(valueDisplay.TextEquals("Square"));
  EXPECT_TRUE(nameDisplay.TextEquals("Wave"));
  EXPECT_TRUE(wave.IsDirty());
  EXPECT_DOUBLE_EQ(wave.DefaultValue(), -1.0);

  CountingControl cutoff(&plug, IRectangle(0, 0, 10, 10), 11);
  cutoff.SetValueDisplay(&valueDisplay);
  cutoff.SetValue(1.7);
  cutoff.RequestRedraw(true);
  EXPECT_DOUBLE_EQ(cutoff.Value(), 1.0);
  EXPECT_TRUE(valueDisplay.TextEquals("10.00"));
  cutoff.SetValue(0.25);
  cutoff.RequestRedrawFromUser(true);
  EXPECT_TRUE(valueDisplay.TextEquals("2.50"));
  ASSERT_FALSE(plug.secondaryChanged.empty());
  EXPECT_EQ(plug.secondaryChanged.back(), 11);

  // Aux bindings mirror further parameters.
  TestGraphics g(&plug);
  auto* mirror = new CountingControl(&plug, IRectangle(0, 0, 10, 10), 20);
  mirror->AddAuxParam(30);
  mirror->AddAuxParam(31);
  g.AddControl(mirror);
  g.SyncParameterToControls(31, 0.4, true);
  EXPECT_DOUBLE_EQ(mirror->AuxValue(1), 0.4);
  EXPECT_DOUBLE_EQ(mirror->AuxValue(0), 0.0);
  EXPECT_DOUBLE_EQ(mirror->Value(), 0.0);
  EXPECT_TRUE(mirror->IsDirty());
}

TEST(ControlValues, SyncOfPlainValues)
{
  HostlessPlug plug;
  IParameter* p = plug.ParameterAt(12);
  p->SetType(IParameter::kTypeEnumerated);
  p->SetupContinuous("Level", 0.0, 0.0, 127.0, 1.0, "");
  TestGraphics g(&plug);
  auto* c = new CountingControl(&plug, IRectangle(0, 0, 10, 10), 12);
  g.AddControl(c);

  g.SyncParameterToControls(12, 500.0, false);
  EXPECT_DOUBLE_EQ(c->Value(), 1.0);
  EXPECT_DOUBLE_EQ(p->Value(), 127.0);
  g.SyncParameterToControls(12, 63.5, false);
  EXPECT_DOUBLE_EQ(c->Value(), 63.5 / 127.0);
  EXPECT_DOUBLE_EQ(p->Value(), 64.0); // snapped to the step

  // An unusable scale (zero shape) or a missing parameter changes nothing.
  p->SetShape(0.0);
  g.SyncParameterToControls(12, 10.0, false);
  EXPECT_DOUBLE_EQ(c->Value(), 63.5 / 127.0);
  EXPECT_DOUBLE_EQ(p->Value(), 64.0);
  g.SyncParameterToControls(99999, 10.0, false);
  g.SyncParameterToControls(-1, 10.0, false);
  EXPECT_DOUBLE_EQ(c->Value(), 63.5 / 127.0);
}

TEST(ControlValues, PromptMenusAndTypedText)
{
  HostlessPlug plug;
  auto* editor = new TestGraphics(&plug); // the plug-in owns its editor
  TestGraphics& g = *editor;
  plug.AttachEditor(editor);
  IParameter* wave = plug.ParameterAt(10);
  wave->SetupEnumerated("Wave", 1, 3, "");
  wave->AddValueText(0, "Saw");
  wave->AddValueText(1, "Square");
  wave->AddValueText(2, "Noise");
  IParameter* cutoff = plug.ParameterAt(11);
  cutoff->SetupContinuous("Cutoff", 0.0, -5.0, 5.0, 0.01, "");

  auto* waveCaption = new ICaptionControl(&plug, IRectangle(10, 10, 60, 30), 10, ITextStyle());
  waveCaption->SetNoPrompt(false);
  g.AddControl(waveCaption);
  auto* knob = new CountingControl(&plug, IRectangle(100, 40, 140, 80), 11);
  knob->SetNoPrompt(false);
  g.AddControl(knob);

  // Enumerated with texts: a menu with the current text checked; the choice is pushed.
  g.menuChoice = 2;
  waveCaption->OnMouseDown(20, 20, IMouseMod(true, false));
  EXPECT_EQ(g.lastMenuTexts, (std::vector<std::string>{"Saw", "Square", "Noise"}));
  EXPECT_EQ(g.lastMenuChecked, 1);
  EXPECT_EQ(g.lastPromptRect, IRectangle(10, 10, 60, 30));
  EXPECT_DOUBLE_EQ(waveCaption->Value(), 1.0);
  EXPECT_DOUBLE_EQ(wave->Value(), 2.0);

  // A number typed for an enumerated parameter counts when no text matches.
  g.SetValueFromText(waveCaption, wave, "Square");
  EXPECT_DOUBLE_EQ(wave->Value(), 1.0);
  g.SetValueFromText(waveCaption, wave, "2");
  EXPECT_DOUBLE_EQ(wave->Value(), 2.0);
  g.SetValueFromText(waveCaption, wave, "square"); // case matters; not a number: 0
  EXPECT_DOUBLE_EQ(wave->Value(), 0.0);

  // A parameter without texts: a text entry in a 30 x 16 box centred on the control.
  knob->OnMouseDown(120, 60, IMouseMod(false, true));
  EXPECT_EQ(g.entryControl, knob);
  EXPECT_EQ(g.entryText, "0.00");
  EXPECT_EQ(g.lastPromptRect, IRectangle(105, 52, 135, 68));
  g.SetValueFromText(knob, cutoff, "  2.5e0xyz");
  EXPECT_DOUBLE_EQ(knob->Value(), 0.75);
  EXPECT_DOUBLE_EQ(cutoff->Value(), 2.5);
  g.SetValueFromText(knob, cutoff, "letters"); // 0 inside the range
  EXPECT_DOUBLE_EQ(cutoff->Value(), 0.0);
  g.SetValueFromText(knob, cutoff, "-1e9"); // clamped
  EXPECT_DOUBLE_EQ(cutoff->Value(), -5.0);
  g.SetValueFromText(knob, cutoff, "nan");
  EXPECT_DOUBLE_EQ(cutoff->Value(), 0.0);

  // The no-prompt flag, and a greyed control, open nothing.
  g.entryControl = nullptr;
  knob->SetNoPrompt(true);
  knob->OnMouseDown(120, 60, IMouseMod(false, true));
  knob->SetNoPrompt(false);
  knob->SetGreyed(true);
  knob->OnMouseDown(120, 60, IMouseMod(false, true));
  EXPECT_EQ(g.entryControl, nullptr);

  // A text parameter: the typed text becomes the text of value 0.
  IParameter* name = plug.ParameterAt(12);
  name->SetupContinuous("Name", 0.0, 0.0, 0.0, 1.0, "");
  name->SetType(IParameter::kTypeText);
  name->AddValueText(0, "INIT");
  auto* nameCaption = new ICaptionControl(&plug, IRectangle(0, 50, 80, 70), 12, ITextStyle());
  nameCaption->SetNoPrompt(false);
  g.AddControl(nameCaption);
  nameCaption->OnMouseDown(5, 55, IMouseMod(true, false));
  EXPECT_EQ(g.entryText, "INIT");
  g.SetValueFromText(nameCaption, name, "Warm Pad");
  EXPECT_STREQ(name->ValueText(0), "Warm Pad");
  EXPECT_DOUBLE_EQ(nameCaption->Value(), 0.0);
  EXPECT_DOUBLE_EQ(name->Value(), 0.0);
  char caption[64];
  nameCaption->CaptionText(caption, sizeof(caption));
  EXPECT_STREQ(caption, "Warm Pad");
}

// A transfer job greys controls and reads parameter values on its own thread while the editor's
// thread sets values and draws: each crossing is one whole word (ThreadSanitizer checks it).
TEST(ControlValues, GreyingAndParameterValuesCrossThreadsWhole)
{
  HostlessPlug plug;
  plug.ParameterAt(3)->SetupContinuous("Cutoff", 0.0, 0.0, 1.0, 0.01, "");
  CountingControl c(&plug, IRectangle(0, 0, 10, 10), 3);
  std::atomic<bool> done{false};
  std::thread job(
      [&]
      {
        for (int i = 0; i < 2000; ++i)
        {
          c.SetGreyed(i % 2 == 0);
          const double v = plug.ParameterAt(3)->Value();
          EXPECT_TRUE(v == 0.0 || v == 0.25 || v == 0.75) << v;
        }
        done = true;
      });
  for (int i = 0; !done; ++i)
  {
    plug.ParameterAt(3)->SetClamped(i % 2 ? 0.25 : 0.75);
    const float alpha = c.Blend().alpha;
    EXPECT_TRUE(alpha == 0.5f || alpha == 1.0f) << alpha;
  }
  job.join();
  c.SetGreyed(true);
  EXPECT_FLOAT_EQ(c.Blend().alpha, 0.5f);
  c.SetGreyed(false);
  EXPECT_FLOAT_EQ(c.Blend().alpha, 1.0f);
}
