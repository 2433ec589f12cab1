// The skin against the editor's layout: a bitmap control takes its size from its image, so every
// image the layout gives a control must be exactly the rectangle the layout placed it in, and every
// picture the layout puts under the controls must be drawn for the place it is put.

#include "tools/skingen/SkinArt.h"
#include "tools/skingen/SkinRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

static std::vector<const SkinImageRow*> RowsNamed(const std::string& name)
{
  std::vector<const SkinImageRow*> rows;
  for (const auto& row : SkinImageRows())
    if (name == row.name) rows.push_back(&row);
  return rows;
}

class SkinLayout : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    renderer = new SkinRenderer;
    loaded = renderer->Load(VELK_SKIN_SOURCE_DIR, loadError);
  }
  static void TearDownTestSuite()
  {
    delete renderer;
    renderer = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(loaded) << loadError; }

  // Size of one frame: a bitmap control's size, and a radio strip's area (one row or column of cells).
  static bool FrameSize(const SkinImageRow& row, int& w, int& h)
  {
    if (!renderer->StripSize(row, w, h)) return false;
    (row.horizontal ? w : h) /= row.frames;
    return true;
  }

  static SkinRenderer* renderer;
  static bool loaded;
  static std::string loadError;
};
SkinRenderer* SkinLayout::renderer = nullptr;
bool SkinLayout::loaded = false;
std::string SkinLayout::loadError;

TEST_F(SkinLayout, EveryControlImageIsTheSizeOfItsPlace)
{
  int checked = 0;
  for (const PlacedControl& c : renderer->EditorLayout().Controls())
  {
    if (c.image.empty()) continue;
    const auto rows = RowsNamed(c.image);
    ASSERT_FALSE(rows.empty()) << c.row->name << " uses " << c.image << ", which is not in the image table";
    for (const SkinImageRow* row : rows)
    {
      int w = 0, h = 0;
      ASSERT_TRUE(FrameSize(*row, w, h)) << row->file;
      EXPECT_EQ(w, c.rect.w) << c.row->name << " (" << c.kind << ") drawn with " << row->file;
      EXPECT_EQ(h, c.rect.h) << c.row->name << " (" << c.kind << ") drawn with " << row->file;
      ++checked;
    }
  }
  // Knobs, switches, locks, radios, buttons: hundreds of them.
  EXPECT_GT(checked, 300);
}

TEST_F(SkinLayout, PicturesFitWhereTheLayoutPutsThem)
{
  int checked = 0;
  renderer->EditorLayout().Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>&)
      {
        if (node.kind != LayoutKind::Background && node.kind != LayoutKind::Browser) return;
        const auto rows = RowsNamed(node.name);
        ASSERT_FALSE(rows.empty()) << "layout.txt:" << node.line << ": " << node.name
                                   << " is not in the image table";
        for (const SkinImageRow* row : rows)
        {
          const SkinRecipe* recipe = renderer->Recipes().Find(row->Stem());
          ASSERT_NE(recipe, nullptr) << row->file;
          int w = 0, h = 0;
          ASSERT_TRUE(renderer->StripSize(*row, w, h));
          EXPECT_LE(node.rect.x + w, 1500) << row->file;
          EXPECT_LE(node.rect.y + h, 757) << row->file;
          if (node.kind == LayoutKind::Browser)
          {
            EXPECT_EQ(w, node.rect.w) << row->file;
            EXPECT_EQ(h, node.rect.h) << row->file;
          }
          // Pictures that paint sections and captions must be drawn for the place they are put.
          if (!recipe->List("layers").empty() || recipe->kind == "page")
          {
            EXPECT_EQ(recipe->IntArg("x", 0), node.rect.x) << row->file;
            EXPECT_EQ(recipe->IntArg("y", 0), node.rect.y) << row->file;
          }
          ++checked;
        }
      });
  EXPECT_GT(checked, 5);
}

TEST_F(SkinLayout, PanelArtNamesLayersThatExist)
{
  std::set<std::string> layers;
  renderer->EditorLayout().Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>&)
      {
        if (node.IsLayer()) layers.insert(node.name);
      });
  for (const auto& recipe : renderer->Recipes().All())
    for (const auto& name : recipe.List("layers"))
      EXPECT_TRUE(layers.count(name))
          << recipe.stem << " paints layer " << name << ", which the layout lacks";
}

