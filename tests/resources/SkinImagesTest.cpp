// The drawn skin: every image of the table exists in the build with the size its frames and the page
// plan give, shows something, is drawn the same on every run, and the controls' frames say what
// the controls need (knob minimum first, off before on, a selected row apart from the normal one).

#include "tools/skingen/SkinArt.h"
#include "tools/skingen/SkinRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

// One decoded image, pixels as Cairo gives them (premultiplied 0xAARRGGBB words).
struct SkinTestImage
{
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;

  // The size of one frame of a row's strip.
  void FrameSize(const SkinImageRow& row, int& fw, int& fh) const
  {
    fw = row.horizontal ? width / row.frames : width;
    fh = row.horizontal ? height : height / row.frames;
  }
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  static int Alpha(std::uint32_t p) { return int(p >> 24); }
  static double Luma(std::uint32_t p)
  {
    return 0.2126 * ((p >> 16) & 255) + 0.7152 * ((p >> 8) & 255) + 0.0722 * (p & 255);
  }
  // Mean luminance of a rectangle (premultiplied, so transparent pixels count as black).
  double MeanLuma(int x0, int y0, int w, int h) const
  {
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x)
        sum += Luma(At(x, y));
    return sum / (double(w) * h);
  }
  bool SameRect(int ax, int ay, int bx, int by, int w, int h) const
  {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (At(ax + x, ay + y) != At(bx + x, by + y)) return false;
    return true;
  }
};

static SkinTestImage FromSurface(cairo_surface_t* s)
{
  SkinTestImage image;
  if (!s || cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_flush(s);
  image.width = cairo_image_surface_get_width(s);
  image.height = cairo_image_surface_get_height(s);
  const int stride = cairo_image_surface_get_stride(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  for (int y = 0; y < image.height; ++y)
  {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
    image.pixels.insert(image.pixels.end(), row, row + image.width);
  }
  return image;
}

static SkinTestImage LoadBuilt(const SkinImageRow& row)
{
  const std::string path = std::string(VELK_BINARY_DIR) + "/" + row.file;
  cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
  SkinTestImage image = FromSurface(s);
  cairo_surface_destroy(s);
  return image;
}

static std::vector<unsigned char> ReadBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

static const SkinImageRow& RowOf(const std::string& stem)
{
  for (const auto& row : SkinImageRows())
    if (row.Stem() == stem) return row;
  throw std::runtime_error("no image " + stem);
}

class SkinImages : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    renderer = new SkinRenderer;
    std::string error;
    loaded = renderer->Load(VELK_SKIN_SOURCE_DIR, error);
    loadError = error;
  }
  static void TearDownTestSuite()
  {
    delete renderer;
    renderer = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(loaded) << loadError; }

  static SkinRenderer* renderer;
  static bool loaded;
  static std::string loadError;
};
SkinRenderer* SkinImages::renderer = nullptr;
bool SkinImages::loaded = false;
std::string SkinImages::loadError;

TEST_F(SkinImages, EveryRowHasOneRecipeAndEveryRecipeARow)
{
  std::set<std::string> stems;
  for (const auto& row : SkinImageRows())
  {
    EXPECT_NE(renderer->Recipes().Find(row.Stem()), nullptr) << row.file;
    EXPECT_TRUE(stems.insert(row.Stem()).second) << "two rows draw " << row.file;
  }
  EXPECT_EQ(SkinImageRows().size(), 112u);
  for (const auto& recipe : renderer->Recipes().All())
    EXPECT_TRUE(stems.count(recipe.stem)) << "recipe without an image: " << recipe.stem;
}

