#pragma once

#include "framework/controls/ICaptionControl.h"

#include <string>
#include <vector>

// The menu of the MIDI input or output ports. Its entries are the plug-in's port list, read when
// the menu is first opened rather than when the editor is built: listing ports makes a MIDI
// client, and a host that only scans the plug-in must not leave one behind.
class IDeviceMenuControl : public ICaptionControl
{
public:
  IDeviceMenuControl(IEffectBase* plug, const IRectangle& rect, int paramIdx, const ITextStyle& style,
                     bool input);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;

  bool Input() const { return mInput; }
  // The list as the menu's entries (entry 0 "Select MIDI Device"); the chosen entry follows its
  // port's name, or becomes 0 when the port is no longer listed. Call it under the parameter lock.
  static void ShowPorts(IParameter& param, const std::vector<std::string>& ports);

private:
  void ListPorts();

  bool mInput;
};
