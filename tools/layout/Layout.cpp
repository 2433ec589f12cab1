#include "tools/layout/Layout.h"

#include <cmath>
#include <map>
#include <sstream>

#include "tools/common/ReadWholeFile.h"
#include "tools/layout/TextFields.h"

struct LayoutToken
{
  std::string text;
  int line = 0;
};

// One line of layout.txt as tokens: blanks separate, "..." keeps blanks, "#" starts a comment.
static std::vector<std::string> Tokenize(const std::string& line)
{
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, had = false;
  for (char c : line)
  {
    if (quoted)
    {
      if (c == '"')
      {
        quoted = false;
      }
      else
      {
        cur += c;
      }
      continue;
    }
    if (c == '#') break;
    if (c == '"')
    {
      quoted = true;
      had = true;
    }
    else if (c == ' ' || c == '\t' || c == '\r')
    {
      if (had || !cur.empty()) out.push_back(cur);
      cur.clear();
      had = false;
    }
    else
    {
      cur += c;
    }
  }
  if (had || !cur.empty()) out.push_back(cur);
  return out;
}

bool PlacedControl::InMultilayer() const
{
  for (const LayoutNode* l : layers)
    if (l->kind == LayoutKind::Multilayer) return true;
  return false;
}

bool Layout::Load(const std::string& bindingsPath, const std::string& layoutPath)
{
  std::string b, l;
  mErrors.clear();
  if (!ReadWholeFile(bindingsPath, b))
  {
    mErrors.push_back(bindingsPath + ": cannot be read");
    return false;
  }
  if (!ReadWholeFile(layoutPath, l))
  {
    mErrors.push_back(layoutPath + ": cannot be read");
    return false;
  }
  return LoadText(b, l);
}

bool Layout::LoadText(const std::string& bindingsText, const std::string& layoutText)
{
  mErrors.clear();
  mControls.clear();
  std::string error;
  if (!mBindings.Parse(bindingsText, error))
  {
    mErrors.push_back(error);
    return false;
  }
  if (!ParseLayout(layoutText)) return false;
  Place();
  if (mErrors.empty()) Check();
  return mErrors.empty();
}

// A line may hold "layer a 0 { slot ... }": its tokens as statements, split at the braces (a "{"
// ends the statement it opens, a "}" is a statement of its own).
static std::vector<std::vector<std::string>> SplitStatements(const std::vector<std::string>& tokens)
{
  std::vector<std::vector<std::string>> statements(1);
  for (const std::string& t : tokens)
  {
    if (t == "{")
    {
      statements.back().push_back(t);
      statements.emplace_back();
    }
    else if (t == "}")
    {
      statements.push_back({t});
      statements.emplace_back();
    }
    else
    {
      statements.back().push_back(t);
    }
  }
  return statements;
}

// The "key=value" options and the flag words of a statement (after its keyword) into the node; the
// other words, in order, into pos. The error, or empty.
static std::string ReadOptions(const std::vector<std::string>& tok, LayoutNode& n,
                               std::vector<std::string>& pos)
{
  for (size_t i = 1; i < tok.size(); ++i)
  {
    const std::string& t = tok[i];
    size_t eq = t.find('=');
    if (eq != std::string::npos && eq > 0 && t[0] != '"')
    {
      std::string key = t.substr(0, eq), value = t.substr(eq + 1);
      if (key == "lock")
      {
        n.lock = value;
      }
      else if (key == "as")
      {
        n.group = value;
      }
      else if (key == "part")
      {
        if (!ParseInt(value, n.part) || n.part < 0 || n.part > 7) return "part must be 0 to 7";
      }
      else if (key == "cell")
      {
        std::vector<std::string> wh = SplitFields(value, 'x');
        if (wh.size() != 2 || !ParseInt(wh[0], n.cellW) || !ParseInt(wh[1], n.cellH))
          return "cell must be WxH";
      }
      else
      {
        return "unknown attribute " + key;
      }
    }
    else if (t == "overlay")
    {
      n.overlay = true;
    }
    else if (t == "popup")
    {
      n.popup = true;
    }
    else if (t == "small")
    {
      n.small = true;
    }
    else if (t == "captioned")
    {
      n.captioned = true;
    }
    else
    {
      pos.push_back(t);
    }
  }
  return "";
}

