#include "librarian/LibrarianViewControl.h"

#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/ParameterIds.h"
#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_SysBitmap.h"
#include "librarian/ILibrarianHost.h"
#include "librarian/PatchLibrarian.h"

#include <cctype>
#include <cstdio>

namespace
{
constexpr uint32_t kSelectedColour = 0xFF3A6EA5;
constexpr uint32_t kInactiveSelectedColour = 0xFF44505C;
constexpr uint32_t kLoadedColour = 0xFF2E7D32;
constexpr uint32_t kDropColour = 0xFFB07A1E;

bool ValidCell(int side, int index)
{
  return (side == 0 || side == 1) && index >= 0 && index < LibrarianViewControl::kCells;
}

bool Covers(const IRectangle& clip, const IRectangle& r)
{
  return r.Empty() || (clip.L <= r.L && clip.T <= r.T && clip.R >= r.R && clip.B >= r.B);
}

void Fill(IGraphics* graphics, const IRectangle& r, uint32_t colour, float alpha)
{
  const IRectangle clip = r.Intersect(graphics->DrawRect());
  if (clip.Empty() || clip.W() <= 0 || clip.H() <= 0) return;
  Gfx_FillArea(graphics->DrawBitmapSurface(), clip.L, clip.T, clip.W(), clip.H(), colour, alpha,
               BlendSourceAlpha);
}
} // namespace

LibrarianViewControl::LibrarianViewControl(IEffectBase* plug, int left, int top, const IBitmapStrip& image,
                                           const IRectangle& rect, PatchLibrarian* librarian, double scale)
    : CustomOverlayControl(plug, left, top, kLibrarianArea, image), mLibrarian(librarian),
      mScale(scale > 0.0 ? scale : 1.0)
{
  SetRect(rect);
  SetTargetRect(rect);
  mCellStyle =
      ITextStyle("DejaVu Sans Mono", static_cast<int32_t>(kTextSize * mScale), IColour(255, 230, 230, 230));
  mCellStyle.hAlign = ITextStyle::kAlignLeft;
  mCellStyle.vAlign = ITextStyle::kAlignMiddle;
  RefreshLeft();
  RefreshRight();
}

LibrarianViewControl::~LibrarianViewControl() = default;

// ---- layout ----

IRectangle LibrarianViewControl::CellRect(int s, int index) const
{
  if (!ValidCell(s, index)) return IRectangle();
  const IRectangle& r = Rect();
  const int gap = static_cast<int>(kPaneGap * mScale);
  const int paneWidth = (r.W() - gap) / 2;
  if (paneWidth < kColumns || r.H() < kRows) return IRectangle();
  const int paneLeft = r.L + (s == 0 ? 0 : paneWidth + gap);
  const int column = index / kRows;
  const int row = index % kRows;
  // Boundaries by proportion, so the cells tile the pane without a remainder strip.
  return IRectangle(paneLeft + column * paneWidth / kColumns, r.T + row * r.H() / kRows,
                    paneLeft + (column + 1) * paneWidth / kColumns, r.T + (row + 1) * r.H() / kRows);
}

bool LibrarianViewControl::CellAt(int x, int y, int* outSide, int* outIndex) const
{
  const IRectangle& r = Rect();
  if (!r.Contains(x, y)) return false;
  const int gap = static_cast<int>(kPaneGap * mScale);
  const int paneWidth = (r.W() - gap) / 2;
  if (paneWidth < kColumns || r.H() < kRows) return false;
  int s = 0;
  int px = x - r.L;
  if (px >= paneWidth)
  {
    px -= paneWidth + gap;
    if (px < 0 || px >= paneWidth) return false;
    s = 1;
  }
  int column = 0;
  while (column < kColumns - 1 && px >= (column + 1) * paneWidth / kColumns)
    ++column;
  int row = 0;
  while (row < kRows - 1 && y - r.T >= (row + 1) * r.H() / kRows)
    ++row;
  const int index = column * kRows + row;
  if (!CellRect(s, index).Contains(x, y)) return false;
  if (outSide) *outSide = s;
  if (outIndex) *outIndex = index;
  return true;
}

// ---- cells ----

void LibrarianViewControl::Refresh(int s)
{
  if (!mLibrarian) return;
  std::vector<std::string> names = mLibrarian->SlotNames(s);
  std::lock_guard<std::mutex> lock(mTextMutex);
  for (int i = 0; i < kCells; ++i)
    mTexts[static_cast<size_t>(s)][static_cast<size_t>(i)] = std::move(names[static_cast<size_t>(i)]);
}

