#include "config/UiDocumentWalker.h"
#include "framework/controls/IBitmapControl.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "tests/config/ConfigTestSupport.h"

#include <gtest/gtest.h>

#include <tinyxml2.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <typeinfo>

namespace
{
// A reader that walked a small user-interface document in place of the embedded one.
struct Walked
{
  explicit Walked(const std::string& body, double scale = 1.0)
      : document(ConfigReader::kUiDocumentId, "<?xml version=\"1.0\"?><uiconfig>" + body + "</uiconfig>"),
        f(scale)
  {
    f.reader->Read(f.graphics.get(), &f.plug, &librarian, 0, scale);
  }
  ConfigReader& R() { return *f.reader; }
  LayerGroup* Layer(const char* name) { return f.reader->GetLayer(name); }
  IParameter* P(int index) { return f.plug.ParameterAt(index); }

  ScopedDocument document;
  PatchLibrarian librarian;
  ReaderFixture f;

  // Log lines holding the text.
  int Logged(const std::string& text) const
  {
    int n = 0;
    for (const std::string& line : f.log)
      n += line.find(text) != std::string::npos;
    return n;
  }
};

const char* kKnob = R"(imageId="IKNOBROTATERCONTROL_ID2" valueBounds="0,0,127,1" ccNumber="74" channel="3")";

std::string Knob(const char* element, const char* paramId, const char* extra = "",
                 const char* position = "100,50,0")
{
  return std::string("<") + element + " type=\"ccKnob\" name=\"Knob\" paramId=\"" + paramId +
         "\" position=\"" + position + "\" " + kKnob + " " + extra + "/>";
}
} // namespace

TEST(UiDocumentWalker, AttributeForms)
{
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(R"(<e a="12abc" b="x" c="-7" big="99999999999" list="1,,2" one="5"/>)"),
            tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* e = doc.FirstChildElement("e");
  EXPECT_EQ(GetAttributeString(e, "b"), "x");
  EXPECT_EQ(GetAttributeString(e, "missing"), "");
  EXPECT_EQ(GetIntAttribute(e, "a"), 12);
  EXPECT_EQ(GetIntAttribute(e, "b"), 0);
  EXPECT_EQ(GetIntAttribute(e, "c"), -7);
  EXPECT_EQ(GetIntAttribute(e, "missing"), 0);
  EXPECT_EQ(GetIntAttribute(e, "big"), INT_MAX);

  int32_t v[4] = {9, 9, 9, 9};
  ParseIntList("1,,2", v, 4); // empty pieces dropped, missing numbers 0
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(v[3], 0);
  ParseIntList("5,6,7,8,9", v, 2); // pieces beyond the count ignored
  EXPECT_EQ(v[1], 6);
  EXPECT_EQ(v[2], 0);
  EXPECT_EQ(SplitString("a::b:", ":"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitString("", ",").empty());

  EXPECT_STREQ(CaptionForParentLayer("o1pw"), "Oscillators");
  EXPECT_STREQ(CaptionForParentLayer("effects2Panel7"), "Effects");
  EXPECT_STREQ(CaptionForParentLayer("effectsUsed"), "Effects");
  EXPECT_STREQ(CaptionForParentLayer("lfo1destination4"), "LFOs / Mod Matrix");
  EXPECT_STREQ(CaptionForParentLayer("filtersEnvelopesPanel0"), "Filter / Envelopes");
  EXPECT_STREQ(CaptionForParentLayer("sequencerPanel3"), "Arpeggiator");
  EXPECT_EQ(CaptionForParentLayer("sequencerPanel8"), nullptr);
  EXPECT_EQ(CaptionForParentLayer("oscillatorsPanel"), nullptr);
  EXPECT_EQ(CaptionForParentLayer("lfo1destination5"), nullptr);
}

// The walker's number reader answers what strtol in base 10, held to the int range, answers for the
// same text, also for a piece cut out of a longer text (a "+" offset, a list entry).
TEST(UiDocumentWalker, NumbersReadAsStrtol)
{
  auto reference = [](const std::string& text)
  {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str()) return 0;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
  };
  const char* texts[] = {"0",
                         "42",
                         "-42",
                         "+42",
                         " \t\n\v\f\r17",
                         "12abc",
                         "abc",
                         "",
                         "-",
                         "+",
                         "+-3",
                         "- 3",
                         " -3 ",
                         "2147483647",
                         "2147483648",
                         "-2147483648",
                         "-2147483649",
                         "99999999999999999999999",
                         "-99999999999999999999999",
                         "0x1F",
                         "007",
                         "1e3",
                         "3.9",
                         ",5",
                         "+ 5",
                         "\xa0"
                         "5",
                         "9223372036854775808"};
  for (const char* text : texts)
  {
    EXPECT_EQ(ParseInt(text), reference(text)) << '"' << text << '"';
    EXPECT_EQ(ParseInt(std::string(text)), reference(text)) << '"' << text << '"';
    // The same text followed by more digits, read only up to its own end.
    const std::string longer = std::string(text) + "123";
    EXPECT_EQ(ParseInt(std::string_view(longer).substr(0, std::strlen(text))), reference(text))
        << '"' << text << '"';
  }
  EXPECT_EQ(ParseInt(static_cast<const char*>(nullptr)), 0);
}

