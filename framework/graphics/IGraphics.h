#pragma once

#include "framework/graphics/ControlIndex.h"
#include "framework/graphics/DirtyRegion.h"
#include "framework/support/IDrawTypes.h"
#include "framework/plugin/IEditorHook.h"
#include "framework/support/IRectangle.h"
#include "framework/support/PointerList.h"

#include <atomic>
#include <cstdint>
#include <vector>
#include <mutex>

class Gfx_IBitmap;
class Gfx_MemBitmap;
class Gfx_SysBitmap;
class HeapString;
class IControl;
class IEffectBase;
class IMenu;
class IParameter;
class LayerGroup;

// The platform-neutral editor surface. It owns the flat control list (index 0 is the background)
// and the top-level layer groups, draws them into one window-sized bitmap, decides each frame
// which part of the window needs repainting, routes the mouse to the control under the pointer,
// turns parameter values into control values, and offers the value prompt of a control.
//
// A window back end derives from it and overrides the window operations (PaintWindow,
// CreateEditorWindow, ShowPopupMenu, ShowTextEntry, ...). It calls the neutral dispatch below:
// OnMouseDown / OnMouseUp / OnMouseDblClick / OnMouseDrag / OnMouseWheel / OnKeyDown from its
// input events, and DrawFrame (or CollectDirtyRect + DrawDirty) from its frame timer.
//
// Threads: everything runs on the user-interface thread except SyncParameterToControls, which
// the MIDI input and transfer threads call too; it only stores values and flags in controls.
class IGraphics : public IEditorHook
{
public:
  static constexpr int kDefaultFrameRate = 25;
  static constexpr int kBackgroundImageId = 104;
  static constexpr const char* kBackgroundImageName = "resources/img/main-bg-frame.png";

  using LogSink = void (*)(const char* line);

  IGraphics(IEffectBase* plug, int width, int height);
  // Deletes every control (last to first), every group with its contents, then the draw bitmaps;
  // releases this editor's hold on the cached bitmaps.
  ~IGraphics() override;

  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- lists ----
  // Both take ownership and answer the new index (-1 when the list could not grow; the object is
  // then deleted).
  int AddControl(IControl* control);
  int AddLayerGroup(LayerGroup* group);
  int NumControls() const { return mControls.Count(); }
  IControl* GetControl(int index) const { return mControls.Get(index); }
  int NumLayerGroups() const { return mGroups.Count(); }
  LayerGroup* GetLayerGroup(int index) const { return mGroups.Get(index); }

  // Loads the background image at the scale and inserts its control at index 0.
  void AttachBackgroundFrame(double scale);

  // ---- bitmaps ----
  // The image at the scale from the process-wide bitmap cache (keyed by id and scale), loading
  // it on a miss; it is decoded and scaled when first drawn, once per process and scale. A missing
  // image answers the empty one-frame strip and is logged.
  // The bitmap stays alive at least as long as this editor.
  IBitmapStrip LoadScaledBitmap(int id, const char* fileName, double scale, int frames = 1);
  // Drops this editor's reference to the bitmap of (id, scale), so the cache frees it once no other
  // editor holds it; a key this editor does not hold changes nothing.
  void ReleaseScaledBitmap(int id, double scale);
  // Makes the window-sized draw bitmap and the scratch bitmap (at the current size).
  void CreateDrawBitmaps() override;
  Gfx_SysBitmap* DrawBitmapSurface() const { return mDrawBitmap; }
  Gfx_MemBitmap* ScratchBitmap() const { return mScratchBitmap; }

  // Draws a part of the strip's bitmap (from sx, sy) into dest, clipped to the drawing rectangle.
  bool DrawBitmap(const IBitmapStrip* strip, const IRectangle* dest, int sx, int sy, const IBlend* blend);
  // Frames count from 1.
  bool DrawBitmapFrame(const IBitmapStrip* strip, const IRectangle* dest, int frame, const IBlend* blend);

  // ---- text ----
  // Draws the text into rect, or with measure set moves rect to the text's extent. An absent or
  // empty text answers true at once; a font that cannot be made answers false.
  bool DrawTextInRect(ITextStyle* style, const char* text, IRectangle* rect, bool measure = false);
  // The style's font from the process-wide font cache (made on a miss), or null.
  Gfx_CachedFont* MakeCachedFont(ITextStyle* style);
  // Draws with the font in the given colour (0xAARRGGBB). Cached fonts are shared by every editor of
  // the process, so the colour and the drawing are one step under a process-wide lock.
  static void DrawFontString(Gfx_CachedFont* font, uint32_t colour, Gfx_IBitmap* bitmap, const char* text,
                             int left, int top, int right, int bottom, uint32_t flags);