void LibrarianViewControl::RefreshLeft()
{
  Refresh(0);
}

void LibrarianViewControl::RefreshRight()
{
  Refresh(1);
}

std::string LibrarianViewControl::CellText(int s, int index) const
{
  if (!ValidCell(s, index)) return std::string();
  std::lock_guard<std::mutex> lock(mTextMutex);
  return mTexts[static_cast<size_t>(s)][static_cast<size_t>(index)];
}

// ---- selection and editing ----

ILibrarianHost* LibrarianViewControl::Host() const
{
  return dynamic_cast<ILibrarianHost*>(Plug());
}

int LibrarianViewControl::SelectedCell(int s) const
{
  if (!mLibrarian) return mOwnSelection[s == 0 ? 0 : 1].load();
  return s == 0 ? mLibrarian->selectedLeftSlot.load() : mLibrarian->selectedRightSlot.load();
}

void LibrarianViewControl::SelectCell(int s, int index)
{
  if (!ValidCell(s, index)) return;
  side = s;
  if (!mLibrarian)
    mOwnSelection[size_t(s)] = index;
  else if (s == 0)
    mLibrarian->selectedLeftSlot = index;
  else
    mLibrarian->selectedRightSlot = index;
  RequestRedraw(false);
}

void LibrarianViewControl::LoadCell(int s, int index)
{
  if (!ValidCell(s, index)) return;
  SelectCell(s, index);
  loadedSlot = index;
  if (ILibrarianHost* host = Host()) host->LibrarianSendSlot(index, s);
}

bool LibrarianViewControl::CopySelected()
{
  if (!mLibrarian) return false;
  const int s = side.load();
  LibrarianSlot copy;
  if (!mLibrarian->CopySlot(s, SelectedCell(s), &copy) || copy.IsEmpty()) return false;
  mClipboard = std::move(copy);
  mHasClipboard = true;
  return true;
}

bool LibrarianViewControl::PasteToSelected()
{
  if (!mLibrarian || !mHasClipboard) return false;
  const int s = side.load();
  const int index = SelectedCell(s);
  if (!mLibrarian->PutSlot(s, index, mClipboard)) return false;
  mLibrarian->receiveTargetSlot = index;
  Refresh(s);
  RequestRedraw(false);
  return true;
}

bool LibrarianViewControl::ClearSelected()
{
  if (!mLibrarian) return false;
  const int s = side.load();
  const int index = SelectedCell(s);
  LibrarianSlot empty;
  empty.number = static_cast<uint32_t>(index);
  if (!mLibrarian->PutSlot(s, index, empty)) return false;
  Refresh(s);
  RequestRedraw(false);
  return true;
}

void LibrarianViewControl::DropOn(int s, int index)
{
  if (!mLibrarian || !ValidCell(mDragSide, mDragIndex) || !ValidCell(s, index)) return;
  if (s == mDragSide && index == mDragIndex) return;
  LibrarianSlot moved;
  // Dragging an empty cell copies nothing: it would only wipe the target.
  if (!mLibrarian->CopySlot(mDragSide, mDragIndex, &moved) || moved.IsEmpty()) return;
  if (!mLibrarian->PutSlot(s, index, moved)) return;
  mLibrarian->receiveTargetSlot = index;
  Refresh(s);
  SelectCell(s, index);
}

// ---- mouse and keys ----

void LibrarianViewControl::OnMouseDown(int x, int y, const IMouseMod&)
{
  mDragSide = mDragIndex = mDropSide = mDropIndex = -1;
  if (IsGreyed()) return;
  int s = 0, index = 0;
  if (!CellAt(x, y, &s, &index)) return;
  SelectCell(s, index);
  mDragSide = s;
  mDragIndex = index;
}

void LibrarianViewControl::OnMouseDrag(int x, int y, int, int, const IMouseMod&)
{
  if (mDragSide < 0) return;
  int s = -1, index = -1;
  if (!CellAt(x, y, &s, &index)) s = index = -1;
  if (s != mDropSide || index != mDropIndex)
  {
    mDropSide = s;
    mDropIndex = index;
    RequestRedraw(false);
  }
}

