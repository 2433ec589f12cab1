#pragma once

#include "framework/controls/IControl.h"
#include "framework/graphics/LayerGroup.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

// A control that draws nothing; its hidden flag is what the tests look at.
class PlainControl : public IControl
{
public:
  PlainControl() : IControl(nullptr, IRectangle(0, 0, 10, 10)) {}
  bool Draw(IGraphics*) override { return true; }
};

// A group with one control, so that its shown state can be read from the control.
inline LayerGroup* Page(uint32_t id, const char* name, PlainControl** control = nullptr)
{
  auto* group = new LayerGroup(id, name);
  auto* c = new PlainControl();
  group->AddControl(c);
  if (control) *control = c;
  return group;
}

// A fresh data folder for one test, named in VELK_DATA_DIR while the test runs.
class TempDataFolder
{
public:
  TempDataFolder() { setenv("VELK_DATA_DIR", path.c_str(), 1); }
  ~TempDataFolder() { unsetenv("VELK_DATA_DIR"); }
  TempFolder folder{"editor"};
  std::filesystem::path path = folder.Path();
};
