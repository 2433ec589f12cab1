#pragma once

#include "framework/graphics/DirtyRegion.h"
#include "framework/support/HeapString.h"
#include "framework/support/IRectangle.h"
#include "framework/support/PointerList.h"

#include <atomic>
#include <cstdint>

class DirtyRegion;
class IControl;
class IGraphics;

// A node of the editor's panel tree (panel, tab, page or popup layer): its own controls and child
// groups, an id and a name, shown, hidden, greyed and redrawn as a whole. A parent remembers the
// id of the child that is its current page. A group built as one part's copy of a panel shows when
// its parent's current part is its part, whatever the current page (so a page's always-shown
// layers stay shown while the part changes). List order is drawing order; reversed, hit-testing
// order.
//
// Threads: pages and parts change on the user-interface thread and, for a part or a value chosen
// on the synthesizer, on the MIDI input thread (both under the plug-in's parameter lock) while the
// user-interface thread draws and hit-tests; what they read is atomic.
class LayerGroup
{
public:
  // Page ids that SetCurrentPage greys or un-greys; others are only stored.
  static constexpr int32_t kFirstPageId = 10;
  static constexpr int32_t kLastPageId = 152;

  LayerGroup(uint32_t id, const char* name);
  // Deletes the own controls (last to first), then the children with their contents.
  ~LayerGroup();

  LayerGroup(const LayerGroup&) = delete;
  LayerGroup& operator=(const LayerGroup&) = delete;

  // Both take ownership and answer the new index (-1 when the list could not grow; the object is
  // then deleted).
  int AddControl(IControl* control);
  int AddChildGroup(LayerGroup* child);

  // Showing shows the own controls and, among the children, only the current page and the copies
  // of the current part (recursively); hiding hides every descendant. Either way every control of
  // the subtree asks for a repaint (as RequestRedraw), shown or not; except that hiding a subtree
  // that stayed hidden since it was last hidden whole does nothing (its repaints would never be
  // collected).
  void Hide(bool hide);
  // Something in the group was shown (a control, a child group) or now repaints while hidden:
  // the group and its ancestors are no longer hidden whole.
  void NoteShown();
  // Greying greys every descendant; un-greying reaches only the current page's subtree.
  void SetGreyed(bool grey);
  // Selects the child page by id; for page ids 10..152 the matching child is greyed or un-greyed.
  void SetCurrentPage(bool grey, int32_t pageId);
  // Marks the group as the copy of a panel for one part (0..7); -1 (the default): no copy.
  void SetPartCopy(int32_t part) { mPart = part; }
  // Selects which part's copies among the children show; when the group is visible, the copies
  // of the other parts hide and the part's own copies show.
  void SetCurrentPart(int32_t part);
  // Whether any child is a part's copy.
  bool HoldsPartCopies() const;
  // Every control of the group and its descendants asks for a repaint.
  void RequestRedraw();
  // While set, the group's (and its descendants') redraw requests count although hidden.
  void SetReportDirtyWhenHidden(bool flag);

  bool CollectDirtyRect(IRectangle* rect);
  bool CollectDirtyRegion(DirtyRegion* region);
  void Draw(IGraphics* graphics, const IRectangle* rect);
  // Draws each control once for every area it meets (areas apart from one another); see DrawPass.
  void Draw(IGraphics* graphics, const IRectangle* areas, int count, DrawPass pass = DrawPass::kDraw);
  IControl* FindControlAt(int x, int y);
  void SyncParameter(int paramIdx, double value, bool normalised);

  uint32_t Id() const { return mId; }
  const char* Name() const { return mName.Get(); }
  bool IsVisible() const { return mVisible.load(std::memory_order_relaxed); }
  int32_t CurrentPage() const { return mCurrentPage.load(std::memory_order_relaxed); }
  int32_t CurrentPart() const { return mCurrentPart.load(std::memory_order_relaxed); }
  bool ReportDirtyWhenHidden() const { return mReportDirtyWhenHidden; }

  int NumControls() const { return mControls.Count(); }
  IControl* GetControl(int index) const { return mControls.Get(index); }
  int NumChildren() const { return mChildren.Count(); }
  LayerGroup* GetChild(int index) const { return mChildren.Get(index); }

private:
  uint32_t mId;
  std::atomic<bool> mVisible{false};
  PointerList<IControl> mControls;
  PointerList<LayerGroup> mChildren;
  HeapString mName;
  // Whether the child shows while this group shows.
  bool ShowsChild(const LayerGroup* child) const;
  // Hide's walk: the controls of groups the change applies to are hidden or shown, the others
  // only asked to repaint.
  void HideTree(bool hide, bool applies);

  LayerGroup* mParent = nullptr;
  // Set when a hide walk left every control and group of the subtree hidden with none that
  // repaints while hidden; cleared (here and above) by anything shown inside. mShownCount counts
  // those clearings, so that a walk that raced with one does not set it.
  std::atomic<bool> mHiddenWhole{false};
  std::atomic<uint32_t> mShownCount{0};

  std::atomic<int32_t> mCurrentPage{0};
  std::atomic<int32_t> mCurrentPart{0};
  int32_t mPart = -1; // set while the tree is built
  bool mReportDirtyWhenHidden = false;
};
