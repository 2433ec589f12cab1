// The document generator on small hand-made sources: the elements it writes and the rules it
// enforces, each failure naming its source row.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/docgen/DocumentGenerator.h"
#include "tests/resources/SourceRows.h"
#include "tools/layout/Layout.h"

struct Generated
{
  Layout layout;
  ValueLists lists;
  SysExEntries sysex;
  std::string ui, sx;
  std::vector<std::string> errors;
  bool ok = false;
  Generated(const std::string& bindings, const std::string& layoutText, const std::string& listText = "",
            const std::string& sysexText = "")
  {
    std::string error;
    if (!layout.LoadText(bindings, layoutText))
    {
      errors = layout.Errors();
      return;
    }
    EXPECT_TRUE(lists.Parse(listText, error)) << error;
    EXPECT_TRUE(sysex.Parse(sysexText, error)) << error;
    DocumentGenerator gen(layout, lists, sysex);
    ok = gen.Generate();
    errors = gen.Errors();
    ui = gen.UiDocument();
    sx = gen.SysExDocument();
  }
  bool Has(const std::string& text) const { return ui.find(text) != std::string::npos; }
  bool Error(const std::string& text) const { return AnyHolds(errors, text); }
};

TEST(DocumentGenerator, WritesElementsByControlAndBindsMidiLastInTheHiddenLayer)
{
  std::string b = std::string(kBindingHeader) +
                  BindingRowText("kFilterCutoff", "8", "knob", 0, 127, "-", "cc", "105", "s mm") +
                  BindingRowText("kFilterType", "8", "menu", 0, 2, "ft", "nrpn", "0.1.3", "s") +
                  BindingRowText("kOscMode", "8", "switch", 0, 1, "-", "none", "-", "s") +
                  BindingRowText("kUnusedParam01", "8", "hidden", 0, 127, "-", "none", "-", "-");
  std::string l = "layer pages 3 {\n layer p 12 {\n  multilayer panel 8 { section s 208 98 4 2 \"S\" }\n }\n"
                  " layer q 13 { row mm2 58 147 2 30x35 part=1 as=mm }\n}\n";
  Generated g(b, l, "ft: A | B | C\n");
  ASSERT_TRUE(g.ok) << (g.errors.empty() ? "" : g.errors.front());
  // In the multilayer the part comes from the copy; outside it the element names part and channel.
  EXPECT_TRUE(g.Has("type=\"ccKnob\" name=\"Filter Cutoff\" paramId=\"kFilterCutoff\" "
                    "imageId=\"IKNOBROTATERCONTROL_ID2\""));
  EXPECT_TRUE(g.Has("paramId=\"kFilterCutoff+1\" channel=\"2\" imageId=\"IKNOBROTATERCONTROL_ID3\""));
  EXPECT_TRUE(g.Has("<menucontrol type=\"msbLsbMenu\" name=\"Filter Type\" paramId=\"kFilterType\" "
                    "position=\"274,138,104\" "
                    "valueBounds=\"0,0,3\" valueList=\"ft\" ccNumber=\"6\" msbValue=\"0\" lsbValue=\"3\" "
                    "lsbControl=\"1\"/>"));
  EXPECT_TRUE(g.Has("<switch name=\"Osc Mode\" paramId=\"kOscMode\""));
  size_t bindings = g.ui.find("<layer name=\"midiBindings\" id=\"299\">");
  ASSERT_NE(bindings, std::string::npos);
  // After every visible control: the MIDI bindings, and a range-only knob for what has no control.
  EXPECT_GT(bindings, g.ui.rfind("kOscMode"));
  EXPECT_NE(g.ui.find("type=\"ccKnob\" name=\"Filter Cutoff\"", bindings), std::string::npos);
  EXPECT_NE(g.ui.find("type=\"msbLsbMenu\" name=\"Filter Type\"", bindings), std::string::npos);
  EXPECT_NE(g.ui.find("<multiFx type=\"Knob\" name=\"Unused Param 01\" paramId=\"kUnusedParam01\"", bindings),
            std::string::npos);
  EXPECT_EQ(g.ui.find("kOscMode", bindings), std::string::npos) << "a control without MIDI needs no binding";
  EXPECT_TRUE(g.Has("<list name=\"ft\">"));
}