TEST_F(SkinImages, SizesFollowFrameCountsLayoutAndPagePlan)
{
  for (const auto& row : SkinImageRows())
  {
    const SkinTestImage image = LoadBuilt(row);
    ASSERT_GT(image.width, 0) << row.file << " is missing or unreadable in the build";
    int w = 0, h = 0;
    ASSERT_TRUE(renderer->StripSize(row, w, h)) << row.file;
    EXPECT_EQ(image.width, w) << row.file;
    EXPECT_EQ(image.height, h) << row.file;
    // Frames divide the strip evenly along their direction.
    EXPECT_EQ((row.horizontal ? image.width : image.height) % row.frames, 0) << row.file;
  }

  // Frame sizes the page plan places controls by (normal size, 1500 x 757 editor).
  struct Expect
  {
    const char* stem;
    int frames, frameWidth, frameHeight;
  };
  const Expect plan[] = {
      {"knob-velk-normal", 128, 40, 40},
      {"knob-velk-normal-49", 49, 40, 40},
      {"knob-velk-normal-25", 25, 40, 40},
      {"knob-velk-normal-21", 21, 40, 40},
      {"knob-velk-normal-16", 16, 40, 40},
      {"knob-velk-normal-5", 5, 40, 40},
      {"knob-velk-small", 128, 30, 30},
      {"main-bg", 1, 1500, 757},
      {"main-bg-pla", 1, 1500, 757},
      {"main-bg-frame", 1, 1284, 651}, // the GLOBAL page
      {"velk-progress-overlay", 1, 1500, 757},
      {"velk-oscillators", 1, 1284, 651},
      {"velk-effects", 1, 1284, 651},
      {"main-tab-selector", 2, 10 * 100, 32}, // ten tabs of 100 side by side
      {"main-part-selector", 2, 40, 8 * 40},  // eight 40 x 40 cells in a column
      {"part-select-overlay45x35", 1, 45, 35},
  };
  for (const auto& e : plan)
  {
    const SkinImageRow& row = RowOf(e.stem);
    EXPECT_EQ(row.frames, e.frames) << e.stem;
    const SkinTestImage image = LoadBuilt(row);
    int fw = 0, fh = 0;
    image.FrameSize(row, fw, fh);
    EXPECT_EQ(fw, e.frameWidth) << e.stem;
    EXPECT_EQ(fh, e.frameHeight) << e.stem;
  }

  // Radio strips hold one cell per value of the parameter they select.
  const std::map<std::string, std::size_t> cells = {{"main-tab-selector", 10},
                                                    {"main-part-selector", 8},
                                                    {"waveform-select", 5},
                                                    {"velk-lfo-waveform-select", 4},
                                                    {"velk-filter-slope-select", 3}};
  for (const auto& [stem, count] : cells)
    EXPECT_EQ(renderer->Recipes().Find(stem)->List("labels").size(), count) << stem;
}

TEST_F(SkinImages, NoFrameIsBlankOrOfOneColour)
{
  for (const auto& row : SkinImageRows())
  {
    const SkinTestImage image = LoadBuilt(row);
    ASSERT_GT(image.width, 0) << row.file;
    int fw = 0, fh = 0;
    image.FrameSize(row, fw, fh);
    for (int f = 0; f < row.frames; ++f)
    {
      const int x0 = row.horizontal ? f * fw : 0, y0 = row.horizontal ? 0 : f * fh;
      std::set<std::uint32_t> colours;
      bool visible = false;
      for (int y = y0; y < y0 + fh && colours.size() < 3; ++y)
        for (int x = x0; x < x0 + fw; ++x)
        {
          colours.insert(image.At(x, y));
          visible = visible || SkinTestImage::Alpha(image.At(x, y)) > 0;
        }
      EXPECT_TRUE(visible) << row.file << " frame " << f << " is fully transparent";
      EXPECT_GE(colours.size(), 2u) << row.file << " frame " << f << " is of one colour";
    }
  }
}

TEST_F(SkinImages, TwoRunsGiveTheSameBytesAsTheBuild)
{
  for (const auto& row : SkinImageRows())
  {
    std::vector<unsigned char> first, second;
    std::string error;
    ASSERT_TRUE(renderer->Render(row, first, error)) << error;
    ASSERT_TRUE(renderer->Render(row, second, error)) << error;
    EXPECT_EQ(first, second) << row.file;
    // The build drew its copy in another process: the same bytes again.
    EXPECT_EQ(ReadBytes(std::string(VELK_BINARY_DIR) + "/" + row.file), first) << row.file;
    // No chunk that could carry a time or the machine's details.
    const std::string bytes(first.begin(), first.end());
    for (const char* chunk : {"tIME", "tEXt", "zTXt", "iTXt"})
      EXPECT_EQ(bytes.find(chunk), std::string::npos) << row.file << " has " << chunk;
  }
}

