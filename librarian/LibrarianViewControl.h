#pragma once

#include "librarian/CustomOverlayControl.h"
#include "librarian/LibrarianSlot.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class ILibrarianHost;
class PatchLibrarian;

// The librarian's two-pane slot view: the left pane shows the librarian's left bank (what the
// synthesizer sent), the right pane its right bank, each as 128 cells in 4 columns of 32. A
// click selects a cell, a double click (or the space key) sends the slot to the synthesizer,
// dragging a slot onto another cell copies it there, and the arrow, digit and letter keys move
// the selection.
//
// The cells are laid out over the control's rectangle, which the document scales, so drawing
// and hit testing agree at every editor size. The cell texts are copied from the librarian
// under a small lock: the MIDI and transfer threads refresh them while the editor draws.
class LibrarianViewControl : public CustomOverlayControl
{
public:
  static constexpr int kColumns = 4;
  static constexpr int kRows = 32;
  static constexpr int kCells = kColumns * kRows;
  // Space between the panes and the cell text size, at normal editor size.
  static constexpr int kPaneGap = 20;
  static constexpr int kTextSize = 11;

  LibrarianViewControl(IEffectBase* plug, int left, int top, const IBitmapStrip& image,
                       const IRectangle& rect, PatchLibrarian* librarian, double scale);
  ~LibrarianViewControl() override;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
  void OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
  bool OnKeyDown(int x, int y, int key) override;
  bool Draw(IGraphics* graphics) override;
  // Also when the librarian's selection moved since the last frame (a job moves it on its thread).
  bool NeedsRedraw() override;

  // ---- layout ----
  // The cell's rectangle (side 0 left, 1 right; index 0..127, columns first), all zero outside.
  IRectangle CellRect(int side, int index) const;
  // The cell under the point; false between and outside the cells.
  bool CellAt(int x, int y, int* side, int* index) const;

  // ---- cells ----
  // Copy the bank's slot names into the cells (the empty text past the bank's end). Safe from
  // any thread; the caller asks for the redraw.
  void RefreshLeft();
  void RefreshRight();
  std::string CellText(int side, int index) const;

  // ---- editing the selected cell of the active side (user-interface thread) ----
  bool CopySelected();
  // Pastes the copied slot into the selected cell; the cell becomes the receive target slot.
  bool PasteToSelected();
  bool ClearSelected();
  bool HasCopiedSlot() const { return mHasClipboard; }
  // Selects a cell: the side becomes active and the librarian's selected slot of the side is the cell.
  void SelectCell(int side, int index);
  // The highlighted cell of a side: the librarian's selected slot of that side, which the transfer
  // jobs move too, so that what the view shows is always the slot the menus act on.
  int SelectedCell(int side) const;
  // Sends the slot to the synthesizer through the main class.
  void LoadCell(int side, int index);

  PatchLibrarian* Librarian() const { return mLibrarian; }
  double Scale() const { return mScale; }

  // ---- fields the link reads and writes ----
  std::atomic<int32_t> side{0};
  std::atomic<int32_t> loadedSlot{-1};

private:
  void Refresh(int side);
  ILibrarianHost* Host() const;
  void DropOn(int side, int index);

  PatchLibrarian* mLibrarian;
  double mScale;
  // The selection of a view without a librarian, and the selection each side was last drawn with.
  std::array<std::atomic<int32_t>, 2> mOwnSelection{};
  std::array<std::atomic<int32_t>, 2> mDrawnSelection{};
  ITextStyle mCellStyle;

  mutable std::mutex mTextMutex;
  std::array<std::array<std::string, kCells>, 2> mTexts;
  uint64_t mSeenRevision = ~uint64_t(0);

  // Drag and drop, user-interface thread only.
  int mDragSide = -1;
  int mDragIndex = -1;
  int mDropSide = -1;
  int mDropIndex = -1;

  LibrarianSlot mClipboard;
  bool mHasClipboard = false;
};
