// The layout model and the document generator on small hand-made sources, and the project's own
// sources: placement, bounds, overlaps, and the rules the generator enforces.
#include <gtest/gtest.h>

#include <string>

#include "tools/docgen/DocumentGenerator.h"
#include "tests/resources/SourceRows.h"
#include "tools/layout/Layout.h"

TEST(Layout, SectionsPlaceControlsFirstFitAndNameTheRowThatDoesNotFit)
{
  std::string bindings = std::string(kBindingHeader) +
                         BindingRowText("kFilterCutoff", "8", "knob", 0, 127, "-", "none", "-", "s") +
                         BindingRowText("kOscMode", "8", "switch", 0, 1, "-", "none", "-", "s") +
                         BindingRowText("kPolyMode", "8", "switch", 0, 1, "-", "none", "-", "s") +
                         BindingRowText("kGlideType", "8", "menu", 0, 9, "glide", "none", "-", "s");
  std::string layout = "layer pages 3 {\n  section s 100 100 2 1 \"T\"\n}\n";
  Layout l;
  EXPECT_FALSE(l.LoadText(bindings, layout));
  EXPECT_TRUE(AnyHolds(l.Errors(), "bindings.tsv:5 (kGlideType): no room left in section s"))
      << l.Errors().front();
  ASSERT_EQ(l.Controls().size(), 3u);
  const PlacedControl& knob = l.Controls()[0];
  EXPECT_EQ(knob.rect.x, 100 + 6 + 8);
  EXPECT_EQ(knob.rect.y, 100 + 24 + 4);
  EXPECT_EQ(knob.rect.w, 40);
  EXPECT_EQ(knob.label.y, 100 + 24 + 46);
  // The two switches share the second cell, one above the other.
  EXPECT_EQ(l.Controls()[1].rect.x, 100 + 6 + 56 + 14);
  EXPECT_EQ(l.Controls()[2].rect.x, l.Controls()[1].rect.x);
  EXPECT_EQ(l.Controls()[2].rect.y - l.Controls()[1].rect.y, 32);

  // With room for it, the menu takes a whole half row of two cells.
  layout = "layer pages 3 {\n  section s 100 100 3 1 \"T\" lock=kSectionLockFilter\n}\n";
  bindings += BindingRowText("kSectionLockFilter", "8", "lock", 0, 1, "-", "none", "-", "-");
  Layout ok;
  ASSERT_TRUE(ok.LoadText(bindings, layout)) << ok.Errors().front();
  const PlacedControl* lock = nullptr;
  for (const PlacedControl& c : ok.Controls())
    if (c.kind == "lock") lock = &c;
  ASSERT_NE(lock, nullptr);
  EXPECT_EQ(lock->rect.x, 100 + 12 + 3 * 56 - 20);
}

TEST(Layout, OverlapsCountOnlyBetweenControlsSeenTogether)
{
  std::string bindings = std::string(kBindingHeader) +
                         BindingRowText("kOscMode", "1", "switch", 0, 1, "-", "none", "-", "a") +
                         BindingRowText("kPolyMode", "1", "switch", 0, 1, "-", "none", "-", "b");
  // Two pages of one parent never show together.
  Layout pages;
  EXPECT_TRUE(pages.LoadText(
      bindings,
      "layer pages 3 {\n layer p1 10 { slot a 10 10 30 20 }\n layer p2 11 { slot b 10 10 30 20 }\n}\n"))
      << pages.Errors().front();
  // An always-on sublayer shows with its parent's controls.
  Layout sub;
  EXPECT_FALSE(sub.LoadText(
      bindings, "layer pages 3 {\n slot a 10 10 30 20\n sublayer s 0 { slot b 20 15 30 20 }\n}\n"));
  EXPECT_TRUE(AnyHolds(sub.Errors(), "(kOscMode in a) overlaps bindings.tsv:3 (kPolyMode in b)"))
      << sub.Errors().front();
  // Ids of different blocks are pages of different selectors: both may show.
  Layout blocks;
  EXPECT_FALSE(blocks.LoadText(
      bindings,
      "layer pages 3 {\n layer x 60 { slot a 10 10 30 20 }\n layer y 80 { slot b 10 10 30 20 }\n}\n"));
  // A popup is drawn over the page.
  Layout popup;
  EXPECT_TRUE(popup.LoadText(
      bindings, "layer pages 3 {\n slot a 10 10 30 20\n layer w 91 popup { slot b 10 10 30 20 }\n}\n"));
  // Top-level layers are all on screen.
  Layout top;
  EXPECT_FALSE(
      top.LoadText(bindings, "layer t 1 { slot a 10 10 30 20 }\nlayer u 2 { slot b 10 10 30 20 }\n"));
}

