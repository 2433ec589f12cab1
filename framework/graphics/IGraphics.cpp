#include "framework/graphics/IGraphics.h"

#include "framework/graphics/BitmapCache.h"
#include "framework/support/HeapString.h"
#include "framework/controls/IBitmapControl.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/graphics/IMenu.h"
#include "framework/plugin/IParameter.h"
#include "framework/controls/ITextControl.h"
#include "framework/graphics/LayerGroup.h"
#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_DeferredBitmap.h"
#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_PNG.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/resources/ResourceTable.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace
{
std::atomic<IGraphics::LogSink> gLogSink{nullptr};

// Images asked for that are not built in, by id with their file, and whether each was reported.
struct MissingImage
{
  std::string file;
  bool reported = false;
};
std::mutex gMissingMutex;
std::map<int, MissingImage> gMissingImages;

// Pixel size of a side scaled by the factor, truncated; a factor that is not a positive number,
// or a result beyond what a bitmap takes, gives no pixels.
int ScaledSide(int side, double scale)
{
  if (!(scale > 0.0) || !std::isfinite(scale) || side <= 0) return 0;
  const double v = side * scale;
  if (!(v < double(Gfx_MaxBitmapSide) + 1.0)) return 0;
  return int(v);
}

int BlendModeWord(const IBlend* blend)
{
  if (!blend) return BlendCopy | BlendSourceAlpha;
  switch (blend->kind)
  {
  case IBlend::kCopy:
    return BlendCopy;
  case IBlend::kAdd:
    return BlendAdd | BlendSourceAlpha;
  case IBlend::kDodge:
    return BlendDodge | BlendSourceAlpha;
  default:
    return BlendCopy | BlendSourceAlpha;
  }
}

bool EndsWithPng(const char* name)
{
  if (!name) return false;
  const char* dot = std::strrchr(name, '.');
  if (!dot || std::strlen(dot + 1) != 3) return false;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return lower(dot[1]) == 'p' && lower(dot[2]) == 'n' && lower(dot[3]) == 'g';
}

// Appends an object the list then owns; answers its index, or -1 (the object deleted) when the
// list could not grow.
template <typename T> int AppendOwned(PointerList<T>& list, T* object)
{
  if (!object) return -1;
  if (!list.Append(object))
  {
    delete object;
    return -1;
  }
  return list.Count() - 1;
}

// Clears display links from the group tree's controls to controls about to be deleted.
void ForgetDisplays(LayerGroup* group, const PointerList<IControl>& dying)
{
  if (!group) return;
  for (int i = 0; i < group->NumControls(); ++i)
  {
    IControl* c = group->GetControl(i);
    if (c->ValueDisplay() && dying.Find(static_cast<IControl*>(c->ValueDisplay())) >= 0)
      c->SetValueDisplay(nullptr);
    if (c->NameDisplay() && dying.Find(static_cast<IControl*>(c->NameDisplay())) >= 0)
      c->SetNameDisplay(nullptr);
  }
  for (int i = 0; i < group->NumChildren(); ++i)
    ForgetDisplays(group->GetChild(i), dying);
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and lists

IGraphics::IGraphics(IEffectBase* plug, int width, int height)
    : mPlug(plug), mWidth(width > 0 ? width : 0), mHeight(height > 0 ? height : 0)
{
}

IGraphics::~IGraphics()
{
  mCapturedControl = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(mListLock);
    DeleteControls();
    DeleteLayerGroups();
  }
  delete mDrawBitmap;
  mDrawBitmap = nullptr;
  delete mScratchBitmap;
  mScratchBitmap = nullptr;
  ReleaseCachedBitmaps();
}

void IGraphics::DeleteControls()
{
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  for (int i = 0; i < mGroups.Count(); ++i)
    ForgetDisplays(mGroups.Get(i), mControls);
  mControls.DeleteAll();
  mHasBackground = false;
  IControl::BindingsChanged();
}

void IGraphics::DeleteLayerGroups()
{
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  mGroups.DeleteAll();
  IControl::BindingsChanged();
}

int IGraphics::AddControl(IControl* control)
{
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  IControl::BindingsChanged();
  return AppendOwned(mControls, control);
}

int IGraphics::AddLayerGroup(LayerGroup* group)
{
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  IControl::BindingsChanged();
  return AppendOwned(mGroups, group);
}

void IGraphics::AttachBackgroundFrame(double scale)
{
  const IBitmapStrip strip = LoadScaledBitmap(kBackgroundImageId, kBackgroundImageName, scale, 1);
  IControl* background = new IBitmapControl(mPlug, 0, 0, -1, strip, IBlend::kCopy);
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  if (!mControls.Insert(0, background))
  {
    delete background;
    return;
  }
  mHasBackground = true;
  IControl::BindingsChanged();
}

// ---------------------------------------------------------------------------------------------
// Bitmaps

IBitmapStrip IGraphics::LoadScaledBitmap(int id, const char* fileName, double scale, int frames)
{
  if (frames < 1) frames = 1;

  // This editor holds one reference per key; a second request reuses it.
  Gfx_IBitmap* bitmap = nullptr;
  bool held = false;
  const int heldCount = mHeldBitmaps.Size() / int(sizeof(HeldBitmap));
  const HeldBitmap* heldKeys = reinterpret_cast<const HeldBitmap*>(mHeldBitmaps.Data());
  for (int i = 0; i < heldCount; ++i)
    if (heldKeys[i].id == id && heldKeys[i].scale == scale) held = true;

  bitmap = BitmapCache::Instance().Acquire(id, scale);
  if (!bitmap)
  {
    Gfx_IBitmap* source = LoadBitmapResource(id, fileName);
    if (!source)
    {
      std::lock_guard<std::mutex> lock(gMissingMutex);
      gMissingImages.try_emplace(id, MissingImage{fileName ? fileName : "", false});
      return IBitmapStrip();
    }
    // Decoded and scaled when first drawn; at its own size the source is the bitmap.
    const int w = ScaledSide(source->Width(), scale);
    const int h = ScaledSide(source->Height(), scale);
    Gfx_IBitmap* scaled = Gfx_MakeScaledBitmap(std::unique_ptr<Gfx_IBitmap>(source), w, h);
    bitmap = BitmapCache::Instance().Insert(id, scale, scaled);
    if (!bitmap) return IBitmapStrip();
  }

  if (held)
  {
    // Keep exactly one reference per key for this editor (the held one may have gone with a
    // cleared cache; then the new reference replaces it).
    if (BitmapCache::Instance().References(id, scale) > 1) BitmapCache::Instance().Release(id, scale);
  }
  else
  {
    const int n = heldCount;
    const int wanted = (n + 1) * int(sizeof(HeldBitmap));
    mHeldBitmaps.Resize(wanted);
    if (mHeldBitmaps.Size() == wanted)
      reinterpret_cast<HeldBitmap*>(mHeldBitmaps.Data())[n] = HeldBitmap{id, scale};
    // Without room to remember the key the reference is simply kept until the cache is cleared.
  }
  return IBitmapStrip(bitmap, bitmap->Width(), bitmap->Height(), frames, false);
}

void IGraphics::ReleaseScaledBitmap(int id, double scale)
{
  const int n = mHeldBitmaps.Size() / int(sizeof(HeldBitmap));
  HeldBitmap* keys = reinterpret_cast<HeldBitmap*>(mHeldBitmaps.Data());
  for (int i = 0; i < n; ++i)
    if (keys[i].id == id && keys[i].scale == scale)
    {
      BitmapCache::Instance().Release(id, scale);
      keys[i] = keys[n - 1];
      mHeldBitmaps.Resize((n - 1) * int(sizeof(HeldBitmap)));
      return;
    }
}

void IGraphics::ReleaseCachedBitmaps()
{
  const int n = mHeldBitmaps.Size() / int(sizeof(HeldBitmap));
  const HeldBitmap* keys = reinterpret_cast<const HeldBitmap*>(mHeldBitmaps.Data());
  for (int i = 0; i < n; ++i)
    BitmapCache::Instance().Release(keys[i].id, keys[i].scale);
  mHeldBitmaps.Release();
}

void IGraphics::CreateDrawBitmaps()
{
  delete mDrawBitmap;
  delete mScratchBitmap;
  mDrawBitmap = new Gfx_SysBitmap(mWidth, mHeight);
  mScratchBitmap = new Gfx_MemBitmap();
}

bool IGraphics::DrawBitmap(const IBitmapStrip* strip, const IRectangle* dest, int sx, int sy,
                           const IBlend* blend)
{
  if (!strip || !dest) return true;
  const IRectangle clipped = dest->Intersect(mDrawRect);
  if (clipped.Empty()) return true;
  sx += clipped.L - dest->L;
  sy += clipped.T - dest->T;
  const int mode = BlendModeWord(blend);
  const float alpha = blend ? blend->alpha : 1.0f;
  if (!mDrawBitmap || !strip->bitmap) return true;
  const Gfx_Rect source{sx, sy, sx + clipped.W(), sy + clipped.H()};
  Gfx_BlitBitmap(mDrawBitmap, strip->bitmap, clipped.L, clipped.T, &source, alpha, mode);
  return true;
}

bool IGraphics::DrawBitmapFrame(const IBitmapStrip* strip, const IRectangle* dest, int frame,
                                const IBlend* blend)
{
  if (!strip) return true;
  int sx = 0;
  int sy = 0;
  if (strip->frames >= 2 && frame >= 2)
  {
    if (strip->framesSideBySide)
      sx = int(double(strip->width) * (frame - 1) / strip->frames + 0.5);
    else
      sy = int(double(strip->height) * (frame - 1) / strip->frames + 0.5);
  }
  return DrawBitmap(strip, dest, sx, sy, blend);
}

// ---------------------------------------------------------------------------------------------
// Repainting

void IGraphics::MergeDirtyRect(IRectangle* into, const IRectangle& rect)
{
  if (into->Empty())
    *into = rect;
  else if (!rect.Empty())
  {
    into->L = std::min(into->L, rect.L);
    into->T = std::min(into->T, rect.T);
    into->R = std::max(into->R, rect.R);
    into->B = std::max(into->B, rect.B);
  }
}

bool IGraphics::RectsMeet(const IRectangle& given, const IRectangle& control)
{
  if (given.Empty() || control.Empty()) return false;
  return given.R >= control.L && given.L < control.R && given.B >= control.T && given.T < control.B;
}

bool IGraphics::CollectDirtyControls(const PointerList<IControl>& controls, int first, DirtyRegion* region)
{
  bool found = false;
  for (int i = first; i < controls.Count(); ++i)
  {
    IControl* c = controls.Get(i);
    if (c->IsHidden() && !c->ReportDirtyWhenHidden()) continue;
    if (c->NeedsRedraw())
    {
      region->Add(c->Rect());
      found = true;
    }
  }
  return found;
}

void IGraphics::DrawControls(IGraphics* graphics, const PointerList<IControl>& controls, int first,
                             const IRectangle* areas, int count, bool visible, DrawPass pass)
{
  // Many areas sorted by their top (as DrawDirtyAreas hands them): a control looks only at those
  // whose top lies between its own top less the tallest area's height and its bottom.
  bool sorted = count > 8;
  int tallest = 0;
  for (int k = 0; sorted && k < count; ++k)
  {
    if (k > 0 && areas[k].T < areas[k - 1].T) sorted = false;
    tallest = std::max(tallest, areas[k].B - areas[k].T);
  }
  auto firstAtOrBelow = [&](int top)
  {
    return int(
        std::lower_bound(areas, areas + count, top, [](const IRectangle& a, int t) { return a.T < t; }) -
        areas);
  };
  for (int i = first; i < controls.Count(); ++i)
  {
    IControl* c = controls.Get(i);
    const IRectangle& r = c->Rect();
    const bool drawable = visible && areas && count > 0 && !c->IsHidden() && r.R > r.L && r.B > r.T;
    bool drawn = false;
    int from = 0, to = count;
    if (drawable && sorted)
    {
      from = firstAtOrBelow(r.T > INT32_MIN + tallest ? r.T - tallest : INT32_MIN);
      to = firstAtOrBelow(r.B);
    }
    for (int k = from; drawable && k < to; ++k)
    {
      if (!RectsMeet(areas[k], r)) continue;
      drawn = true;
      if (pass == DrawPass::kCollect)
      {
        if (graphics) graphics->mDrawList.push_back(DrawEntry{k, c});
        continue;
      }
      if (graphics) graphics->mDrawRect = areas[k];
      c->Draw(graphics);
    }
    if (drawable && !drawn && c->NeedsRedraw())
      continue; // asked (from another thread) after this frame was collected: the next frame owes it
    c->TakeRedrawRequest();
  }
}

void IGraphics::SyncControls(const PointerList<IControl>& controls, int paramIdx, double value)
{
  if (paramIdx < 0) return;
  for (int i = 0; i < controls.Count(); ++i)
  {
    IControl* c = controls.Get(i);
    if (c->ParamIdx() == paramIdx) c->ReceivePluginValue(value);
    const int aux = c->FindAuxParam(paramIdx);
    if (aux >= 0) c->ReceiveAuxPluginValue(aux, value);
  }
}

bool IGraphics::CollectDirtyRegion(DirtyRegion* region)
{
  if (!region) return false;
  bool found = CollectDirtyControls(mControls, mHasBackground ? 1 : 0, region);
  for (int i = 0; i < mGroups.Count(); ++i)
    if (mGroups.Get(i)->CollectDirtyRegion(region)) found = true;
  return found;
}

bool IGraphics::CollectDirtyRect(IRectangle* rect)
{
  if (!rect) return false;
  DirtyRegion region;
  const bool found = CollectDirtyRegion(&region);
  MergeDirtyRect(rect, region.Bounds());
  return found;
}

bool IGraphics::DrawDirty(const IRectangle* rect)
{
  if (!rect) return false;
  return DrawDirtyAreas(rect, 1);
}

bool IGraphics::DrawDirtyAreas(const IRectangle* areas, int count, const IRectangle* paint, int paintCount)
{
  if (!areas || count < 1) return false;
  if (!paint || paintCount < 1)
  {
    paint = areas;
    paintCount = count;
  }
  const int n = mControls.Count();
  if (n == 0 && mGroups.Count() == 0) return true;
  const int first = mHasBackground && n > 0 ? 1 : 0;
  if (count <= 8)
  {
    // Few areas: one walk draws each control into every area it meets.
    for (int k = 0; first && k < count; ++k)
    {
      mDrawRect = areas[k];
      mControls.Get(0)->Draw(this);
    }
    DrawControls(this, mControls, first, areas, count, true);
    for (int i = 0; i < mGroups.Count(); ++i)
      mGroups.Get(i)->Draw(this, areas, count);
  }
  else
  {
    // Many (small) areas: each is drawn whole, background then its controls in drawing order, while
    // its pixels are in the cache; the areas are sorted by their top so that a control finds the
    // areas it meets by search.
    mSortedAreas.assign(areas, areas + count);
    std::sort(mSortedAreas.begin(), mSortedAreas.end(),
              [](const IRectangle& a, const IRectangle& b) { return a.T < b.T; });
    const IRectangle* sorted = mSortedAreas.data();
    mDrawList.clear();
    DrawControls(this, mControls, first, sorted, count, true, DrawPass::kCollect);
    for (int i = 0; i < mGroups.Count(); ++i)
      mGroups.Get(i)->Draw(this, sorted, count, DrawPass::kCollect);
    // By area, keeping the drawing order within each (a counting sort).
    mAreaStarts.assign(size_t(count) + 1, 0);
    for (const DrawEntry& e : mDrawList)
      ++mAreaStarts[size_t(e.area) + 1];
    for (int k = 0; k < count; ++k)
      mAreaStarts[size_t(k) + 1] += mAreaStarts[size_t(k)];
    mDrawOrder.resize(mDrawList.size());
    {
      std::vector<int> next(mAreaStarts.begin(), mAreaStarts.end() - 1);
      for (const DrawEntry& e : mDrawList)
        mDrawOrder[size_t(next[size_t(e.area)]++)] = e.control;
    }
    for (int k = 0; k < count; ++k)
    {
      mDrawRect = sorted[k];
      if (first) mControls.Get(0)->Draw(this);
      for (int j = mAreaStarts[size_t(k)]; j < mAreaStarts[size_t(k) + 1]; ++j)
      {
        mDrawRect = sorted[k];
        mDrawOrder[size_t(j)]->Draw(this);
      }
    }
  }
  bool painted = true;
  for (int k = 0; k < paintCount; ++k)
  {
    mDrawRect = paint[k];
    if (!PaintWindow(&mDrawRect)) painted = false;
  }
  return painted;
}

bool IGraphics::DrawDirtyRegion(const DirtyRegion& region)
{
  const IRectangle bounds = region.Bounds();
  const bool split = region.WorthSplitting();
  // Each dirty control's own area is drawn, not the gaps between them; the window is then painted
  // by the areas (few calls) or their bounds.
  if (region.ControlAreasUsable())
    return split
               ? DrawDirtyAreas(region.ControlAreas(), region.ControlCount(), region.Areas(), region.Count())
               : DrawDirtyAreas(region.ControlAreas(), region.ControlCount(), &bounds, 1);
  if (split) return DrawDirtyAreas(region.Areas(), region.Count());
  return DrawDirty(&bounds);
}

bool IGraphics::DrawFrame(IRectangle* painted)
{
  DirtyRegion region;
  if (!CollectDirtyRegion(&region)) return false;
  DrawDirtyRegion(region);
  if (painted) *painted = region.Bounds();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Window seams: what an editor without a window does.

bool IGraphics::PaintWindow(const IRectangle*)
{
  return true;
}

bool IGraphics::MeasureText(ITextStyle* style, const char* text, IRectangle* rect)
{
  return DrawTextInRect(style, text, rect, true);
}

void IGraphics::CancelTextEntry() {}

void IGraphics::Resize(int width, int height)
{
  EndOpenParamEdit();
  ReleaseMouseCapture();
  {
    std::lock_guard<std::recursive_mutex> lock(mListLock);
    mWidth = width > 0 ? width : 0;
    mHeight = height > 0 ? height : 0;
    DeleteControls();
  }
  CreateDrawBitmaps();
  if (mPlug) mPlug->UpdateEditorSize();
}

bool IGraphics::HasWindow()
{
  return WindowHandle() != nullptr;
}

const char* IGraphics::EmptyText()
{
  return "";
}

int IGraphics::ShowMessageBox(const char*, const char*, int)
{
  return 0;
}

IMenu* IGraphics::ShowPopupMenu(IMenu*, const IRectangle*)
{
  ReleaseMouseCapture();
  return nullptr;
}

void IGraphics::ShowTextEntry(IControl*, const ITextStyle*, const IRectangle*, const char*, IParameter*) {}

void IGraphics::HostExecutablePath(HeapString* out)
{
  if (out) out->Set("");
}

void IGraphics::PluginModulePath(HeapString* out)
{
  if (out) out->Set("");
}

void IGraphics::DesktopFolder(HeapString* out)
{
  if (out) out->Set("");
}

void IGraphics::PromptForFilePath(HeapString* file, int, HeapString*, const char*)
{
  if (file) file->Set("");
}

bool IGraphics::PromptForColour(IColour*, const char*)
{
  return false;
}

bool IGraphics::OpenWithShell(const char*, const char*, const char*, const char*)
{
  return false;
}

void* IGraphics::CreateEditorWindow(void*)
{
  return nullptr;
}

void IGraphics::DestroyEditorWindow() {}

void* IGraphics::WindowHandle()
{
  return nullptr;
}

void IGraphics::Idle()
{
  DrawFrame();
}

const char* IGraphics::LoadTextResource(int id, const char*)
{
  const auto bytes = ResourceTable::Find("TEXTFILE", id);
  mLastTextResourceSize = uint32_t(bytes.size());
  return bytes.empty() ? nullptr : reinterpret_cast<const char*>(bytes.data());
}

void IGraphics::HideMouseCursor() {}

void IGraphics::RestoreCursor() {}

Gfx_IBitmap* IGraphics::LoadBitmapResource(int id, const char* fileName)
{
  if (!EndsWithPng(fileName)) return nullptr;
  return Gfx_DeferPNGResource(id).release();
}

// ---------------------------------------------------------------------------------------------
// Log

void IGraphics::SetLogSink(LogSink sink)
{
  gLogSink.store(sink);
}

void IGraphics::ReportMissingImages()
{
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(gMissingMutex);
    for (auto& [id, image] : gMissingImages)
    {
      if (image.reported) continue;
      image.reported = true;
      lines.push_back("IGraphics: skin image " + std::to_string(id) + " \"" + image.file +
                      "\" is not built in; the editor draws without it");
    }
  }
  for (const std::string& line : lines)
    Log(line.c_str());
}

void IGraphics::Log(const char* line)
{
  if (LogSink sink = gLogSink.load())
    sink(line);
  else
    std::fprintf(stderr, "%s\n", line ? line : "");
}
