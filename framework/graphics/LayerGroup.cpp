#include "framework/graphics/LayerGroup.h"

#include "framework/controls/IControl.h"
#include "framework/graphics/DirtyRegion.h"
#include "framework/graphics/IGraphics.h"
#include "framework/support/Prefetch.h"

LayerGroup::LayerGroup(uint32_t id, const char* name) : mId(id), mName(name ? name : "") {}

LayerGroup::~LayerGroup()
{
  IControl::BindingsChanged();
  mControls.DeleteAll();
  mChildren.DeleteAll();
  mControls.Release();
  mChildren.Release();
}

int LayerGroup::AddControl(IControl* control)
{
  if (!control) return -1;
  if (!mControls.Append(control))
  {
    delete control;
    return -1;
  }
  control->SetLayer(this);
  NoteShown(); // a new control is not hidden
  IControl::BindingsChanged();
  return mControls.Count() - 1;
}

int LayerGroup::AddChildGroup(LayerGroup* child)
{
  if (!child || child == this) return -1;
  if (!mChildren.Append(child))
  {
    delete child;
    return -1;
  }
  child->mParent = this;
  NoteShown();
  IControl::BindingsChanged();
  return mChildren.Count() - 1;
}

void LayerGroup::Hide(bool hide)
{
  HideTree(hide, true);
}

void LayerGroup::HideTree(bool hide, bool applies)
{
  // Hidden whole and nothing shown inside since: hiding it again changes nothing that can be seen,
  // and the walk over thousands of controls (on every recall of a project) is saved.
  if (applies && hide && mHiddenWhole.load()) return;
  const uint32_t shownBefore = mShownCount.load();
  // One walk: every control of the subtree asks for a repaint, and those of the groups the change
  // reaches take the hidden state too (a control's Hide asks for the repaint itself).
  if (applies) mVisible.store(!hide, std::memory_order_relaxed);
  bool quiet = !mReportDirtyWhenHidden;
  const int n = mControls.Count();
  for (int i = 0; i < n; ++i)
  {
    if (i + 4 < n) PrefetchForWrite(mControls.Get(i + 4));
    IControl* c = mControls.Get(i);
    // A control of this group is noted as shown once, when the walk ends, not one by one up the
    // tree (a page shows hundreds).
    if (applies && c->Layer() == this)
      c->HideInGroupWalk(hide);
    else if (applies)
      c->Hide(hide);
    else
      c->RequestRedraw(false);
    if (c->ReportDirtyWhenHidden()) quiet = false;
  }
  for (int i = 0; i < mChildren.Count(); ++i)
  {
    LayerGroup* child = mChildren.Get(i);
    child->HideTree(hide, applies && (hide || ShowsChild(child)));
    if (!child->mHiddenWhole.load()) quiet = false;
  }
  if (!applies) return;
  if (!hide)
  {
    NoteShown();
    return;
  }
  // Set, then taken back if something inside was shown meanwhile (from another thread).
  mHiddenWhole.store(quiet);
  if (quiet && mShownCount.load() != shownBefore) mHiddenWhole.store(false);
}

void LayerGroup::NoteShown()
{
  for (LayerGroup* g = this; g; g = g->mParent)
  {
    g->mShownCount.fetch_add(1);
    g->mHiddenWhole.store(false);
  }
}

bool LayerGroup::ShowsChild(const LayerGroup* child) const
{
  if (child->mPart >= 0) return child->mPart == CurrentPart();
  return int64_t(child->Id()) == int64_t(CurrentPage());
}

void LayerGroup::SetCurrentPart(int32_t part)
{
  mCurrentPart.store(part, std::memory_order_relaxed);
  if (!IsVisible()) return; // showing the group later shows the part's copies
  for (int i = 0; i < mChildren.Count(); ++i)
    if (LayerGroup* child = mChildren.Get(i); child->mPart >= 0)
    {
      // Hiding a hidden copy still repaints its area, as page selection does (Hide repaints).
      child->Hide(child->mPart != part);
    }
}

