#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The window seam of the editor: one child window inside a host's window, the
// frame timer, mouse, wheel and keys, the cursor, popup menus, dialogs and the
// desktop shell. Three back ends implement it: X11 and Win32 (the plug-in's on
// each system) and headless (tests). Nothing here knows the editor's controls or its graphics library;
// the editor draws its own frames, menus and text entry and hands pixels over.

// Key codes carried by key events. Printable keys use their upper-case ASCII
// code ('0'..'9', 'A'..'Z', ' '); the others have the values below, chosen to
// match the desktop convention the editor's key table was written against.
enum WindowKey : int
{
  kWindowKeyNone = 0,
  kWindowKeyBackSpace = 0x08,
  kWindowKeyTab = 0x09,
  kWindowKeyReturn = 0x0D,
  kWindowKeyShift = 0x10,
  kWindowKeyControl = 0x11,
  kWindowKeyAlt = 0x12,
  kWindowKeyEscape = 0x1B,
  kWindowKeySpace = 0x20,
  kWindowKeyPageUp = 0x21,
  kWindowKeyPageDown = 0x22,
  kWindowKeyEnd = 0x23,
  kWindowKeyHome = 0x24,
  kWindowKeyLeft = 0x25,
  kWindowKeyUp = 0x26,
  kWindowKeyRight = 0x27,
  kWindowKeyDown = 0x28,
  kWindowKeyInsert = 0x2D,
  kWindowKeyDelete = 0x2E,
  kWindowKeyNumpad0 = 0x60, // .. 0x69 for the keypad digits
  kWindowKeyF1 = 0x70,      // .. 0x7B for F12
  kWindowKeyOther = 0xFF,   // any key without a code of its own
};

enum WindowEventKind : int
{
  kWindowEventNone = 0,
  kWindowEventMouseDown, // button press (a second left press soon after becomes a double click)
  kWindowEventMouseUp,
  kWindowEventDoubleClick, // left button only, in place of the second press
  kWindowEventMouseMove,
  kWindowEventWheel,
  kWindowEventKeyDown,
  kWindowEventExpose, // x, y, width, height: area of the window to repaint
  kWindowEventTimer,  // the frame timer fired
  kWindowEventFocusIn,
  kWindowEventFocusOut,
  kWindowEventClose,       // the window was destroyed from outside
  kWindowEventEntryCommit, // Return in the system's own text entry
  kWindowEventEntryCancel, // Escape in it, or it lost the focus to something outside the editor
};

enum WindowButton : int
{
  kWindowButtonNone = 0,
  kWindowButtonLeft = 1,
  kWindowButtonMiddle = 2,
  kWindowButtonRight = 3,
};

struct WindowEvent
{
  WindowEventKind kind = kWindowEventNone;
  int x = 0, y = 0;          // window coordinates (the pointer for key events)
  int width = 0, height = 0; // expose area
  int button = kWindowButtonNone;
  // Buttons held and modifiers, as they are once the event has happened (a
  // press counts its button as held, a release does not).
  bool left = false, right = false, middle = false;
  bool shift = false, control = false, alt = false;
  int wheel = 0;            // signed distance, 120 per notch, positive away from the user
  int key = kWindowKeyNone; // WindowKey or upper-case ASCII
  char text[8] = {};        // character the key types (UTF-8), empty when none
  uint32_t time = 0;        // milliseconds, for double-click detection
};

class WindowListener
{
public:
  virtual ~WindowListener() = default;
  virtual void OnWindowEvent(const WindowEvent& event) = 0;
};

// A rectangle of 32-bit pixels (bytes B, G, R, A; rows top-down).
struct PixelFrame
{
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0; // pixels per row
};

// A popup menu handed to the back end: a flat list of levels, level 0 the top
// menu. Items that can be chosen carry the command id the back end answers.
enum PopupItemFlags : int
{
  kPopupItemGreyed = 1,
  kPopupItemDisabled = 2,
  kPopupItemChecked = 4,
  kPopupItemSeparator = 8,
};

struct PopupMenuItem
{
  std::string text;
  int id = -1;      // command id; -1 for separators and submenu entries
  int flags = 0;    // PopupItemFlags
  int submenu = -1; // level index of the submenu, -1 for none
};

struct PopupMenuLevel
{
  std::vector<PopupMenuItem> items;
};

struct PopupMenuLayout
{
  std::vector<PopupMenuLevel> levels;
};

// Draws popup menus for the back end, so that menus look like the editor.
// Item rows are laid out top to bottom.
class PopupMenuPainter
{
public:
  virtual ~PopupMenuPainter() = default;
  // Size of a level's panel.
  virtual void MeasureLevel(const PopupMenuLayout& layout, int level, int& width, int& height) = 0;
  // Item under a point of the panel, or -1.
  virtual int ItemAt(const PopupMenuLayout& layout, int level, int x, int y) = 0;
  // Top and bottom of an item's row (where its submenu opens).
  virtual void ItemRow(const PopupMenuLayout& layout, int level, int item, int& top, int& bottom) = 0;
  // Paints a level with one item highlighted (-1 for none) into a width x height
  // pixel buffer (stride = width).
  virtual void PaintLevel(const PopupMenuLayout& layout, int level, int highlighted, uint32_t* pixels,
                          int width, int height) = 0;
};