TEST(DocumentGenerator, RefusesBrokenRulesNamingTheRow)
{
  std::string l = "layer pages 3 {\n layer p 12 { multilayer panel 8 { section s 208 98 4 2 \"S\" } }\n}\n";
  // A menu whose list does not have one entry per value.
  Generated shortList(std::string(kBindingHeader) +
                          BindingRowText("kFilterType", "8", "menu", 0, 2, "ft", "none", "-", "s"),
                      l, "ft: A | B\n");
  EXPECT_FALSE(shortList.ok);
  EXPECT_TRUE(shortList.Error("bindings.tsv:2 (kFilterType): value list ft has 2 entries for 3 values"));
  // A name that is not a parameter, an NRPN whose values leave the data byte, an unknown image.
  std::string b = std::string(kBindingHeader) +
                  BindingRowText("kNoSuchName", "1", "knob", 0, 4, "-", "none", "-", "s") +
                  BindingRowText("kFilterCutoff", "8", "knob", 0, 127, "-", "nrpn", "0.1.3", "s");
  Generated bad(b, l);
  EXPECT_TRUE(bad.Error("(kNoSuchName): is not a parameter name"));
  EXPECT_TRUE(bad.Error("(kFilterCutoff): NRPN value offset plus maximum exceeds 127"));
  Generated image(std::string(kBindingHeader) +
                      BindingRowText("kOscMode", "8", "switch", 0, 1, "-", "none", "-", "s"),
                  "background NO_SUCH_IMAGE 0 0\n" + l);
  EXPECT_TRUE(image.Error("image NO_SUCH_IMAGE is not in the image table"));
  // Only the two delay and panning parameters go into their layers.
  Generated panLayer(std::string(kBindingHeader) +
                         BindingRowText("kOscMode", "8", "switch", 0, 1, "-", "none", "-", "x"),
                     "layer pages 3 {\n layer partPanning1 0 { slot x 10 10 30 20 part=0 }\n}\n");
  EXPECT_TRUE(
      panLayer.Error("(kOscMode): only the delay send and the pan position may sit in layer partPanning1"));
  // Pages take ids of their block; "overlay" belongs to the outermost layer.
  Generated page(
      std::string(kBindingHeader) + BindingRowText("kOscMode", "8", "switch", 0, 1, "-", "none", "-", "s"),
      "layer pages 3 {\n layer p 25 overlay { multilayer panel 8 { section s 208 98 4 2 \"S\" } }\n}\n");
  EXPECT_TRUE(page.Error("page p needs its own id from 10 to 19"));
  EXPECT_TRUE(page.Error("\"overlay\" on p is decided by its outermost layer"));
}

TEST(DocumentGenerator, SysExEntriesBecomeOneElementPerPartOutsideMultilayers)
{
  std::string b = std::string(kBindingHeader) +
                  BindingRowText("kPartPattern", "8", "knob", 0, 127, "-", "none", "-", "s");
  std::string l = "layer pages 3 {\n layer p 18 { multilayer panel 8 { section s 208 98 4 2 \"S\" } }\n}\n";
  Generated g(b, l, "",
              "kPartPattern 0 10 F0 00 20 29 01 24 7F 0D 00 00 F7\nkPartPattern 3 10 F0 00 20 29 01 24 7F 0D "
              "03 00 F7\n");
  ASSERT_TRUE(g.ok) << (g.errors.empty() ? "" : g.errors.front());
  EXPECT_TRUE(g.Has("type=\"seKnob\" name=\"Part Pattern\" paramId=\"kPartPattern\" channel=\"1\""));
  EXPECT_TRUE(g.Has("paramId=\"kPartPattern+3\" channel=\"4\""));
  EXPECT_TRUE(g.Has("changingByte=\"10\" sysexIndex=\"1\" msgZeroVal=\"0\""));
  EXPECT_NE(g.sx.find("<sysex><values><value>F0 00 20 29 01 24 7F 0D 03 00 F7</value></values></sysex>"),
            std::string::npos);
  size_t multi = g.ui.find("<multilayer create=\"8\" name=\"midiBindingsPart\">");
  EXPECT_GT(g.ui.find("seKnob"), g.ui.find("</multilayer>", multi));

  SysExEntries bad;
  std::string error;
  EXPECT_FALSE(bad.Parse("kPartPattern 0 10 F0 00 20 29 02 24 7F 0D 00 00 F7\n", error));
  EXPECT_NE(error.find("sysex.txt:1"), std::string::npos);
  EXPECT_FALSE(bad.Parse("kPartPattern 0 10 F0 00 20 29 01 24 7F 0D 80 00 F7\n", error));
  EXPECT_FALSE(bad.Parse("kPartPattern 0 3 F0 00 20 29 01 24 7F 0D 00 00 F7\n", error));
}

TEST(ValueLists, ExpandNumberedEntriesAndRefuseBrokenLines)
{
  ValueLists l;
  std::string error;
  ASSERT_TRUE(l.Parse("# c\nbank: A | B\nnum: Bank @1..3 x | Last\n", error)) << error;
  ASSERT_NE(l.Find("num"), nullptr);
  EXPECT_EQ(*l.Find("num"), (std::vector<std::string>{"Bank 1 x", "Bank 2 x", "Bank 3 x", "Last"}));
  EXPECT_EQ(l.Find("none"), nullptr);
  EXPECT_FALSE(l.Parse("a: @3..1\n", error));
  EXPECT_NE(error.find("lists.txt:1"), std::string::npos);
  EXPECT_FALSE(l.Parse("a: x\na: y\n", error));
  EXPECT_FALSE(l.Parse("a: x | | y\n", error));
}

TEST(ProjectSources, LoadAndReachEverySoundParameter)
{
  Layout l;
  ASSERT_TRUE(
      l.Load(VELK_SOURCE_DIR "/resources/src/bindings.tsv", VELK_SOURCE_DIR "/resources/src/layout.txt"))
      << l.Errors().front();
  // Every sound base of the selected part has a control on a page, except the second chorus-type
  // byte, which follows the chorus type and is never set by hand.
  std::set<std::string> shown;
  for (const PlacedControl& c : l.Controls())
    shown.insert(c.row->name);
  int sound = 0;
  for (const auto& [name, index] : DocumentGenerator::ParameterIndex())
  {
    if (index >= 2680 || name == "kFXChorusType2") continue;
    ++sound;
    EXPECT_TRUE(shown.count(name)) << name << " has no control";
  }
  EXPECT_EQ(sound, 334);
  for (const BindingRow& r : l.Bindings().Rows())
  {
    if (r.source == "chart" || r.source == "inferred")
    {
      EXPECT_NE(r.midi, "none") << r.name;
    }
  }
}