TEST(Layout, RefusesRectanglesOutsideTheEditorUnknownHomesAndBrokenRows)
{
  std::string bindings =
      std::string(kBindingHeader) + BindingRowText("kOscMode", "1", "switch", 0, 1, "-", "none", "-", "a");
  Layout out;
  EXPECT_FALSE(out.LoadText(bindings, "layer t 1 { slot a 1480 740 30 20 }\n"));
  EXPECT_TRUE(AnyHolds(out.Errors(), "outside the editor"));
  Layout unknown;
  EXPECT_FALSE(unknown.LoadText(bindings, "layer t 1 { slot z 10 10 30 20 }\n"));
  EXPECT_TRUE(AnyHolds(unknown.Errors(), "bindings.tsv:2 (kOscMode): home \"a\" is not in layout.txt"));
  Layout unclosed;
  EXPECT_FALSE(unclosed.LoadText(bindings, "layer t 1 {\n slot a 10 10 30 20\n"));
  EXPECT_TRUE(AnyHolds(unclosed.Errors(), "is not closed"));

  BindingTable t;
  std::string error;
  EXPECT_FALSE(t.Parse("kA\t1\tknob\n", error));
  EXPECT_NE(error.find("bindings.tsv:1 (kA): expected 14"), std::string::npos) << error;
  std::string row = BindingRowText("kOscMode", "1", "knob", 0, 127, "-", "nrpn", "0.1.120", "-");
  EXPECT_TRUE(t.Parse(row, error)) << error; // 120 + 127 is no data byte: the generator refuses it
  EXPECT_FALSE(t.Parse(BindingRowText("kOscMode", "1", "knob", 0, 127, "-", "nrpn", "0.1", "-"), error));
  EXPECT_NE(error.find("msb.lsb.base"), std::string::npos);
  EXPECT_FALSE(t.Parse(BindingRowText("kOscMode", "1", "knob", 5, 4, "-", "none", "-", "-"), error));
  std::string longCaption = BindingRowText("kOscMode", "1", "knob", 0, 4, "-", "none", "-", "-");
  longCaption.replace(longCaption.rfind("Cap"), 3, "Much too long");
  EXPECT_FALSE(t.Parse(longCaption, error));
  EXPECT_NE(error.find("caption"), std::string::npos);
}

TEST(Layout, RadiosKeepCellsThatStayWholeWhenScaled)
{
  // Five cells of 20 and three of 34 stay within a pixel of their art at 0.85 and 1.15; four of 26
  // would drift 2.7 px at 1.15, so four values get cells of 20.
  EXPECT_EQ(Layout::RadioWidth(104, 5), 104);
  EXPECT_EQ(Layout::RadioWidth(104, 3), 104);
  EXPECT_EQ(Layout::RadioWidth(104, 4), 80);
  EXPECT_EQ(Layout::RadioWidth(104, 1), 104);
  EXPECT_EQ(Layout::RadioWidth(30, 4), 30); // no room for 20 px cells: left as it is

  // Placed centred in the room of a section.
  const std::string bindings = std::string(kBindingHeader) +
                               BindingRowText("kLFO1Waveform", "8", "radio", 0, 3, "-", "none", "-", "s");
  Layout l;
  ASSERT_TRUE(l.LoadText(bindings, "layer pages 3 {\n  section s 100 100 2 1 \"T\"\n}\n"))
      << l.Errors().front();
  ASSERT_EQ(l.Controls().size(), 1u);
  EXPECT_EQ(l.Controls()[0].rect.w, 80);
  EXPECT_EQ(l.Controls()[0].rect.x, 100 + 6 + 4 + 12);
  EXPECT_EQ(l.Controls()[0].image, "LFO_WAVEFORM_ID");
}

TEST(Layout, ACaptionedSlotHasItsCaptionUnderIt)
{
  const std::string bindings =
      std::string(kBindingHeader) +
      BindingRowText("kDeviceInSelection", "1", "devin", 0, 127, "-", "none", "-", "in") +
      BindingRowText("kDeviceOutSelection", "1", "devout", 0, 127, "-", "none", "-", "out");
  Layout l;
  ASSERT_TRUE(
      l.LoadText(bindings, "layer topBar 1 {\n  slot in 10 6 200 20 captioned\n  slot out 220 6 200 20\n}\n"))
      << l.Errors().front();
  ASSERT_EQ(l.Controls().size(), 2u);
  const PlacedControl& in = l.Controls()[0];
  EXPECT_EQ(in.rect.h, 20);
  EXPECT_EQ(in.label.x, 10);
  EXPECT_EQ(in.label.y, 6 + 20 + 1);
  EXPECT_EQ(in.label.w, 200);
  EXPECT_EQ(l.Controls()[1].label.w, 0); // no caption unless asked for
  // A caption that would leave the editor is refused like a control that would.
  Layout low;
  EXPECT_FALSE(low.LoadText(bindings, "layer topBar 1 {\n  slot in 10 740 200 16 captioned\n}\n"));
}