void LibrarianViewControl::OnMouseUp(int x, int y, const IMouseMod&)
{
  int s = -1, index = -1;
  if (mDragSide >= 0 && mDropSide >= 0 && CellAt(x, y, &s, &index)) DropOn(s, index);
  if (mDropSide >= 0) RequestRedraw(false);
  mDragSide = mDragIndex = mDropSide = mDropIndex = -1;
}

void LibrarianViewControl::OnMouseDblClick(int x, int y, const IMouseMod&)
{
  if (IsGreyed()) return;
  int s = 0, index = 0;
  if (CellAt(x, y, &s, &index)) LoadCell(s, index);
}

bool LibrarianViewControl::OnKeyDown(int, int, int key)
{
  if (IsGreyed()) return false;
  const int s = side.load();
  const int current = SelectedCell(s);
  int next = current;
  switch (key)
  {
  case kKeySpace:
    LoadCell(s, current);
    return true;
  case kKeyUp:
    next = current - 1;
    break;
  case kKeyDown:
    next = current + 1;
    break;
  case kKeyLeft:
    next = current - kRows;
    break;
  case kKeyRight:
    next = current + kRows;
    break;
  default:
  {
    char wanted = 0;
    if (key >= kKeyDigit0 && key < kKeyDigit0 + 10)
      wanted = static_cast<char>('0' + key - kKeyDigit0);
    else if (key >= kKeyLetterA && key < kKeyLetterA + 26)
      wanted = static_cast<char>('A' + key - kKeyLetterA);
    else
      return false;
    // The next cell after the selection whose name starts with the character, wrapping.
    std::lock_guard<std::mutex> lock(mTextMutex);
    for (int step = 1; step <= kCells; ++step)
    {
      const int i = (current + step) % kCells;
      const std::string& text = mTexts[static_cast<size_t>(s)][static_cast<size_t>(i)];
      if (!text.empty() && std::toupper(static_cast<unsigned char>(text[0])) == wanted)
      {
        next = i;
        break;
      }
    }
    if (next == current) return false;
  }
  }
  if (next < 0) next = 0;
  if (next >= kCells) next = kCells - 1;
  if (next != current) SelectCell(s, next);
  return true;
}

// ---- drawing ----

bool LibrarianViewControl::NeedsRedraw()
{
  return CustomOverlayControl::NeedsRedraw() || SelectedCell(0) != mDrawnSelection[0].load() ||
         SelectedCell(1) != mDrawnSelection[1].load();
}

bool LibrarianViewControl::Draw(IGraphics* graphics)
{
  if (!graphics || !graphics->DrawBitmapSurface()) return false;
  if (mStrip.bitmap) IBitmapControl::Draw(graphics);
  // Changes made without a refresh (a slot stored from a dump) still show on the next frame.
  if (mLibrarian && mLibrarian->Revision() != mSeenRevision)
  {
    mSeenRevision = mLibrarian->Revision();
    RefreshLeft();
    RefreshRight();
  }
  std::array<std::array<std::string, kCells>, 2> texts;
  {
    std::lock_guard<std::mutex> lock(mTextMutex);
    texts = mTexts;
  }
  const IRectangle clip = Rect().Intersect(graphics->DrawRect());
  const int active = side.load();
  const int textInset = static_cast<int>(3 * mScale);
  char line[64];
  for (int s = 0; s < 2; ++s)
  {
    const int selected = SelectedCell(s);
    // Shown once a frame repaints both the cell it moved from and the one it moved to.
    if (Covers(clip, CellRect(s, mDrawnSelection[size_t(s)].load())) && Covers(clip, CellRect(s, selected)))
      mDrawnSelection[size_t(s)] = selected;
    for (int i = 0; i < kCells; ++i)
    {
      IRectangle cell = CellRect(s, i);
      if (cell.Empty() || cell.Intersect(clip).Empty()) continue;
      if (s == mDropSide && i == mDropIndex)
        Fill(graphics, cell, kDropColour, Blend().alpha);
      else if (i == selected)
        Fill(graphics, cell, s == active ? kSelectedColour : kInactiveSelectedColour, Blend().alpha);
      else if (s == 0 && i == loadedSlot.load())
        Fill(graphics, cell, kLoadedColour, Blend().alpha);
      std::snprintf(line, sizeof line, "%03d %s", i + 1,
                    texts[static_cast<size_t>(s)][static_cast<size_t>(i)].c_str());
      cell.L += textInset;
      graphics->DrawTextInRect(&mCellStyle, line, &cell);
    }
  }
  return true;
}