TEST(UiDocumentWalker, ParameterReferencesAndLinks)
{
  Walked w("");
  ConfigReader& r = w.R();
  EXPECT_EQ(r.ParseBiDirectLink("kFilterCutoff,kMultiPartBank", 3), (IntTriple{1651, 4908, -1}));
  EXPECT_EQ(r.ParseBiDirectLink("kFilterCutoff,kMultiPartBank,12", -1), (IntTriple{1648, 4905, 12}));
  // Four pieces: the names are resolved, the number is not.
  EXPECT_EQ(r.ParseBiDirectLink("kFilterCutoff,kMultiPartBank,12,13", -1), (IntTriple{1648, 4905, -1}));
  EXPECT_EQ(r.ParseBiDirectLink("kFilterCutoff", -1), (IntTriple{-1, -1, -1}));
  EXPECT_EQ(r.ParseBiDirectLink("kNoSuchName,kMultiPartBank", 0), (IntTriple{-1, 4905, -1}));
  EXPECT_EQ(w.Logged("parameter kNoSuchName NOT FOUND!"), 1);
}

TEST(UiDocumentWalker, MultilayerCreatesEightPartsWithTheirOwnChildrenAndCaptions)
{
  Walked w(std::string(R"(<multilayer create="8" name="oscillatorsPanel">)") +
           Knob("knobcontrol", "kOscillator1Pulsewidth", R"(paramGroup="Ignored")") +
           R"(<sublayer name="o1pw" id="3">)" + Knob("menucontrol", "kFilterCutoff") + "</sublayer>" +
           Knob("knobcontrol", "kNoSuchName") + "</multilayer>" + R"(<layer name="plain" id="12">)" +
           Knob("knobcontrol", "kMultiPartBank+2", R"(paramGroup="Own Group")") + "<!-- a comment -->" +
           R"(<buttoncontrol type="noSuchType" name="x" paramId="kPatchSearch"/><unknownElement/>)" +
           "</layer>");
  for (int p = 0; p < 8; ++p)
  {
    SCOPED_TRACE(p);
    LayerGroup* g = w.Layer(("oscillatorsPanel" + std::to_string(p)).c_str());
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Id(), uint32_t(p));
    ASSERT_EQ(g->NumControls(), 1); // the unregistered name builds nothing
    EXPECT_EQ(g->GetControl(0)->ParamIdx(), kOscillator1Pulsewidth + p);
    ASSERT_EQ(g->NumChildren(), 1);
    LayerGroup* pw = g->GetChild(0);
    EXPECT_STREQ(pw->Name(), "o1pw");
    ASSERT_EQ(pw->NumControls(), 1);
    EXPECT_EQ(pw->GetControl(0)->ParamIdx(), kFilterCutoff + p);
    // A generic control under "o1pw" takes its caption; the part's messages address the part.
    EXPECT_NE(std::string(w.P(kFilterCutoff + p)->Group()).find("Oscillators"), std::string::npos);
    EXPECT_NE(std::string(w.P(kFilterCutoff + p)->Group()).find("Part " + std::to_string(p + 1)),
              std::string::npos);
    ASSERT_NE(w.P(kFilterCutoff + p)->MidiMap(), nullptr);
    EXPECT_EQ(w.P(kFilterCutoff + p)->MidiMap()->part, p);
  }
  // The multilayer itself has no group; the parts' sublayers share a name, and the name answers the
  // last part's.
  EXPECT_EQ(w.Layer("oscillatorsPanel"), nullptr);
  EXPECT_EQ(w.Layer("oscillatorsPanel8"), nullptr);
  EXPECT_EQ(w.Layer("o1pw"), w.Layer("oscillatorsPanel7")->GetChild(0));
  EXPECT_EQ(w.Logged("parameter kNoSuchName NOT FOUND!"), 8);

  // Outside a multilayer: the "+" offset, the element's own group text, the channel's part.
  LayerGroup* plain = w.Layer("plain");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->Id(), 12u);
  ASSERT_EQ(plain->NumControls(), 1);
  EXPECT_EQ(plain->GetControl(0)->ParamIdx(), kMultiPartBank + 2);
  EXPECT_NE(std::string(w.P(kMultiPartBank + 2)->Group()).find("Own Group"), std::string::npos);
  EXPECT_EQ(w.P(kMultiPartBank + 2)->MidiMap()->part, 2); // channel 3
  // Top-level groups in document order: eight parts, then "plain".
  ASSERT_EQ(w.f.graphics->NumLayerGroups(), 9);
  EXPECT_EQ(w.f.graphics->GetLayerGroup(8), plain);
}

