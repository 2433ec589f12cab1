#pragma once

#include "framework/graphics/IGraphics.h"
#include "framework/graphics/TextEntryField.h"
#include "platform/window/PlatformWindow.h"

#include <memory>

class IEffectBase;

// The editor window, written once over the window seam (platform/window): it
// turns window events into the graphics core's mouse, wheel and key dispatch,
// runs the frame timer that repaints dirty controls, presents the draw bitmap,
// hosts the one-line text entry of the value prompt, shows popup menus built
// from IMenu records, and offers the dialogs, the shell and the folders.
//
// The back end is the system's own (X11 or Win32), made when the editor first needs a window;
// tests hand in a headless one with SetPlatformWindow before opening.
class IGraphicsWin : public IGraphics, private WindowListener, private PopupMenuPainter
{
public:
  // Text-entry states: the entry is open in 0 to 2; 3 and 4 are carried out by the next frame.
  enum EntryState
  {
    kEntryOpen = 0,
    kEntryFocused = 1,
    kEntryRepainted = 2,
    kEntryCancel = 3,
    kEntryCommit = 4,
  };
  // Editor key codes handed to IControl::OnKeyDown.
  enum EditorKey
  {
    kKeySpace = 0,
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyDigit0 = 5,  // .. 14 for '9'
    kKeyLetterA = 15 // .. 40 for 'Z'
  };

  IGraphicsWin(IEffectBase* plug, int width, int height);
  ~IGraphicsWin() override;

  void SetPlatformWindow(std::unique_ptr<PlatformWindow> window);
  PlatformWindow* Platform() const { return mPlatform.get(); }

  // ---- overrides of the graphics core ----
  bool PaintWindow(const IRectangle* rect) override;
  void CancelTextEntry() override;
  void Resize(int width, int height) override;
  bool HasWindow() override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IMenu* ShowPopupMenu(IMenu* menu, const IRectangle* rect) override;
  void ShowTextEntry(IControl* control, const ITextStyle* style, const IRectangle* rect, const char* text,
                     IParameter* param) override;
  void HostExecutablePath(HeapString* out) override;
  void PluginModulePath(HeapString* out) override;
  void DesktopFolder(HeapString* out) override;
  void PromptForFilePath(HeapString* file, int action, HeapString* folder, const char* extensions) override;
  bool PromptForColour(IColour* colour, const char* title) override;
  bool OpenWithShell(const char* target, const char* caption, const char* confirmText,
                     const char* errorText) override;
  void* CreateEditorWindow(void* parentWindow) override;
  void DestroyEditorWindow() override;
  void* WindowHandle() override;
  void Idle() override;
  void HideMouseCursor() override;
  void RestoreCursor() override;

  // ---- the neutral pieces, open to tests ----
  // The editor key code of a window key, or -1 for a key the editor does not use.
  static int EditorKeyCode(int windowKey);
  // Frame timer period for a frame rate: (int)(1000 / rate) milliseconds.
  static int TimerPeriod(int frameRate);
  // Builds the menu levels of an IMenu tree: the items of a menu take the ids
  // counter .. counter + count - 1, and the counter moves on by the count before
  // any submenu is built (submenus take the next blocks, in item order).
  // Answers the level index of the menu, -1 when it could not be built.
  static int BuildMenu(IMenu* menu, int& counter, PopupMenuLayout& layout);
  // The (sub)menu owning the id, walked in the order BuildMenu numbers; its
  // chosen index is set to the item's position. Null when no menu owns it.
  static IMenu* FindMenuItemById(IMenu* menu, int id);
  // An item's text as the menu shows it (with the numbering of its prefix style).
  static std::string MenuItemLabel(const IMenu* menu, int index);
  // Live editor windows in this process.
  static int LiveEditorWindows();

  bool EntryOpen() const { return mEntryControl != nullptr; }
  bool NativeEntryOpen() const { return EntryOpen() && mNativeEntry; }
  int EntryStateValue() const { return mEntryState; }
  const TextEntryField& Entry() const { return mEntry; }
  const IRectangle& EntryRect() const { return mEntryRect; }
  // Outcome of the last file or colour prompt (kDialogUnavailable: no program to show it).
  DialogStatus LastDialogStatus() const { return mLastDialogStatus; }

private:
  // WindowListener
  void OnWindowEvent(const WindowEvent& event) override;
  // PopupMenuPainter
  void MeasureLevel(const PopupMenuLayout& layout, int level, int& width, int& height) override;
  int ItemAt(const PopupMenuLayout& layout, int level, int x, int y) override;
  void ItemRow(const PopupMenuLayout& layout, int level, int item, int& top, int& bottom) override;
  void PaintLevel(const PopupMenuLayout& layout, int level, int highlighted, uint32_t* pixels, int width,
                  int height) override;

  bool EnsurePlatform();
  void OnTimer();
  void OnExpose(const IRectangle& area);
  void OnPress(const WindowEvent& event, bool doubleClick);
  void OnKey(const WindowEvent& event);
  void CloseEntry(bool commit);
  void DrawEntry();
  int EntryTextLeft();
  int EntryPositionAt(int x);
  void Repair(const IRectangle& rect);
  void WindowGone();
  IEffectBase* PlugBase() const { return mPlug; }

  std::unique_ptr<PlatformWindow> mPlatform;
  bool mWindowOpen = false;
  void* mParentWindow = nullptr;
  bool mMouseCaptured = false;

  // Text entry.
  TextEntryField mEntry;
  IControl* mEntryControl = nullptr;
  IParameter* mEntryParam = nullptr;
  ITextStyle mEntryStyle;
  IRectangle mEntryRect;
  int mEntryState = kEntryOpen;
  bool mNativeEntry = false; // the back end's own entry (Win32's EDIT) rather than one drawn here

  // Area to repaint with the next frame (a closed entry, a resize).
  IRectangle mRepair;
  DialogStatus mLastDialogStatus = kDialogCancelled;
  ITextStyle mMenuStyle;
};

// The editor graphics of a plug-in, made by the main class at its start-up.
IGraphicsWin* CreateEditorGraphics(IEffectBase* plug, int width, int height);