// The positional words from `from` on as integers, one for each target; false when there are too
// few or one is not a number.
static bool ReadInts(const std::vector<std::string>& pos, size_t from, std::vector<int*> out)
{
  if (pos.size() < from + out.size()) return false;
  for (size_t i = 0; i < out.size(); ++i)
    if (!ParseInt(pos[from + i], *out[i])) return false;
  return true;
}

// The directive's kind, name and numbers from its positional words. The error, or empty.
static std::string ReadDirective(const std::string& kw, const std::vector<std::string>& pos, bool opens,
                                 LayoutNode& n)
{
  if (kw == "layer" || kw == "sublayer" || kw == "multilayer")
  {
    n.kind = kw == "layer"      ? LayoutKind::Layer
             : kw == "sublayer" ? LayoutKind::Sublayer
                                : LayoutKind::Multilayer;
    if (pos.size() != 2 || !ReadInts(pos, 1, {&n.id})) return kw + " needs a name and a number";
    n.name = pos[0];
    if (!opens) return kw + " must open a block with \"{\"";
  }
  else if (kw == "section")
  {
    n.kind = LayoutKind::Section;
    if (pos.size() != 6 || !ReadInts(pos, 1, {&n.rect.x, &n.rect.y, &n.cols, &n.rows}))
      return "section needs id, x, y, columns, rows and a title";
    n.name = pos[0];
    n.title = pos[5];
    n.rect.w = 12 + n.cellW * n.cols;
    // A section of no rows holds only its lock: the title bar alone, no empty body under it.
    n.rect.h = n.rows > 0 ? 30 + n.cellH * n.rows : 20;
  }
  else if (kw == "row")
  {
    n.kind = LayoutKind::Row;
    std::vector<std::string> wh = pos.size() == 5 ? SplitFields(pos[4], 'x') : std::vector<std::string>();
    if (pos.size() != 5 || !ReadInts(pos, 1, {&n.rect.x, &n.rect.y, &n.cols}) || wh.size() != 2 ||
        !ParseInt(wh[0], n.cellW) || !ParseInt(wh[1], n.cellH))
      return "row needs id, x, y, cells and WxH";
    n.name = pos[0];
    n.rows = 1;
    n.rect.w = n.cellW * n.cols;
    n.rect.h = n.cellH;
  }
  else if (kw == "slot" || kw == "browser")
  {
    n.kind = kw == "slot" ? LayoutKind::Slot : LayoutKind::Browser;
    if (pos.size() != 5 || !ReadInts(pos, 1, {&n.rect.x, &n.rect.y, &n.rect.w, &n.rect.h}))
      return kw + " needs a name, x, y, width and height";
    n.name = pos[0];
  }
  else if (kw == "background")
  {
    n.kind = LayoutKind::Background;
    if (pos.size() != 3 || !ReadInts(pos, 1, {&n.rect.x, &n.rect.y}))
      return "background needs an image, x and y";
    n.name = pos[0];
  }
  else
  {
    return "unknown directive " + kw;
  }
  if (n.group.empty()) n.group = n.name;
  if (opens && !n.IsLayer()) return kw + " cannot open a block";
  return "";
}

