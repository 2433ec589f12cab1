#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// What a test host needs of the desktop to show a plug-in's editor: a
// top-level window of its own whose handle it passes to effEditOpen, a way to
// read back what is on screen in it, and synthetic input (XTest) for tests.
// Each object has its own display connection and stays on one thread.
class HostTopWindow
{
public:
  // A mapped top-level window of the size, or null without a display.
  static std::unique_ptr<HostTopWindow> Create(int width, int height, const char* title);
  virtual ~HostTopWindow() = default;

  virtual uintptr_t Handle() const = 0;
  virtual void Resize(int width, int height) = 0;
  // Handles the window's own events; false once the user closed it.
  virtual bool Pump() = 0;
  // The window's pixels (0xAARRGGBB, alpha 255), with whatever child windows show in it.
  virtual bool Capture(std::vector<uint32_t>& pixels, int& width, int& height) = 0;
  // Child windows of the window (the plug-in's editor while it is open).
  virtual int ChildCount() = 0;
  // Position of the window's top-left corner on the screen.
  virtual bool Origin(int& x, int& y) = 0;
};

// Synthetic pointer and keys through XTest, on a connection of its own (so a
// second thread can drive a menu while the first runs its modal loop).
class SyntheticInput
{
public:
  static std::unique_ptr<SyntheticInput> Create(); // null without a display or XTest
  virtual ~SyntheticInput() = default;
  virtual void MoveTo(int screenX, int screenY) = 0;
  virtual void Button(int button, bool down) = 0; // 1 left, 2 middle, 3 right
  // A key by its name ("Down", "Return", "a", ...).
  virtual void Key(const char* name) = 0;
  // Screen position of a window's top-left corner.
  virtual bool WindowOrigin(uintptr_t window, int& x, int& y) = 0;
  // Whether another client holds the pointer grabbed (clicks elsewhere on the display would be lost).
  virtual bool PointerGrabbedElsewhere() = 0;
  // Whether another client holds the keyboard grabbed (an open popup menu does; a control holding
  // the mouse does not): keys typed now go to it.
  virtual bool KeyboardGrabbedElsewhere() = 0;
  // Takes the keyboard on this connection (as another program's open menu would), or gives it
  // back; false where that cannot be done.
  virtual bool HoldKeyboard(bool hold) = 0;
};