bool LayerGroup::HoldsPartCopies() const
{
  for (int i = 0; i < mChildren.Count(); ++i)
    if (mChildren.Get(i)->mPart >= 0) return true;
  return false;
}

void LayerGroup::SetGreyed(bool grey)
{
  for (int i = 0; i < mControls.Count(); ++i)
    mControls.Get(i)->SetGreyed(grey);
  for (int i = 0; i < mChildren.Count(); ++i)
  {
    LayerGroup* child = mChildren.Get(i);
    if (grey || ShowsChild(child)) child->SetGreyed(grey);
  }
}

void LayerGroup::SetCurrentPage(bool grey, int32_t pageId)
{
  mCurrentPage.store(pageId, std::memory_order_relaxed);
  if (pageId < kFirstPageId || pageId > kLastPageId) return;
  for (int i = 0; i < mChildren.Count(); ++i)
  {
    LayerGroup* child = mChildren.Get(i);
    if (int64_t(child->Id()) == int64_t(pageId)) child->SetGreyed(grey);
  }
}

void LayerGroup::RequestRedraw()
{
  for (int i = 0; i < mControls.Count(); ++i)
    mControls.Get(i)->RequestRedraw(false);
  for (int i = 0; i < mChildren.Count(); ++i)
    mChildren.Get(i)->RequestRedraw();
}

void LayerGroup::SetReportDirtyWhenHidden(bool flag)
{
  mReportDirtyWhenHidden = flag;
  if (flag) NoteShown();
  for (int i = 0; i < mChildren.Count(); ++i)
    mChildren.Get(i)->SetReportDirtyWhenHidden(flag);
  for (int i = 0; i < mControls.Count(); ++i)
    mControls.Get(i)->SetReportDirtyWhenHidden(flag);
}

bool LayerGroup::CollectDirtyRect(IRectangle* rect)
{
  if (!rect) return false;
  DirtyRegion region;
  const bool found = CollectDirtyRegion(&region);
  IGraphics::MergeDirtyRect(rect, region.Bounds());
  return found;
}

bool LayerGroup::CollectDirtyRegion(DirtyRegion* region)
{
  if (!region || (!IsVisible() && !mReportDirtyWhenHidden)) return false;
  bool found = IGraphics::CollectDirtyControls(mControls, 0, region);
  for (int i = 0; i < mChildren.Count(); ++i)
    if (mChildren.Get(i)->CollectDirtyRegion(region)) found = true;
  return found;
}

void LayerGroup::Draw(IGraphics* graphics, const IRectangle* rect)
{
  Draw(graphics, rect, rect ? 1 : 0);
}

void LayerGroup::Draw(IGraphics* graphics, const IRectangle* areas, int count, DrawPass pass)
{
  IGraphics::DrawControls(graphics, mControls, 0, areas, count, IsVisible(), pass);
  for (int i = 0; i < mChildren.Count(); ++i)
    mChildren.Get(i)->Draw(graphics, areas, count, pass);
}

IControl* LayerGroup::FindControlAt(int x, int y)
{
  if (!IsVisible()) return nullptr;
  for (int i = mChildren.Count() - 1; i >= 0; --i)
    if (IControl* c = mChildren.Get(i)->FindControlAt(x, y)) return c;
  for (int i = mControls.Count() - 1; i >= 0; --i)
  {
    IControl* c = mControls.Get(i);
    if (!c->IsHidden() && c->ContainsPoint(x, y)) return c;
  }
  return nullptr;
}

void LayerGroup::SyncParameter(int paramIdx, double value, bool normalised)
{
  IGraphics::SyncControls(mControls, paramIdx, value);
  for (int i = 0; i < mChildren.Count(); ++i)
    mChildren.Get(i)->SyncParameter(paramIdx, value, normalised);
}