// The pointer's tip colour found along a direction (degrees clockwise from up) of one knob frame.
static bool PointerAt(const SkinTestImage& image, int frameTop, int size, double degrees, double bright = 200)
{
  const double a = degrees * M_PI / 180, cx = size / 2.0, cy = frameTop + size / 2.0;
  for (double r = size * 0.15; r < size * 0.3; r += 0.5)
  {
    const int x = int(cx + std::sin(a) * r), y = int(cy - std::cos(a) * r);
    if (SkinTestImage::Luma(image.At(x, y)) > bright) return true;
  }
  return false;
}

TEST_F(SkinImages, KnobPointerSweepsFromLowerLeftToLowerRight)
{
  for (const char* stem :
       {"knob-velk-normal", "knob-velk-normal-49", "knob-velk-normal-25", "knob-velk-normal-21",
        "knob-velk-normal-16", "knob-velk-normal-5", "knob-velk-small"})
  {
    const SkinImageRow& row = RowOf(stem);
    ASSERT_FALSE(row.horizontal) << stem;
    const SkinTestImage image = LoadBuilt(row);
    const int size = image.width, last = (row.frames - 1) * size;
    EXPECT_TRUE(PointerAt(image, 0, size, -135)) << stem << ": first frame is not the minimum";
    EXPECT_FALSE(PointerAt(image, 0, size, 135)) << stem;
    EXPECT_TRUE(PointerAt(image, last, size, 135)) << stem << ": last frame is not the maximum";
    EXPECT_FALSE(PointerAt(image, last, size, -135)) << stem;
    if (row.frames % 2)
    {
      EXPECT_TRUE(PointerAt(image, (row.frames / 2) * size, size, 0)) << stem << ": middle frame not upright";
    }
    // Every step moves the pointer: no two neighbouring frames alike.
    for (int f = 1; f < row.frames; ++f)
      EXPECT_FALSE(image.SameRect(0, (f - 1) * size, 0, f * size, size, size)) << stem << " frames " << f;
  }
}

// One frame of a stacked strip drawn at a scale with bilinear filtering, as the small editor does.
static SkinTestImage ScaledFrame(const SkinImageRow& row, int frame, double scale)
{
  const std::string path = std::string(VELK_BINARY_DIR) + "/" + row.file;
  cairo_surface_t* strip = cairo_image_surface_create_from_png(path.c_str());
  const int size = cairo_image_surface_get_width(strip), side = int(size * scale);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side);
  cairo_t* cr = cairo_create(out);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, strip, 0, -double(frame) * size);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
  cairo_paint(cr);
  cairo_destroy(cr);
  SkinTestImage image = FromSurface(out);
  cairo_surface_destroy(out);
  cairo_surface_destroy(strip);
  return image;
}

TEST_F(SkinImages, KnobPointersStayLegibleInTheSmallEditor)
{
  for (const char* stem : {"knob-velk-normal", "knob-velk-normal-5", "knob-velk-small"})
  {
    const SkinImageRow& row = RowOf(stem);
    for (int frame : {0, row.frames - 1})
    {
      const SkinTestImage small = ScaledFrame(row, frame, 0.85);
      ASSERT_GT(small.width, 0) << stem;
      const double degrees = frame ? 135 : -135;
      // Still a bright pointer where it should be, and none where it should not.
      EXPECT_TRUE(PointerAt(small, 0, small.width, degrees, 170)) << stem << " frame " << frame;
      EXPECT_FALSE(PointerAt(small, 0, small.width, -degrees, 170)) << stem << " frame " << frame;
    }
  }
}

TEST_F(SkinImages, TwoFrameControlsShowOffFirstAndSelectedRowsStandOut)
{
  for (const auto& row : SkinImageRows())
  {
    const SkinRecipe* recipe = renderer->Recipes().Find(row.Stem());
    ASSERT_NE(recipe, nullptr);
    if (row.frames != 2) continue;
    const SkinTestImage image = LoadBuilt(row);
    int fw = 0, fh = 0;
    image.FrameSize(row, fw, fh);
    const int x1 = row.horizontal ? fw : 0, y1 = row.horizontal ? 0 : fh;
    EXPECT_FALSE(image.SameRect(0, 0, x1, y1, fw, fh)) << row.file << ": both frames alike";
    if (recipe->kind == "led" || recipe->kind == "button")
    {
      // The lit look is the brighter one; an inverted strip is lit in its first frame.
      const bool inverse = recipe->IntArg("inverse", 0) != 0;
      const double off = image.MeanLuma(0, 0, fw, fh), on = image.MeanLuma(x1, y1, fw, fh);
      EXPECT_GT(inverse ? off : on, inverse ? on : off) << row.file;
    }
    if (recipe->kind == "radio")
    {
      // Every cell of the selected row differs from its normal look.
      const int n = int(recipe->List("labels").size());
      ASSERT_GE(n, 2) << row.file;
      for (int k = 0; k < n; ++k)
      {
        const int length = row.horizontal ? fh : fw;
        const int from = (2 * k * length + n) / (2 * n), to = (2 * (k + 1) * length + n) / (2 * n);
        const int cx = row.horizontal ? 0 : from, cy = row.horizontal ? from : 0;
        const int cw = row.horizontal ? fw : to - from, ch = row.horizontal ? to - from : fh;
        EXPECT_FALSE(image.SameRect(cx, cy, cx + x1, cy + y1, cw, ch)) << row.file << " cell " << k;
      }
    }
  }
}