bool Layout::ParseLayout(const std::string& text)
{
  mRoot = LayoutNode();
  mRoot.name = "uiconfig";
  std::vector<LayoutNode*> stack{&mRoot};
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& what)
  {
    mErrors.push_back("layout.txt:" + std::to_string(lineNo) + ": " + what);
    return false;
  };
  while (std::getline(in, line))
  {
    ++lineNo;
    for (std::vector<std::string>& tok : SplitStatements(Tokenize(line)))
    {
      if (tok.empty()) continue;
      if (tok.size() == 1 && tok[0] == "}")
      {
        if (stack.size() < 2) return fail("\"}\" without an open layer");
        stack.pop_back();
        continue;
      }
      LayoutNode n;
      n.line = lineNo;
      const std::string kw = tok[0];
      const bool opens = tok.back() == "{";
      if (opens) tok.pop_back();
      std::vector<std::string> pos;
      std::string error = ReadOptions(tok, n, pos);
      if (error.empty()) error = ReadDirective(kw, pos, opens, n);
      if (!error.empty()) return fail(error);
      stack.back()->children.push_back(n);
      if (opens) stack.push_back(&stack.back()->children.back());
    }
  }
  if (stack.size() != 1)
  {
    mErrors.push_back("layout.txt: layer \"" + stack.back()->name + "\" (line " +
                      std::to_string(stack.back()->line) + ") is not closed");
    return false;
  }
  return true;
}

void Layout::Walk(
    const std::function<void(const LayoutNode&, const std::vector<const LayoutNode*>&)>& fn) const
{
  std::vector<const LayoutNode*> layers;
  std::function<void(const LayoutNode&)> rec = [&](const LayoutNode& n)
  {
    for (const LayoutNode& c : n.children)
    {
      fn(c, layers);
      if (c.IsLayer())
      {
        layers.push_back(&c);
        rec(c);
        layers.pop_back();
      }
    }
  };
  rec(mRoot);
}

std::string Layout::DefaultImage(const BindingRow& row, const std::string& kind)
{
  if (row.image != "-") return row.image;
  int n = row.Count();
  if (kind == "knob")
  {
    if (n <= 5) return "IKNOBROTATERCONTROL_ID5";
    if (n <= 16) return "IKNOBROTATERCONTROL_ID16";
    if (n <= 21) return "IKNOBROTATERCONTROL_ID21";
    if (n <= 25) return "IKNOBROTATERCONTROL_ID25";
    if (n <= 49) return "IKNOBROTATERCONTROL_ID49";
    return "IKNOBROTATERCONTROL_ID2";
  }
  if (kind == "small") return "IKNOBROTATERCONTROL_ID3";
  if (kind == "switch") return "BTN_SMALL_ID";
  if (kind == "lock") return "BUTTON_LOCK_WHITE_ID";
  if (kind == "radio")
  {
    if (n == 3) return "FILTER_SLOPE_ID";
    if (n == 4) return "LFO_WAVEFORM_ID";
    return "OSCILLATOR_WAVEFORM_ID";
  }
  if (kind == "autooff") return "ID_TRIGGER";
  return "";
}

PlacedControl Layout::Make(const BindingRow& row, const LayoutNode& home,
                           const std::vector<const LayoutNode*>& layers) const
{
  PlacedControl c;
  c.row = &row;
  c.home = &home;
  c.layers = layers;
  c.part = home.part;
  c.kind = row.control;
  if (c.kind == "knob" && (home.small || home.kind == LayoutKind::Row)) c.kind = "small";
  c.image = DefaultImage(row, c.kind);
  return c;
}

std::map<const LayoutNode*, std::vector<PlacedControl>> Layout::ControlsByHome()
{
  std::map<std::string, std::vector<std::pair<const LayoutNode*, std::vector<const LayoutNode*>>>> homes;
  Walk(
      [&](const LayoutNode& n, const std::vector<const LayoutNode*>& layers)
      {
        if (n.kind == LayoutKind::Section || n.kind == LayoutKind::Row || n.kind == LayoutKind::Slot)
          homes[n.group].push_back({&n, layers});
      });
  // Controls in the order of the table; each home collects its own.
  std::map<const LayoutNode*, std::vector<PlacedControl>> byHome;
  for (const BindingRow& row : mBindings.Rows())
  {
    for (const std::string& h : row.homes)
    {
      auto it = homes.find(h);
      if (it == homes.end())
      {
        mErrors.push_back("bindings.tsv:" + std::to_string(row.line) + " (" + row.name + "): home \"" + h +
                          "\" is not in layout.txt");
        continue;
      }
      for (auto& [node, layers] : it->second)
        byHome[node].push_back(Make(row, *node, layers));
    }
  }
  return byHome;
}