  // ---- repainting ----
  // Unions the rectangles of the controls and groups that need repainting into rect; answers
  // whether any did.
  bool CollectDirtyRect(IRectangle* rect);
  // The same rectangles as apart areas (see DirtyRegion).
  bool CollectDirtyRegion(DirtyRegion* region);
  // Repaints the rectangle and ends every control's redraw request; answers PaintWindow's result.
  bool DrawDirty(const IRectangle* rect);
  // Repaints each of the areas (no two sharing a pixel): the pixels are those of repainting each
  // area alone. Then the paint rectangles (by default the areas, and covering them) are painted to
  // the window; answers whether every paint succeeded.
  bool DrawDirtyAreas(const IRectangle* areas, int count, const IRectangle* paint = nullptr,
                      int paintCount = 0);
  // Repaints a region: each control area (DirtyRegion::ControlAreas), painted to the window area by
  // area when they lie far apart (DirtyRegion::WorthSplitting), otherwise as their bounds.
  bool DrawDirtyRegion(const DirtyRegion& region);
  // One frame of the timer: collect, and repaint what was collected. Answers whether anything
  // was repainted; the bounds of the repainted areas go to *painted when given.
  bool DrawFrame(IRectangle* painted = nullptr);
  // The area being repainted. DrawBitmap and DrawTextInRect clip to it; a control that draws into
  // the surface by other means clips to it too, since a frame may draw it once for each of
  // several areas.
  const IRectangle& DrawRect() const { return mDrawRect; }
  // Unions rect into *into (an all-zero *into takes rect; an all-zero rect changes nothing).
  static void MergeDirtyRect(IRectangle* into, const IRectangle& rect);
  // Whether a control's rectangle meets the repainted one (touching at the repainted rectangle's
  // right or bottom edge counts); all-zero rectangles meet nothing.
  static bool RectsMeet(const IRectangle& given, const IRectangle& control);
  // The dirty collection, drawing and value sync of one control list from index first (shared
  // by the flat list and the layer groups). Drawing happens only when visible; the redraw request
  // of every control is ended, except that of a drawable control outside rect that asks for a
  // repaint: its request came after rect was collected and waits for the next frame.
  static bool CollectDirtyControls(const PointerList<IControl>& controls, int first, DirtyRegion* region);
  // A control is drawn once for each area it meets, with the drawing rectangle set to that area
  // (or, by the pass, noted in the draw list). Areas sorted by their top are searched, not walked.
  static void DrawControls(IGraphics* graphics, const PointerList<IControl>& controls, int first,
                           const IRectangle* areas, int count, bool visible, DrawPass pass = DrawPass::kDraw);
  // The walk that the index replaces: every control of the list, bound or mirroring (aux).
  static void SyncControls(const PointerList<IControl>& controls, int paramIdx, double value);
  // The number of control bindings a push of the parameter reaches (builds the index when stale).
  int CountBoundControls(int paramIdx);

