#include "platform/text/FreeTypeRasteriser.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

#include "platform/text/FontFolders.h"
#include "platform/text/SyntheticRasteriser.h"

namespace
{

constexpr int kDefaultHeight = 16;
constexpr int kMaxHeight = 4096;

struct Family
{
  const char* name;
  const char* files[4]; // regular, bold, italic, bold italic (file names compared without case)
};

const Family kFamilies[] = {
    {"DejaVu Sans Mono",
     {"DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf", "DejaVuSansMono-Oblique.ttf",
      "DejaVuSansMono-BoldOblique.ttf"}},
    {"Liberation Mono",
     {"LiberationMono-Regular.ttf", "LiberationMono-Bold.ttf", "LiberationMono-Italic.ttf",
      "LiberationMono-BoldItalic.ttf"}},
    {"DejaVu Sans",
     {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"}},
    {"DejaVu Sans Condensed",
     {"DejaVuSansCondensed.ttf", "DejaVuSansCondensed-Bold.ttf", "DejaVuSansCondensed-Oblique.ttf",
      "DejaVuSansCondensed-BoldOblique.ttf"}},
    {"DejaVu Serif",
     {"DejaVuSerif.ttf", "DejaVuSerif-Bold.ttf", "DejaVuSerif-Italic.ttf", "DejaVuSerif-BoldItalic.ttf"}},
    {"Liberation Sans",
     {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf", "LiberationSans-Italic.ttf",
      "LiberationSans-BoldItalic.ttf"}},
    {"Liberation Sans Narrow",
     {"LiberationSansNarrow-Regular.ttf", "LiberationSansNarrow-Bold.ttf", "LiberationSansNarrow-Italic.ttf",
      "LiberationSansNarrow-BoldItalic.ttf"}},
    {"Liberation Serif",
     {"LiberationSerif-Regular.ttf", "LiberationSerif-Bold.ttf", "LiberationSerif-Italic.ttf",
      "LiberationSerif-BoldItalic.ttf"}},
    // The faces of the product's home system under their own file names: where they are installed
    // (the Windows fonts folder) they are used as they are.
    {"Consolas", {"consola.ttf", "consolab.ttf", "consolai.ttf", "consolaz.ttf"}},
    {"Courier New", {"cour.ttf", "courbd.ttf", "couri.ttf", "courbi.ttf"}},
    {"Lucida Console", {"lucon.ttf", nullptr, nullptr, nullptr}},
    {"Arial", {"arial.ttf", "arialbd.ttf", "ariali.ttf", "arialbi.ttf"}},
    {"Arial Narrow", {"arialn.ttf", "arialnb.ttf", "arialni.ttf", "arialnbi.ttf"}},
    {"Tahoma", {"tahoma.ttf", "tahomabd.ttf", nullptr, nullptr}},
    {"Verdana", {"verdana.ttf", "verdanab.ttf", "verdanai.ttf", "verdanaz.ttf"}},
    {"Segoe UI", {"segoeui.ttf", "segoeuib.ttf", "segoeuii.ttf", "segoeuiz.ttf"}},
    {"Calibri", {"calibri.ttf", "calibrib.ttf", "calibrii.ttf", "calibriz.ttf"}},
    {"Microsoft Sans Serif", {"micross.ttf", nullptr, nullptr, nullptr}},
    {"Times New Roman", {"times.ttf", "timesbd.ttf", "timesi.ttf", "timesbi.ttf"}},
    {"Georgia", {"georgia.ttf", "georgiab.ttf", "georgiai.ttf", "georgiaz.ttf"}},
};

// Faces of the product's home system and generic names, onto the nearest
// family of the free fonts, for where the face itself is not installed.
const std::pair<const char*, const char*> kAliases[] = {
    // The face the editor's documents name, a semi-condensed monospace no free font set carries: the
    // default monospace faces, in their order, stand in for it without a word.
    {"nk57 monospace sc sb", "Consolas"},
    {"nk57 monospace sc sb", "DejaVu Sans Mono"},
    {"nk57 monospace sc sb", "Liberation Mono"},
    {"nk57 monospace sc sb", "Courier New"},
    {"consolas", "DejaVu Sans Mono"},
    {"lucida console", "DejaVu Sans Mono"},
    {"lucida sans typewriter", "DejaVu Sans Mono"},
    {"monospace", "DejaVu Sans Mono"},
    {"fixedsys", "DejaVu Sans Mono"},
    {"terminal", "DejaVu Sans Mono"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"ms sans serif", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"},
    {"sans-serif", "Liberation Sans"},
    {"arial narrow", "Liberation Sans Narrow"},
    {"tahoma", "DejaVu Sans"},
    {"verdana", "DejaVu Sans"},
    {"segoe ui", "DejaVu Sans"},
    {"calibri", "DejaVu Sans"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"serif", "Liberation Serif"},
    {"georgia", "DejaVu Serif"},
    {"cambria", "DejaVu Serif"},
};

const char* const kDefaultMonospace[] = {"Consolas", "DejaVu Sans Mono", "Liberation Mono", "Courier New"};

std::string Lower(const char* s)
{
  std::string out;
  for (; *s; ++s)
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
  // Surrounding blanks are not part of a face name.
  const size_t b = out.find_first_not_of(' ');
  const size_t e = out.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
}

const Family* FindExactFamily(const std::string& lowered)
{
  for (const Family& f : kFamilies)
    if (lowered == Lower(f.name)) return &f;
  return nullptr;
}

// The families a face may be drawn with, best first: the face itself, then its stand-in.
std::vector<const Family*> FindFamilies(const std::string& lowered)
{
  std::vector<const Family*> out;
  if (const Family* f = FindExactFamily(lowered)) out.push_back(f);
  for (const auto& [alias, family] : kAliases)
    if (lowered == alias)
      if (const Family* f = FindExactFamily(Lower(family))) out.push_back(f);
  return out;
}

} // namespace

struct FreeTypeRasteriser::Impl
{
  std::mutex lock; // FreeType's library object is not safe for concurrent face creation
  FT_Library library = nullptr;
  bool indexed = false;
  std::map<std::string, std::filesystem::path> files; // lower-case file name -> path
  // Font files read into memory (FreeType's own file access takes only narrow paths, which cannot
  // name every folder on Windows); shared by the faces made from them.
  std::map<std::filesystem::path, std::shared_ptr<const std::vector<FT_Byte>>> contents;
  SyntheticRasteriser synthetic;
  // Faces already reported as missing: every editor opens its fonts again, the report is made once.
  std::set<std::string> reported;

  Impl()
  {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  ~Impl()
  {
    if (library) FT_Done_FreeType(library);
  }

  // Walk the font folders once; the first file of a name wins.
  void Index()
  {
    if (indexed) return;
    indexed = true;
    namespace fs = std::filesystem;
    for (const fs::path& root : FontFolders())
    {
      std::error_code ec;
      fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
      for (; !ec && it != end; it.increment(ec))
      {
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        files.emplace(Lower(reinterpret_cast<const char*>(it->path().filename().u8string().c_str())),
                      it->path());
      }
    }
  }

  std::filesystem::path FileOf(const Family& f, bool bold, bool italic)
  {
    const int order[4][4] = {{0, -1, -1, -1}, {1, 0, -1, -1}, {2, 0, -1, -1}, {3, 1, 2, 0}};
    for (int i : order[(bold ? 1 : 0) + (italic ? 2 : 0)])
    {
      if (i < 0) break;
      if (!f.files[i]) continue;
      auto it = files.find(Lower(f.files[i]));
      if (it != files.end()) return it->second;
    }
    return {};
  }

  std::filesystem::path Resolve(const TextFontRequest& request, bool* known)
  {
    Index();
    char face[TextFontRequest::kFaceSize] = {};
    std::memcpy(face, request.face, TextFontRequest::kFaceSize - 1);
    const std::string lowered = Lower(face);
    if (known) *known = true;
    for (const Family* f : FindFamilies(lowered))
    {
      std::filesystem::path file = FileOf(*f, request.Bold(), request.italic);
      if (!file.empty()) return file;
    }
    // An empty face asks for the default; anything else was not found.
    if (known) *known = lowered.empty();
    for (const char* name : kDefaultMonospace)
    {
      std::filesystem::path file = FileOf(*FindExactFamily(Lower(name)), request.Bold(), request.italic);
      if (!file.empty()) return file;
    }
    for (const Family& f : kFamilies)
    {
      std::filesystem::path file = FileOf(f, request.Bold(), request.italic);
      if (!file.empty()) return file;
    }
    return {};
  }

  // The bytes of a font file, read once; null when it cannot be read.
  std::shared_ptr<const std::vector<FT_Byte>> Contents(const std::filesystem::path& file)
  {
    auto it = contents.find(file);
    if (it != contents.end()) return it->second;
    std::ifstream in(file, std::ios::binary);
    std::vector<FT_Byte> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return nullptr;
    auto shared = std::make_shared<const std::vector<FT_Byte>>(std::move(bytes));
    contents.emplace(file, shared);
    return shared;
  }
};

namespace
{

class FreeTypeFont : public TextFont
{
public:
  FreeTypeFont(const TextFontRequest& request, const char* usedFace,
               std::shared_ptr<FreeTypeRasteriser::Impl> impl, FT_Face face,
               std::shared_ptr<const std::vector<FT_Byte>> bytes)
      : TextFont(request, usedFace), mImpl(std::move(impl)), mBytes(std::move(bytes)), mFace(face)
  {
    int h = request.height;
    int em = 0;
    if (h < 0)
    {
      em = std::min(-h, kMaxHeight);
      h = 0;
    }
    else if (h == 0)
    {
      h = kDefaultHeight;
    }
    h = std::min(h, kMaxHeight);

    // The cell height is the font's ascent + descent, as the product's home
    // system measures it (the OS/2 "win" metrics where present).
    double asc = face->ascender;
    double desc = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
    {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    const double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048.0;
    if (asc + desc <= 0)
    {
      asc = upem * 0.8;
      desc = upem * 0.2;
    }
    double ppem;
    if (em > 0)
    {
      ppem = em;
      h = std::max(1, static_cast<int>(std::lround(em * (asc + desc) / upem)));
    }
    else
    {
      ppem = h * upem / (asc + desc);
    }
    mHeight = h;
    mAscent = static_cast<int>(std::lround(h * asc / (asc + desc)));
    FT_Set_Char_Size(mFace, 0, static_cast<FT_F26Dot6>(std::lround(ppem * 64.0)), 72, 72);
    mLoadFlags = request.NonAntialiased() ? (FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO)
                                          : (FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL);
  }

  ~FreeTypeFont() override
  {
    std::lock_guard<std::mutex> g(mImpl->lock);
    FT_Done_Face(mFace);
  }

  int LineHeight() const override { return mHeight; }
  int Ascent() const override { return mAscent; }

  bool HasChar(uint32_t code) const override { return FT_Get_Char_Index(mFace, code) != 0; }

  int CharAdvance(uint32_t code) override
  {
    if (IsControl(code) || FT_Load_Char(mFace, code, mLoadFlags) != 0) return 0;
    return Advance();
  }

  int RenderChar(uint32_t code, uint8_t* cell, int width, int height, int stride) override
  {
    const bool validCell = cell && width > 0 && height > 0 && stride >= width;
    if (validCell)
      for (int y = 0; y < height; ++y)
        std::memset(cell + static_cast<size_t>(y) * stride, 0, width);
    if (IsControl(code) || FT_Load_Char(mFace, code, mLoadFlags) != 0) return 0;
    const int advance = Advance();
    if (!validCell) return advance;
    FT_GlyphSlot slot = mFace->glyph;
    const FT_Render_Mode mode = Request().NonAntialiased() ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, mode) != 0) return advance;

    const FT_Bitmap& bm = slot->bitmap;
    if (!bm.buffer) return advance;
    const int x0 = slot->bitmap_left;
    const int y0 = mAscent - slot->bitmap_top;
    const int rows = static_cast<int>(bm.rows);
    const int cols = static_cast<int>(bm.width);
    for (int r = 0; r < rows; ++r)
    {
      const int y = y0 + r;
      if (y < 0 || y >= height) continue;
      // A negative pitch means the rows run bottom-up.
      const unsigned char* src = bm.pitch >= 0 ? bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch
                                               : bm.buffer + static_cast<ptrdiff_t>(rows - 1 - r) * -bm.pitch;
      uint8_t* dst = cell + static_cast<size_t>(y) * stride;
      for (int c = 0; c < cols; ++c)
      {
        const int x = x0 + c;
        if (x < 0 || x >= width) continue;
        uint8_t v = 0;
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
          v = (src[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0;
        else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
          v = bm.num_grays == 256 ? src[c]
                                  : static_cast<uint8_t>(src[c] * 255 / std::max(1, bm.num_grays - 1));
        dst[x] = std::max(dst[x], v);
      }
    }
    return advance;
  }

private:
  static bool IsControl(uint32_t code) { return code < 32 || (code >= 127 && code < 160); }
  int Advance() const { return static_cast<int>((mFace->glyph->advance.x + 32) >> 6); }

  std::shared_ptr<FreeTypeRasteriser::Impl> mImpl;
  std::shared_ptr<const std::vector<FT_Byte>> mBytes; // the face reads them for its whole life
  FT_Face mFace;
  int mHeight = 0;
  int mAscent = 0;
  FT_Int32 mLoadFlags = FT_LOAD_DEFAULT;
};

} // namespace

FreeTypeRasteriser::FreeTypeRasteriser() : mImpl(std::make_shared<Impl>()) {}

FreeTypeRasteriser::~FreeTypeRasteriser() = default;

std::string FreeTypeRasteriser::ResolveFile(const TextFontRequest& request, bool* known)
{
  std::lock_guard<std::mutex> g(mImpl->lock);
  const std::u8string file = mImpl->Resolve(request, known).u8string();
  return std::string(file.begin(), file.end());
}

std::unique_ptr<TextFont> FreeTypeRasteriser::OpenFont(const TextFontRequest& request)
{
  bool known = true;
  FT_Face face = nullptr;
  std::shared_ptr<const std::vector<FT_Byte>> bytes;
  {
    std::lock_guard<std::mutex> g(mImpl->lock);
    const std::filesystem::path file = mImpl->Resolve(request, &known);
    if (!file.empty() && mImpl->library) bytes = mImpl->Contents(file);
    if (bytes && FT_New_Memory_Face(mImpl->library, bytes->data(), FT_Long(bytes->size()), 0, &face) != 0)
      face = nullptr;
  }
  char line[160];
  bool firstReport = false;
  if (!face || !known)
  {
    std::lock_guard<std::mutex> g(mImpl->lock);
    firstReport =
        mImpl->reported.insert(std::string(request.face, strnlen(request.face, TextFontRequest::kFaceSize)))
            .second;
  }
  if (!face)
  {
    std::snprintf(line, sizeof line, "TEXT: no font file for face \"%s\"; using built-in glyphs",
                  request.face);
    if (firstReport) Log(line);
    return mImpl->synthetic.OpenFont(request);
  }
  std::string used = face->family_name ? face->family_name : "";
  if (!known && firstReport)
  {
    std::snprintf(line, sizeof line, "TEXT: face \"%s\" not found; using \"%s\"", request.face, used.c_str());
    Log(line);
  }
  return std::make_unique<FreeTypeFont>(request, used.c_str(), mImpl, face, std::move(bytes));
}