void Layout::PlaceLocks()
{
  // Locks sit in their section's title bar.
  Walk(
      [&](const LayoutNode& n, const std::vector<const LayoutNode*>& layers)
      {
        if (n.kind != LayoutKind::Section || n.lock.empty()) return;
        const BindingRow* row = mBindings.Find(n.lock);
        if (!row)
        {
          mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": lock " + n.lock +
                            " is not in bindings.tsv");
          return;
        }
        PlacedControl c;
        c.row = row;
        c.section = &n;
        c.layers = layers;
        c.part = n.part;
        c.kind = "lock";
        c.image = DefaultImage(*row, "lock");
        c.rect = {n.rect.Right() - 20, n.rect.y + 2, 14, 14};
        mControls.push_back(c);
      });
}

void Layout::PlaceInSlot(const LayoutNode& n, std::vector<PlacedControl>& list)
{
  if (list.size() != 1)
  {
    mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": slot " + n.name + " holds " +
                      std::to_string(list.size()) + " controls, not 1");
    return;
  }
  PlacedControl& c = list[0];
  const LayoutRect& s = n.rect;
  if (c.kind == "knob")
  {
    c.rect = {s.x + (s.w - 40) / 2, s.y + 4, 40, 40};
    c.label = {s.x, s.y + 46, s.w, 14};
  }
  else if (c.kind == "switch")
  {
    c.rect = {s.x + (s.w - 28) / 2, s.y + (s.h - 14) / 2, 28, 14};
  }
  else if (c.kind == "lock")
  {
    c.rect = {s.x, s.y, 14, 14};
  }
  else
  {
    c.rect = s;
    if (n.captioned) c.label = {s.x, s.y + s.h + 1, s.w, 12};
  }
  c.section = &n;
  mControls.push_back(c);
}

void Layout::PlaceInRow(const LayoutNode& n, std::vector<PlacedControl>& list)
{
  if (static_cast<int>(list.size()) > n.cols)
  {
    mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": row " + n.name + " has " +
                      std::to_string(n.cols) + " cells for " + std::to_string(list.size()) + " controls");
    return;
  }
  for (size_t i = 0; i < list.size(); ++i)
  {
    PlacedControl& c = list[i];
    int cx = n.rect.x + n.cellW * static_cast<int>(i), cy = n.rect.y;
    if (c.kind == "small")
    {
      c.rect = {cx + (n.cellW - 30) / 2, cy + (n.cellH - 30) / 2, 30, 30};
    }
    else if (c.kind == "switch" || c.kind == "lock")
    {
      c.rect = {cx + (n.cellW - 28) / 2, cy + (n.cellH - 14) / 2, 28, 14};
    }
    else
    {
      mErrors.push_back("bindings.tsv:" + std::to_string(c.row->line) + " (" + c.row->name + "): a " +
                        c.kind + " cannot go into row " + n.name);
      continue;
    }
    c.section = &n;
    mControls.push_back(c);
  }
}

// The cells a control of a section takes on its grid of half-height cells: w columns by h half rows;
// false for a kind that does not go into sections.
static bool SectionCells(const std::string& kind, int& w, int& h)
{
  w = 1;
  h = 2;
  if (kind == "switch" || kind == "lock")
  {
    h = 1;
  }
  else if (kind == "menu")
  {
    w = 2;
    h = 1;
  }
  else if (kind == "radio")
  {
    w = 2;
  }
  else if (kind != "knob" && kind != "small")
  {
    return false;
  }
  return true;
}