TEST_F(SkinLayout, PicturesInsideASectionStayInsideAndUnderNoControl)
{
  const Layout& layout = renderer->EditorLayout();
  // Sections with their enclosing layers: a picture belongs to a section of its own layer or an outer one.
  std::vector<std::pair<const LayoutNode*, std::vector<const LayoutNode*>>> sections;
  layout.Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>& layers)
      {
        if (node.kind == LayoutKind::Section) sections.push_back({&node, layers});
      });
  int checked = 0;
  layout.Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>& layers)
      {
        if (node.kind != LayoutKind::Background) return;
        for (const auto& [section, outer] : sections)
        {
          if (outer.size() > layers.size() || !std::equal(outer.begin(), outer.end(), layers.begin()))
            continue;
          const LayoutRect& s = section->rect;
          // A picture whose corner lies in a section's body belongs to that section (a routing diagram).
          if (node.rect.x <= s.x || node.rect.x >= s.Right() || node.rect.y <= s.y + 18 ||
              node.rect.y >= s.Bottom())
            continue;
          for (const SkinImageRow* row : RowsNamed(node.name))
          {
            int w = 0, h = 0;
            ASSERT_TRUE(renderer->StripSize(*row, w, h)) << row->file;
            const LayoutRect picture{node.rect.x, node.rect.y, w, h};
            EXPECT_LE(picture.Right(), s.Right()) << row->file << " leaves section " << section->name;
            EXPECT_LE(picture.Bottom(), s.Bottom()) << row->file << " leaves section " << section->name;
            for (const PlacedControl* c : layout.ControlsIn(*section))
              EXPECT_FALSE(c->rect.Intersects(picture)) << row->file << " lies under " << c->row->name;
            ++checked;
          }
        }
      });
  // The nineteen routing diagrams, once for the program's effects and once for the part's.
  EXPECT_GE(checked, 2 * 19);
}

TEST_F(SkinLayout, CaptionsFitTheirPlaceAtOneSize)
{
  // Measured in the skin's own font, as the panel art draws them.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  SkinFonts fonts;
  std::string error;
  ASSERT_TRUE(fonts.Load(renderer->Schemes().RegularFont(), renderer->Schemes().BoldFont(), error)) << error;
  int checked = 0;
  {
    SkinCanvas canvas(surface, fonts);
    for (const PlacedControl& c : renderer->EditorLayout().Controls())
    {
      if (c.label.w <= 0 || !c.row || c.row->caption.empty()) continue;
      // Every caption at the one caption size: one that had to shrink would stand out in its section,
      // and one wider than its room would touch its neighbour's.
      const double room = c.label.w - 2 * kCaptionMargin;
      const double width = canvas.TextWidth(c.row->caption, kCaptionSize, false);
      EXPECT_LE(width, room) << "bindings.tsv:" << c.row->line << " (" << c.row->name << "): caption \""
                             << c.row->caption << "\" is " << width << " px wide for " << room << " px";
      ++checked;
    }
  }
  cairo_surface_destroy(surface);
  EXPECT_GT(checked, 300);
}

TEST_F(SkinLayout, SectionTitlesFitTheirBar)
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  SkinFonts fonts;
  std::string error;
  ASSERT_TRUE(fonts.Load(renderer->Schemes().RegularFont(), renderer->Schemes().BoldFont(), error)) << error;
  int checked = 0;
  {
    SkinCanvas canvas(surface, fonts);
    renderer->EditorLayout().Walk(
        [&](const LayoutNode& node, const std::vector<const LayoutNode*>&)
        {
          if (node.kind != LayoutKind::Section || node.title.empty()) return;
          // 13 px bold from 8 px in, up to the lock's place (or 8 px short of the end without a lock).
          const double room = node.rect.w - (node.lock.empty() ? 16 : 36);
          const double width = canvas.TextWidth(node.title, 13, true);
          EXPECT_GE(width > room ? 13 * room / width : 13, 11.0)
              << "layout.txt:" << node.line << ": \"" << node.title << "\" is " << width << " px for "
              << room;
          ++checked;
        });
  }
  cairo_surface_destroy(surface);
  EXPECT_GT(checked, 50);
}

TEST_F(SkinLayout, NoTwoControlsOfASectionShareACaption)
{
  const Layout& layout = renderer->EditorLayout();
  int checked = 0;
  layout.Walk(
      [&](const LayoutNode& node, const std::vector<const LayoutNode*>&)
      {
        if (node.kind != LayoutKind::Section) return;
        std::map<std::string, std::string> seen; // caption -> parameter
        for (const PlacedControl* c : layout.ControlsIn(node))
        {
          if (!c->row || c->label.w <= 0 || c->row->caption.empty()) continue;
          const auto [at, fresh] = seen.emplace(c->row->caption, c->row->name);
          EXPECT_TRUE(fresh) << "layout.txt:" << node.line << " (" << node.name << "): " << at->second
                             << " and " << c->row->name << " are both \"" << c->row->caption << "\"";
          ++checked;
        }
      });
  EXPECT_GT(checked, 300);
}