TEST_F(SkinImages, SchemesKeepTextReadableAndDiffer)
{
  // What the editor writes into the fields itself, whatever the scheme: white names and status lines,
  // amber and blue values.
  const SkinColour white{1, 1, 1, 1}, amber{1, 173 / 255.0, 0, 1}, blue{0, 174 / 255.0, 1, 1};
  for (int s : {SkinSchemes::kNormal, SkinSchemes::kSecond})
  {
    const SkinPalette& p = renderer->Schemes().Palette(s);
    for (const char* ground : {"window", "bar", "panel", "panelHi", "title", "button", "buttonHi"})
      EXPECT_GE(SkinContrast(p["text"], p[ground]), 7.0) << "scheme " << s << ": text on " << ground;
    for (const char* ground : {"panel", "button"})
      EXPECT_GE(SkinContrast(p["textDim"], p[ground]), 4.5) << "scheme " << s << ": dim text on " << ground;
    for (const char* field : {"field", "fieldEdge"})
    {
      EXPECT_GE(SkinContrast(white, p[field]), 7.0) << "scheme " << s << ": the editor's text on " << field;
      EXPECT_GE(SkinContrast(amber, p[field]), 4.5) << "scheme " << s << ": amber values on " << field;
      EXPECT_GE(SkinContrast(blue, p[field]), 4.5) << "scheme " << s << ": blue values on " << field;
    }
    EXPECT_GE(SkinContrast(p["litText"], p["lit"]), 7.0) << "scheme " << s;
    EXPECT_GE(SkinContrast(p["pointer"], p["knob"]), 4.5) << "scheme " << s << ": knob pointer";
  }
  // Only the normal scheme paints labels on fields (the search field's plate).
  const SkinPalette& normalPalette = renderer->Schemes().Palette(SkinSchemes::kNormal);
  EXPECT_GE(SkinContrast(normalPalette["text"], normalPalette["field"]), 7.0);
  EXPECT_GE(SkinContrast(normalPalette["textDim"], normalPalette["field"]), 4.5);

  // The two looks are the other of each other: light text on dark panels, dark text on light ones.
  const auto lighter = [](const SkinColour& a, const SkinColour& b)
  { return 0.2126 * a.r + 0.7152 * a.g + 0.0722 * a.b > 0.2126 * b.r + 0.7152 * b.g + 0.0722 * b.b; };
  const SkinPalette& secondPalette = renderer->Schemes().Palette(SkinSchemes::kSecond);
  EXPECT_TRUE(lighter(normalPalette["text"], normalPalette["panel"]));
  EXPECT_TRUE(lighter(secondPalette["panel"], secondPalette["text"]));

  // The rows of the two schemes differ where a user sees it: the top bar and the part column (the
  // page pictures are one set for both schemes), so well over a tenth of the editor.
  const SkinTestImage normal = LoadBuilt(RowOf("main-bg")), second = LoadBuilt(RowOf("main-bg-pla"));
  ASSERT_EQ(normal.width, second.width);
  ASSERT_EQ(normal.pixels.size(), second.pixels.size());
  size_t apart = 0;
  for (size_t i = 0; i < normal.pixels.size(); ++i)
    apart += std::abs(SkinTestImage::Luma(normal.pixels[i]) - SkinTestImage::Luma(second.pixels[i])) > 48;
  EXPECT_GT(double(apart) / double(normal.pixels.size()), 0.15);
}