// The first free place of w by h cells, row by row, taken; false when there is none.
static bool TakeCells(std::vector<std::vector<bool>>& used, int w, int h, int& row, int& col)
{
  const int rows = static_cast<int>(used.size());
  const int cols = rows > 0 ? static_cast<int>(used[0].size()) : 0;
  for (int r = 0; r + h <= rows; ++r)
  {
    for (int c = 0; c + w <= cols; ++c)
    {
      bool free = true;
      for (int dr = 0; dr < h && free; ++dr)
        for (int dc = 0; dc < w && free; ++dc)
          free = !used[r + dr][c + dc];
      if (!free) continue;
      for (int dr = 0; dr < h; ++dr)
        for (int dc = 0; dc < w; ++dc)
          used[r + dr][c + dc] = true;
      row = r;
      col = c;
      return true;
    }
  }
  return false;
}

// The control's rectangle and caption in the cells at (cx, cy), cw wide, of half-height half.
static void SetSectionRects(PlacedControl& c, int cx, int cy, int cw, int half)
{
  if (c.kind == "knob")
  {
    c.rect = {cx + (cw - 40) / 2, cy + 4, 40, 40};
    c.label = {cx, cy + 46, cw, 14};
  }
  else if (c.kind == "small")
  {
    c.rect = {cx + (cw - 30) / 2, cy + 3, 30, 30};
    c.label = {cx, cy + 35, cw, 14};
  }
  else if (c.kind == "switch")
  {
    c.rect = {cx + (cw - 28) / 2, cy + 16, 28, 14};
    c.label = {cx, cy + 2, cw, 12};
  }
  else if (c.kind == "lock")
  {
    c.rect = {cx + (cw - 14) / 2, cy + 16, 14, 14};
    c.label = {cx, cy + 2, cw, 12};
  }
  else if (c.kind == "menu")
  {
    c.rect = {cx + 4, cy + 16, cw - 8, 13};
    c.label = {cx, cy + 2, cw, 12};
  }
  else
  { // radio
    const int width = Layout::RadioWidth(cw - 8, c.row->Count());
    c.rect = {cx + 4 + (cw - 8 - width) / 2, cy + 16, width, half * 2 - 20};
    c.label = {cx, cy + 2, cw, 12};
  }
}

void Layout::PlaceInSection(const LayoutNode& n, std::vector<PlacedControl>& list)
{
  // First fit on a grid of half-height cells, row by row.
  int halfRows = n.rows * 2, half = n.cellH / 2;
  std::vector<std::vector<bool>> used(halfRows, std::vector<bool>(n.cols, false));
  for (PlacedControl& c : list)
  {
    int w = 1, h = 2;
    if (!SectionCells(c.kind, w, h))
    {
      mErrors.push_back("bindings.tsv:" + std::to_string(c.row->line) + " (" + c.row->name + "): a " +
                        c.kind + " cannot go into section " + n.name + "; give it a slot");
      continue;
    }
    int r = 0, col = 0;
    if (!TakeCells(used, w, h, r, col))
    {
      mErrors.push_back("bindings.tsv:" + std::to_string(c.row->line) + " (" + c.row->name +
                        "): no room left in section " + n.name + " (layout.txt:" + std::to_string(n.line) +
                        ")");
      continue;
    }
    SetSectionRects(c, n.rect.x + 6 + n.cellW * col, n.rect.y + 24 + half * r, n.cellW * w, half);
    c.section = &n;
    mControls.push_back(c);
  }
}

void Layout::Place()
{
  std::map<const LayoutNode*, std::vector<PlacedControl>> byHome = ControlsByHome();
  PlaceLocks();
  // Each home lays out its own controls.
  Walk(
      [&](const LayoutNode& n, const std::vector<const LayoutNode*>&)
      {
        auto it = byHome.find(&n);
        if (it == byHome.end()) return;
        if (n.kind == LayoutKind::Slot)
          PlaceInSlot(n, it->second);
        else if (n.kind == LayoutKind::Row)
          PlaceInRow(n, it->second);
        else
          PlaceInSection(n, it->second);
      });
}