  // ---- mouse and keys ----
  // A press: the control under the point captures the mouse and, when bound, the host is told
  // that an edit begins.
  void OnMouseDown(int x, int y, const IMouseMod& mod);
  // A release: the captured control (or the one under the point) gets it; the edit this editor
  // began is ended.
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  // A double click: a control that takes double clicks as presses is pressed (and captures);
  // any other gets OnMouseDblClick.
  void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  // A move with a button held: the captured control gets the drag when the point moved.
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int notches);
  // Answers whether a control took the key (otherwise it belongs to the host).
  bool OnKeyDown(int x, int y, int key);
  // The captured control, else the topmost control under the point: groups before the flat list.
  IControl* FindControlAt(int x, int y);
  IControl* CapturedControl() const { return mCapturedControl; }
  // Forgets the captured control and the last mouse position (a popup or a prompt takes over).
  void ReleaseMouseCapture();
  // Ends the host edit this editor began, if one is open.
  void EndOpenParamEdit();
  int OpenParamEdit() const { return mEditParamIdx; }

  // ---- values ----
  // The one entry by which parameter values move controls; plain values are clamped, mapped to
  // the normalised scale and stored in the parameter first. Safe from any thread. Reaches only the
  // parameter's own controls through the index; a negative index moves nothing.
  void SyncParameterToControls(int paramIdx, double value, bool normalised) override;
  // The same for many values under one hold of the list lock.
  void SyncParametersToControls(const ParameterValue* values, int count) override;
  // The value prompt of a control: a menu for enumerated and two-state parameters with display
  // texts, a text entry otherwise.
  void PromptForValue(IControl* control, IParameter* param, const IRectangle* rect);
  // Handles the text committed in a text entry.
  void SetValueFromText(IControl* control, IParameter* param, const char* text);

  // ---- window seams: the window back end overrides these ----
  // Copies a rectangle of the draw bitmap to the window.
  virtual bool PaintWindow(const IRectangle* rect);
  virtual bool MeasureText(ITextStyle* style, const char* text, IRectangle* rect);
  virtual void CancelTextEntry();
  // Stores the size, deletes the controls (the caller rebuilds them; groups stay), remakes the
  // draw bitmaps and tells the plug-in.
  virtual void Resize(int width, int height);
  virtual bool HasWindow();
  virtual const char* EmptyText();
  virtual int ShowMessageBox(const char* text, const char* caption, int type);
  // The (sub)menu in which an item was chosen (its chosen index set), or null.
  virtual IMenu* ShowPopupMenu(IMenu* menu, const IRectangle* rect);
  // Opens the one-line text entry; the back end calls SetValueFromText when it is committed.
  virtual void ShowTextEntry(IControl* control, const ITextStyle* style, const IRectangle* rect,
                             const char* text, IParameter* param);
  virtual void HostExecutablePath(HeapString* out);
  virtual void PluginModulePath(HeapString* out);
  virtual void DesktopFolder(HeapString* out);
  virtual void PromptForFilePath(HeapString* file, int action, HeapString* folder, const char* extensions);
  virtual bool PromptForColour(IColour* colour, const char* title);
  virtual bool OpenWithShell(const char* target, const char* caption, const char* confirmText,
                             const char* errorText);
  void* CreateEditorWindow(void* parentWindow) override;
  void DestroyEditorWindow() override;
  virtual void* WindowHandle();
  // Pumps the window's events and runs the frame timer; the base draws one frame.
  void Idle() override;
  // The bytes of a "TEXTFILE" resource (alive as long as the module), or null; the size goes to
  // LastTextResourceSize.
  virtual const char* LoadTextResource(int id, const char* fileName);
  virtual void HideMouseCursor();
  virtual void RestoreCursor();
  // A new bitmap of the "PNG" resource (the name must end in "png"), or null. Its size is read from
  // the header; it is decoded when first drawn, so that building an editor decodes nothing.
  virtual Gfx_IBitmap* LoadBitmapResource(int id, const char* fileName);

  // ---- state ----
  IEffectBase* Plug() const { return mPlug; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int FrameRate() const { return mFrameRate; }
  uint32_t LastTextResourceSize() const { return mLastTextResourceSize; }

  // Where the editor's log lines go; null restores standard error.
  static void SetLogSink(LogSink sink);
  static void Log(const char* line);
  // Skin images that were asked for and are not built in are logged here, each once per process,
  // when an editor window opens: not while the plug-in is constructed, which every host command does.
  static void ReportMissingImages();

protected:
  void DeleteControls();
  void DeleteLayerGroups();
  void ReleaseCachedBitmaps();
  void BeginParamEditFor(int paramIdx);
  // Captures the mouse for the control, presses it and begins its parameter edit.
  void PressControl(IControl* c, int x, int y, const IMouseMod& mod);

  uint32_t mLastTextResourceSize = 0;
  PointerList<IControl> mControls;
  PointerList<LayerGroup> mGroups;
  IEffectBase* mPlug = nullptr;
  IRectangle mDrawRect;
  bool mCursorHidden = false;
  int mCursorX = -1;
  int mCursorY = -1;
  Gfx_SysBitmap* mDrawBitmap = nullptr;
  Gfx_MemBitmap* mScratchBitmap = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  int mFrameRate = kDefaultFrameRate;
  IControl* mCapturedControl = nullptr;
  int mMouseX = -1;
  int mMouseY = -1;
  // The parameter of the host edit this editor began (-1: none open).
  int mEditParamIdx = -1;
  // Index 0 of the control list is the background (inserted by AttachBackgroundFrame).
  bool mHasBackground = false;
  // Guards the lists and the index against SyncParameterToControls from other threads while they
  // change.
  std::recursive_mutex mListLock;
  // The controls by parameter, rebuilt on the first push after the bindings changed.
  ControlIndex mIndex;
  // The frame being drawn by areas (user-interface thread): the areas by their top, the controls
  // meeting each (area index, control) in drawing order, and the same by area.
  struct DrawEntry
  {
    int area;
    IControl* control;
  };
  std::vector<IRectangle> mSortedAreas;
  std::vector<DrawEntry> mDrawList;
  std::vector<int> mAreaStarts;
  std::vector<IControl*> mDrawOrder;

  // The bitmap cache keys this editor holds a reference to (each once).
  struct HeldBitmap
  {
    int id;
    double scale;
  };
  HeapBuffer mHeldBitmaps{4096};
};