TEST_F(SkinImages, ProgressOverlayLetsTheEditorShowThrough)
{
  const SkinTestImage image = LoadBuilt(RowOf("velk-progress-overlay"));
  ASSERT_GT(image.width, 0);
  // Corners are veiled, neither clear nor opaque; the message box in the middle is opaque.
  for (auto [x, y] : {std::pair{5, 5}, std::pair{image.width - 5, image.height - 5}})
  {
    const int a = SkinTestImage::Alpha(image.At(x, y));
    EXPECT_GT(a, 64) << x << "," << y;
    EXPECT_LT(a, 240) << x << "," << y;
  }
  EXPECT_EQ(SkinTestImage::Alpha(image.At(image.width / 2 + 20, image.height / 2 + 50)), 255);
}

TEST_F(SkinImages, ARowWithoutRecipeIsRefusedByName)
{
  const SkinImageRow stray{1, "STRAY_ID", "resources/img/stray.png", 1, false, SkinImageRow::kAnyScheme};
  std::vector<unsigned char> png;
  std::string error;
  EXPECT_FALSE(renderer->Render(stray, png, error));
  EXPECT_NE(error.find("resources/img/stray.png"), std::string::npos) << error;
  int w = 0, h = 0;
  EXPECT_FALSE(renderer->StripSize(stray, w, h));
  const SkinImageRow noFrames{1, "KNOB", "resources/img/knob-velk-normal.png",
                              0, false,  SkinImageRow::kAnyScheme};
  EXPECT_FALSE(renderer->StripSize(noFrames, w, h));
  EXPECT_FALSE(renderer->Render(noFrames, png, error));
}

TEST(SkinRecipeBookTest, ReadsLinesAndRefusesMalformedOnes)
{
  SkinRecipeBook book;
  std::string error;
  ASSERT_TRUE(book.Parse("# comment\n\n  knob-a knob 40 40\nbtn button 110 24 label=\"TWO WORDS\" size=10\n"
                         "tab radio 96 32 labels=\"A|B||C\"\r\n",
                         error))
      << error;
  ASSERT_EQ(book.All().size(), 3u);
  EXPECT_EQ(book.Find("btn")->Arg("label"), "TWO WORDS");
  EXPECT_EQ(book.Find("btn")->IntArg("size", 0), 10);
  EXPECT_EQ(book.Find("btn")->IntArg("label", 7), 7);
  EXPECT_EQ(book.Find("tab")->List("labels"), (std::vector<std::string>{"A", "B", "", "C"}));
  EXPECT_TRUE(book.Find("knob-a")->List("labels").empty());
  EXPECT_EQ(book.Find("missing"), nullptr);

  const std::pair<const char*, const char*> bad[] = {
      {"a knob 40\n", "1:"},                    // no height
      {"a knob 40 0\n", "1:"},                  // empty frame
      {"a knob 40 99999\n", "1:"},              // absurd frame
      {"a knob x 40\n", "1:"},                  // not a number
      {"a knob 40 40\n\na knob 30 30\n", "3:"}, // the same image twice
      {"a button 10 10 label=\"open\n", "1:"},  // unclosed quote
      {"a button 10 10 =x\n", "1:"},            // argument without a key
      {"a button 10 10 label\n", "1:"}};        // argument without a value
  for (const auto& [text, where] : bad)
  {
    SkinRecipeBook b;
    std::string e;
    EXPECT_FALSE(b.Parse(text, e)) << text;
    EXPECT_EQ(e.rfind(where, 0), 0u) << text << " -> " << e;
  }
}

TEST(SkinSchemesTest, RefusesIncompleteOrMalformedSchemes)
{
  std::string full = "font regular r.ttf\nfont bold b.ttf\n";
  for (const auto& role : SkinSchemes::Roles())
    full += "colour normal " + role + " #102030\ncolour second " + role + " #405060ff\n";
  SkinSchemes schemes;
  std::string error;
  ASSERT_TRUE(schemes.Parse(full, error)) << error;
  EXPECT_NEAR(schemes.Palette(SkinSchemes::kNormal)["text"].g, 0x20 / 255.0, 1e-9);
  EXPECT_NEAR(schemes.Palette(SkinSchemes::kSecond)["text"].b, 0x60 / 255.0, 1e-9);
  EXPECT_EQ(schemes.RegularFont(), "r.ttf");

  const std::string missingRole = full.substr(0, full.rfind("colour second"));
  const std::string badColour = full + "colour normal text #12345\n";
  const std::string badHex = full + "colour normal text #12345g\n";
  const std::string noBold = "font regular r.ttf\n" + full.substr(full.find("colour"));
  const std::string unknown = full + "shade normal text #ffffff\n";
  for (const std::string* text : {&missingRole, &badColour, &badHex, &noBold, &unknown})
  {
    SkinSchemes s;
    std::string e;
    EXPECT_FALSE(s.Parse(*text, e));
    EXPECT_FALSE(e.empty());
  }
  // Black on white is the largest contrast there is, a colour against itself the smallest.
  EXPECT_NEAR(SkinContrast({0, 0, 0, 1}, {1, 1, 1, 1}), 21.0, 1e-9);
  EXPECT_NEAR(SkinContrast({0.3, 0.4, 0.5, 1}, {0.3, 0.4, 0.5, 1}), 1.0, 1e-9);
}