// A one-line text entry of the system's own, over an area of the window.
struct NativeTextEntry
{
  int x = 0, y = 0, width = 0, height = 0;
  std::string text; // shown selected whole
  std::string face;
  int size = 12; // cell height in pixels
  bool bold = false, italic = false;
  int align = 1;                                               // 0 left, 1 centre, 2 right
  uint32_t textColour = 0xFF000000u, backColour = 0xFFFFFFFFu; // 0xAARRGGBB
  int limit = 16;                                              // characters
  int filter = 0; // 0 any text, 1 integer ('0'-'9', '+', '-'), 2 decimal (those and '.')
};

// Outcome of a dialog that a helper program shows.
enum DialogStatus : int
{
  kDialogChosen = 0,
  kDialogCancelled = 1,   // the user closed it without choosing
  kDialogUnavailable = 2, // no program to show it (or no window): treated as cancelled
};

// Message box types and answers (the desktop convention the editor uses).
enum MessageBoxKind : int
{
  kMessageBoxOk = 0,
  kMessageBoxOkCancel = 1,
  kMessageBoxYesNoCancel = 3,
  kMessageBoxYesNo = 4,
};
enum MessageBoxAnswer : int
{
  kMessageBoxAnswerNone = 0,
  kMessageBoxAnswerOk = 1,
  kMessageBoxAnswerCancel = 2,
  kMessageBoxAnswerYes = 6,
  kMessageBoxAnswerNo = 7,
};

class PlatformWindow
{
public:
  virtual ~PlatformWindow() = default;

  // Creates the window as a child of the parent handle (an X window id for the
  // X11 back end), at (0, 0) with the given size, shown, with the keyboard
  // focus. Events go to the listener from Pump. False when it cannot be made.
  virtual bool Open(uintptr_t parent, int width, int height, WindowListener* listener) = 0;
  // Destroys the window (nothing when there is none).
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual uintptr_t Handle() const = 0;

  // Resizes our own window only; the host resizes its own.
  virtual bool Resize(int width, int height) = 0;
  // Copies the area (x, y, width, height) of the frame to the same place of the window.
  virtual void Present(const PixelFrame& frame, int x, int y, int width, int height) = 0;

  // Frame timer period in milliseconds (0 stops it). Timer events are
  // delivered by Pump when due.
  virtual void SetTimerPeriod(int milliseconds) = 0;
  // Delivers every pending event and a due timer tick to the listener.
  virtual void Pump() = 0;

  virtual void TakeFocus() = 0;
  virtual void CaptureMouse() = 0;
  virtual void ReleaseMouse() = 0;
  // Pointer position in window coordinates; false when unknown.
  virtual bool PointerPosition(int& x, int& y) = 0;
  virtual void WarpPointer(int x, int y) = 0;
  virtual void SetCursorVisible(bool visible) = 0;

  // Hands a key the editor does not use to the host's top-level window.
  virtual void ForwardKeyToHost(const WindowEvent& event) = 0;

  // Shows a popup menu with its top-left corner at (x, y) of the window and
  // answers the chosen command id, or -1 when nothing was chosen. Modal.
  virtual int TrackPopupMenu(const PopupMenuLayout& layout, int x, int y, PopupMenuPainter& painter) = 0;

  // Opens the system's own text entry with the keyboard focus; false where there is none (X11,
  // headless: the editor draws its own). Return and Escape in it, and its losing the focus to
  // something outside the editor, come as entry events.
  virtual bool OpenTextEntry(const NativeTextEntry& entry)
  {
    (void)entry;
    return false;
  }
  // The entry's text now; false when none is open.
  virtual bool TextEntryText(std::string& text)
  {
    (void)text;
    return false;
  }
  // Removes the entry (the focus goes back to the window when the entry had it).
  virtual void CloseTextEntry() {}

  // A modal message box; answers a MessageBoxAnswer (kMessageBoxAnswerNone when it could not be shown).
  virtual int ShowMessageBox(const std::string& text, const std::string& caption, int kind) = 0;

  // File prompt: save or open, starting in a folder at a file name, with a list
  // of extensions (without the point; empty list for any file). On kDialogChosen
  // path holds the full path chosen.
  virtual DialogStatus PromptForFile(bool save, const std::string& folder, const std::string& file,
                                     const std::vector<std::string>& extensions, std::string& path) = 0;
  // Colour prompt starting at rgb; on kDialogChosen rgb holds the colour chosen.
  virtual DialogStatus PromptForColour(const std::string& title, uint8_t rgb[3]) = 0;
  // Opens a folder, file or link with the desktop's handler; true when it was started.
  virtual bool OpenWithShell(const std::string& target) = 0;
};

// The X11 back end (own display connection). Null when no display can be opened.
std::unique_ptr<PlatformWindow> CreateX11Window();
// The Win32 back end (a child window of the host's HWND, on the thread that creates it).
std::unique_ptr<PlatformWindow> CreateWin32Window();
// The system's own back end: X11 on Linux, Win32 on Windows. Null when it cannot be used.
std::unique_ptr<PlatformWindow> CreateSystemWindow();