int Layout::RadioWidth(int room, int cells)
{
  if (cells < 2) return room;
  // The radio control cuts the scaled picture in proportion, so any width stays on its art; where
  // the cells would still blur by more than a pixel in the small or large editor, cells of a
  // multiple of 20 px are used instead (whole pixels, sharp cell edges at 0.85 and 1.15).
  for (double scale : {0.85, 1.15})
  {
    const double cut = std::floor(std::floor(room * scale) / cells), art = (room / cells) * scale;
    if ((cells - 1) * std::fabs(cut - art) > 1.0)
    {
      const int whole = room / (20 * cells) * 20 * cells;
      return whole > 0 ? whole : room;
    }
  }
  return room;
}

// Ids of one block are pages of their parent: only one of them shows at a time.
static int PageBlock(int id)
{
  if (id < 10) return id;
  if (id < 100) return id / 10 * 10;
  if (id <= 108) return 100;
  if (id <= 118) return 110;
  if (id <= 128) return 120;
  if (id <= 298) return 130;
  return 300;
}

bool Layout::CanBeSeenTogether(const PlacedControl& a, const PlacedControl& b)
{
  size_t i = 0;
  while (i < a.layers.size() && i < b.layers.size() && a.layers[i] == b.layers[i])
    ++i;
  if (i == a.layers.size() || i == b.layers.size()) return true;
  if (i == 0) return true; // the editor shows all its top-level layers
  const LayoutNode* x = a.layers[i];
  const LayoutNode* y = b.layers[i];
  int ix = x->kind == LayoutKind::Multilayer ? 0 : x->id;
  int iy = y->kind == LayoutKind::Multilayer ? 0 : y->id;
  if (ix == 0 || iy == 0 || ix == iy) return true;
  return PageBlock(ix) != PageBlock(iy);
}

static bool InPopup(const PlacedControl& c)
{
  for (const LayoutNode* l : c.layers)
    if (l->popup) return true;
  return false;
}

void Layout::Check()
{
  auto where = [](const PlacedControl& c)
  {
    return "bindings.tsv:" + std::to_string(c.row->line) + " (" + c.row->name +
           (c.part >= 0 ? " part " + std::to_string(c.part + 1) : std::string()) + " in " +
           (c.section ? c.section->name : std::string("?")) + ")";
  };
  auto inside = [](const LayoutRect& r)
  { return r.x >= 0 && r.y >= 0 && r.Right() <= kEditorWidth && r.Bottom() <= kEditorHeight; };
  for (const PlacedControl& c : mControls)
  {
    if (!inside(c.rect) || (c.label.w > 0 && !inside(c.label)))
      mErrors.push_back(where(c) + ": lies outside the editor's 1500 x 757");
  }
  Walk(
      [&](const LayoutNode& n, const std::vector<const LayoutNode*>&)
      {
        if ((n.kind == LayoutKind::Section || n.kind == LayoutKind::Row || n.kind == LayoutKind::Slot ||
             n.kind == LayoutKind::Browser) &&
            !inside(n.rect))
          mErrors.push_back("layout.txt:" + std::to_string(n.line) + ": " + n.name +
                            " lies outside the editor's 1500 x 757");
      });
  for (size_t i = 0; i < mControls.size(); ++i)
  {
    const PlacedControl& a = mControls[i];
    if (InPopup(a)) continue;
    for (size_t j = i + 1; j < mControls.size(); ++j)
    {
      const PlacedControl& b = mControls[j];
      if (InPopup(b) || !a.rect.Intersects(b.rect) || !CanBeSeenTogether(a, b)) continue;
      mErrors.push_back(where(a) + " overlaps " + where(b));
    }
  }
}

std::vector<const PlacedControl*> Layout::ControlsIn(const LayoutNode& node) const
{
  std::vector<const PlacedControl*> out;
  for (const PlacedControl& c : mControls)
    if (c.section == &node) out.push_back(&c);
  return out;
}
