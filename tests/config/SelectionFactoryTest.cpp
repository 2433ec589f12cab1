#include "FactoryTestSupport.h"

#include "framework/controls/ICaptionControl.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "platform/midi/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

TEST(SelectionFactories, DisplayAndTextSelections)
{
  Factories t(1.15);
  ControlElement d = Factories::Element("Display", kControlDisplayName, 0, 0);
  d.bounds[0] = 100;
  d.bounds[1] = 10;
  d.bounds[2] = 200;
  d.bounds[3] = 20;
  auto* display = dynamic_cast<ITextControl*>(t.R().CreateDisplay(d));
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(display->Rect(), IRectangle(t.Scaled(100), t.Scaled(10), t.Scaled(100) + t.Scaled(200),
                                        t.Scaled(10) + t.Scaled(20)));
  EXPECT_EQ(display->TextStyle().size, t.Scaled(20));
  EXPECT_EQ(display->TextStyle().colour, IColour(255, 255, 255, 255));
  EXPECT_EQ(display->ParamIdx(), -1) << "the display is reached through the record, not bound";
  EXPECT_TRUE(display->NoPrompt());
  ASSERT_NE(t.Record(kControlDisplayName), nullptr);
  EXPECT_EQ(t.Record(kControlDisplayName)->boundControls, std::vector<IControl*>{display});

  ControlElement s = d;
  s.name = "Category";
  s.paramIdx = kCategorySelection;
  auto* text = dynamic_cast<ICaptionControl*>(t.R().CreateTextSelection(s));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(t.P(kCategorySelection)->Type(), IParameter::kTypeEnumerated);
  EXPECT_STREQ(t.P(kCategorySelection)->ValueText(0), "----");
  EXPECT_TRUE(text->NoPrompt());
  EXPECT_EQ(text->TextStyle().colour, IColour(255, 210, 59, 59));

  // Names: the starting text by parameter, the entry length from the element.
  struct NameCase
  {
    int index;
    const char* text;
    IColour colour;
  };
  for (const NameCase& c : {NameCase{kMultiName, "Init Multi", IColour(255, 26, 180, 232)},
                            NameCase{kPatchName + 7, "-- INIT --", IColour(255, 26, 180, 232)},
                            NameCase{kPatchRename, "New Name", IColour(255, 225, 225, 225)},
                            NameCase{kPatchSearchString, "search...", IColour(255, 225, 225, 225)},
                            NameCase{kPatternName, "INIT", IColour(255, 26, 180, 232)}})
  {
    ControlElement n = d;
    n.name = "Name";
    n.paramIdx = c.index;
    n.nameLen = 16;
    auto* name = dynamic_cast<ICaptionControl*>(t.R().CreateNameSelection(n));
    ASSERT_NE(name, nullptr) << c.index;
    EXPECT_EQ(t.P(c.index)->Type(), IParameter::kTypeText);
    EXPECT_STREQ(t.P(c.index)->ValueText(0), c.text);
    EXPECT_EQ(name->TextStyle().colour, c.colour) << c.index;
    EXPECT_EQ(name->TextEntryLength(), 16);
    EXPECT_FALSE(name->NoPrompt());
  }

  // A drop selection takes its texts only from a list of the right length.
  ControlElement drop = d;
  drop.name = "Bank";
  drop.paramIdx = kBankSelection;
  drop.valueBounds[2] = 3;
  drop.valueList = {"A", "B", "C"};
  ASSERT_NE(t.R().CreateDropSelection(drop), nullptr);
  EXPECT_STREQ(t.P(kBankSelection)->ValueText(2), "C");
  drop.paramIdx = kPatchSelection;
  drop.valueList = {"A"};
  drop.valueDisplay[0] = 1;
  drop.valueDisplay[1] = 9;
  EXPECT_EQ(t.R().CreateDropSelection(drop), nullptr);
  EXPECT_EQ(t.Record(kPatchSelection), nullptr);
  EXPECT_TRUE(t.Logged("value list has 1 entries for 3 values, NOT BUILT!"));
}

// The device menus list the ports when they are opened, not when the editor is built: listing
// makes a MIDI client.
TEST(SelectionFactories, DeviceSelectionListsThePortsWhenOpened)
{
  Factories t;
  auto backend = std::make_shared<LoopbackMidiBackend>();
  backend->AddSourcePort("Synth In A");
  backend->AddSourcePort("Synth In B");
  backend->AddDestinationPort("Synth Out");
  ASSERT_TRUE(t.f.plug.MidiPorts().SetBackend(backend));

  ControlElement e = Factories::Element("MIDI Setup", kDeviceInSelection, 0, 0, -1, nullptr, "Setup");
  e.bounds[2] = 100;
  e.bounds[3] = 14;
  e.inputDev = 1;
  auto* in = dynamic_cast<IDeviceMenuControl*>(t.R().CreateDeviceSelection(e));
  ASSERT_NE(in, nullptr);
  IParameter* p = t.P(kDeviceInSelection);
  EXPECT_STREQ(p->Name(), "Device Selection");
  EXPECT_STREQ(p->Group(), "");
  EXPECT_EQ(p->Type(), IParameter::kTypeEnumerated);
  EXPECT_EQ(p->ValueTextCount(), 1);
  EXPECT_STREQ(p->ValueText(0), "Select MIDI Device");
  EXPECT_EQ(in->TextStyle().colour, IColour(255, 0, 174, 255));
  EXPECT_FALSE(in->NoPrompt());
  EXPECT_TRUE(in->Input());
  EXPECT_EQ(backend->ClientsCreated(), 0);

  IMouseMod left;
  left.L = true;
  in->OnMouseDown(0, 0, left);
  EXPECT_EQ(p->Max(), 2);
  EXPECT_STREQ(p->ValueText(0), "Select MIDI Device");
  EXPECT_STREQ(p->ValueText(1), "Synth In A");
  EXPECT_STREQ(p->ValueText(2), "Synth In B");

  e.paramIdx = kDeviceOutSelection;
  e.inputDev = 0;
  auto* out = dynamic_cast<IDeviceMenuControl*>(t.R().CreateDeviceSelection(e));
  ASSERT_NE(out, nullptr);
  EXPECT_FALSE(out->Input());
  out->OnMouseDblClick(0, 0, left);
  EXPECT_EQ(t.P(kDeviceOutSelection)->Max(), 1);
  EXPECT_STREQ(t.P(kDeviceOutSelection)->ValueText(1), "Synth Out");
  t.f.plug.CloseMidiPorts();
}
