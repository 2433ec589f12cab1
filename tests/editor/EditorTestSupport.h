#pragma once

#include "editor/VELK.h"
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "tests/support/TempFolder.h"

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <memory>
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

// The plug-in with the ranges the documents give the parameters these tests use.
inline std::unique_ptr<VELK> MakePlug()
{
  auto plug = std::make_unique<VELK>(nullptr);
  for (auto [index, count] : {std::pair{int(kGlobalMidiChannel), 128},
                              {int(kCurrentModel), 3},
                              {int(kQuickTab), 8},
                              {int(kUserInterfaceSize), 3},
                              {int(kUserInterfaceStyle), 2}})
    plug->ParameterAt(index)->SetupEnumerated("", 0, count, "");
  return plug;
}

inline IGraphics* EditorOf(VELK& plug)
{
  return dynamic_cast<IGraphics*>(plug.Editor());
}

// The value set and its change handler run, as a control's change does.
inline void Change(VELK& plug, int index, double value)
{
  plug.ParameterAt(index)->SetClamped(value);
  plug.HandleParameterChange(index);
}