TEST_F(SkinImages, RadioLabelsLeaveRoomInTheirCells)
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  SkinFonts fonts;
  std::string error;
  ASSERT_TRUE(fonts.Load(renderer->Schemes().RegularFont(), renderer->Schemes().BoldFont(), error)) << error;
  int checked = 0;
  {
    SkinCanvas canvas(surface, fonts);
    for (const auto& row : SkinImageRows())
    {
      const SkinRecipe* recipe = renderer->Recipes().Find(row.Stem());
      if (!recipe || recipe->kind != "radio") continue;
      const auto labels = recipe->List("labels");
      const int n = std::max<int>(1, int(labels.size()));
      // Frames side by side: the cells stack in a column.
      const int cw = row.horizontal ? recipe->width : recipe->width / n;
      const int ch = row.horizontal ? recipe->height / n : recipe->height;
      const double size = RadioLabelSize(*recipe, ch);
      for (const auto& label : labels)
      {
        if (label.empty() || label[0] == '~') continue; // a waveform glyph, drawn to the cell
        // At least a tenth of the cell (3 px or more) clear at each end, without shrinking the text.
        const double room = cw - 2 * std::max(3.0, cw / 10.0);
        for (const auto& line : RadioLabelLines(*recipe, label))
          EXPECT_LE(canvas.TextWidth(line, size, true), room)
              << row.file << ": \"" << line << "\" at " << size << " px fills its " << cw << " px cell";
        ++checked;
      }
    }
  }
  cairo_surface_destroy(surface);
  EXPECT_GT(checked, 20);
}

TEST_F(SkinImages, RadioCellsMeetWhereTheControlCutsThem)
{
  // The radio control cuts cell i of n out of a picture `length` long at round(i * length / n).
  // There the art's cells meet: the pixel either side of each cut is the margin of window
  // colour around a cell's button, the colour of the frame's first pixel across the middle.
  int checked = 0;
  for (const auto& row : SkinImageRows())
  {
    const SkinRecipe* recipe = renderer->Recipes().Find(row.Stem());
    if (!recipe || recipe->kind != "radio") continue;
    const int n = int(recipe->List("labels").size());
    ASSERT_GE(n, 2) << row.file;
    const SkinTestImage image = LoadBuilt(row);
    ASSERT_GT(image.width, 0) << row.file;
    int fw = 0, fh = 0;
    image.FrameSize(row, fw, fh);
    // Cells lie in a column when the frames lie side by side.
    const int length = row.horizontal ? fh : fw, middle = (row.horizontal ? fw : fh) / 2;
    for (int frame = 0; frame < row.frames; ++frame)
    {
      const int x0 = row.horizontal ? frame * fw : 0, y0 = row.horizontal ? 0 : frame * fh;
      auto at = [&](int along)
      { return row.horizontal ? image.At(x0 + middle, y0 + along) : image.At(x0 + along, y0 + middle); };
      for (int i = 1; i < n; ++i)
      {
        const int cut = int(std::floor(double(i) * length / n + 0.5));
        EXPECT_EQ(at(cut - 1), at(0))
            << row.file << " frame " << frame << ": cell " << i - 1 << " ends before " << cut;
        EXPECT_EQ(at(cut), at(0)) << row.file << " frame " << frame << ": cell " << i << " starts after "
                                  << cut;
      }
      EXPECT_EQ(at(length - 1), at(0)) << row.file << " frame " << frame << ": the last cell ends early";
    }
    ++checked;
  }
  EXPECT_GE(checked, 7);
}