TEST(UiDocumentWalker, MultilayerCountsOutsideThePartsAndOverlays)
{
  Walked w(R"(<multilayer create="0" name="none">)" + Knob("knobcontrol", "kFilterCutoff") +
           R"(</multilayer><multilayer create="20" name="many"></multilayer>)" +
           R"(<layer name="outer" id="1"><layer name="inner" id="2" overlay="true"/></layer>)" +
           R"(<layer name="top" id="3" overlay="true"><sublayer name="below" id="4"/></layer>)");
  EXPECT_EQ(w.Layer("none0"), nullptr);
  EXPECT_EQ(w.f.graphics->NumControls(), 0);
  EXPECT_NE(w.Layer("many7"), nullptr);
  EXPECT_EQ(w.Layer("many8"), nullptr); // held at the eight parts, and logged
  EXPECT_EQ(w.Logged("multilayer many: create 20 held at 8"), 1);
  // The outermost layer's overlay setting holds for everything below it.
  EXPECT_FALSE(w.Layer("inner")->ReportDirtyWhenHidden());
  EXPECT_TRUE(w.Layer("top")->ReportDirtyWhenHidden());
  EXPECT_TRUE(w.Layer("below")->ReportDirtyWhenHidden());
}

TEST(UiDocumentWalker, BackgroundLibrarianViewAndControlsAtEverySize)
{
  for (double scale : {0.85, 1.0, 1.15})
  {
    SCOPED_TRACE(scale);
    Walked w(
        std::string(R"(<background imageId="MANAGER_BG_ID2" position="33,71"/>)") +
            R"(<layer name="lib" id="5"><patchBrowser imageId="MANAGER_BG_ID2" bounds="51,101,1399,577"/></layer>)" +
            Knob("knobcontrol", "kFilterCutoff", "", "101") + Knob("menucontrol", "kFilterCutoff+1"),
        scale);
    IGraphics& g = *w.f.graphics;
    ASSERT_EQ(g.NumControls(), 3);
    auto* bg = dynamic_cast<IBitmapControl*>(g.GetControl(0));
    ASSERT_NE(bg, nullptr);
    EXPECT_EQ(bg->ParamIdx(), -1);
    EXPECT_EQ(bg->Rect().L, int(33 * scale));
    EXPECT_EQ(bg->Rect().T, int(71 * scale));

    auto* view = dynamic_cast<LibrarianViewControl*>(w.R().GetLibrarianView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(w.Layer("lib")->GetControl(0), view);
    EXPECT_EQ(view->Librarian(), &w.librarian);
    EXPECT_DOUBLE_EQ(view->Scale(), scale);
    const int l = int(51 * scale), t = int(101 * scale);
    EXPECT_EQ(view->Rect(), IRectangle(l, t, l + int(1399 * scale), t + int(577 * scale)));

    // One position number: the second coordinate is 0. Element names do not choose the kind.
    EXPECT_EQ(g.GetControl(1)->Rect().L, int(101 * scale));
    EXPECT_EQ(g.GetControl(1)->Rect().T, 0);
    EXPECT_EQ(typeid(*g.GetControl(1)), typeid(*g.GetControl(2)));
  }
}

TEST(UiDocumentWalker, WalksAFlatChainOfManySiblings)
{
  std::string body;
  for (int i = 0; i < 20000; ++i)
    body += "<!-- c --><unknownElement/>";
  body += R"(<layer name="last" id="1"/>)";
  Walked w(body);
  EXPECT_NE(w.Layer("last"), nullptr);
}
