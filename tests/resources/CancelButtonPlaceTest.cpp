// The librarian's cancel button shows over the editor while a transfer runs: it must hide nothing
// the layout places, on any page or window, so that the editor stays readable under the overlay.

#include "editor/VELK.h"
#include "framework/controls/IContactControl.h"
#include "tests/editor/EditorTestSupport.h"
#include "tools/layout/Layout.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{
std::string Describe(const LayoutRect& r)
{
  std::ostringstream s;
  s << "(" << r.x << ", " << r.y << ", " << r.w << " x " << r.h << ")";
  return s.str();
}
} // namespace

TEST(CancelButtonPlace, TheTopCancelButtonCoversNoControlTitleOrCaption)
{
  Layout layout;
  ASSERT_TRUE(
      layout.Load(VELK_SOURCE_DIR "/resources/src/bindings.tsv", VELK_SOURCE_DIR "/resources/src/layout.txt"))
      << layout.Errors().front();

  TempDataFolder folder; // no settings file: the normal size, the layout's own pixels
  VELK plug(nullptr);
  ASSERT_NE(plug.Editor(), nullptr);
  const IContactControl* button = plug.CancelButton(ProgressOverlay::kLibrarianCancel);
  ASSERT_NE(button, nullptr);
  const IRectangle& r = button->Rect();
  ASSERT_GT(r.W(), 0);
  ASSERT_GT(r.H(), 0);
  EXPECT_TRUE(r.L >= 0 && r.T >= 0 && r.R <= kEditorWidth && r.B <= kEditorHeight);
  const LayoutRect place{r.L, r.T, r.W(), r.H()};

  // Sections (frame and title bar), rows, slots and the browser of every layer, popups too: the
  // overlay and its buttons draw over whatever is open.
  int nodes = 0;
  layout.Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>&)
      {
        if (node.IsLayer() || node.kind == LayoutKind::Background) return;
        EXPECT_FALSE(place.Intersects(node.rect))
            << "the cancel button at " << Describe(place) << " covers " << node.name << " "
            << Describe(node.rect) << (node.title.empty() ? "" : " \"" + node.title + "\"")
            << " (layout.txt:" << node.line << ")";
        ++nodes;
      });
  EXPECT_GT(nodes, 50);

  // Every placed control and its caption (a captioned slot's caption lies outside the slot).
  int controls = 0;
  for (const PlacedControl& c : layout.Controls())
  {
    const std::string name = c.row ? c.row->name : "a section lock";
    EXPECT_FALSE(place.Intersects(c.rect)) << "the cancel button covers " << name << " " << Describe(c.rect);
    EXPECT_FALSE(c.label.w > 0 && place.Intersects(c.label))
        << "the cancel button covers the caption of " << name << " " << Describe(c.label);
    ++controls;
  }
  EXPECT_GT(controls, 300);
}
