#include "framework/controls/IDeviceMenuControl.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IMidiPorts.h"
#include "framework/plugin/IParameter.h"

#include <mutex>

IDeviceMenuControl::IDeviceMenuControl(IEffectBase* plug, const IRectangle& rect, int paramIdx,
                                       const ITextStyle& style, bool input)
    : ICaptionControl(plug, rect, paramIdx, style), mInput(input)
{
}

void IDeviceMenuControl::ShowPorts(IParameter& param, const std::vector<std::string>& ports)
{
  // The chosen port keeps its place in the menu by its name: the list may have moved it.
  const int chosen = param.IntValue();
  const std::string name = chosen > 0 ? param.ValueText(chosen) : "";
  if (ports.empty())
    param.SetValueTexts({IMidiPorts::kNoDeviceName});
  else
    param.SetValueTexts(ports);
  int entry = 0;
  for (size_t i = 1; i < ports.size() && !name.empty(); ++i)
    if (ports[i] == name)
    {
      entry = int(i);
      break;
    }
  param.SetClamped(entry);
}

void IDeviceMenuControl::ListPorts()
{
  IParameter* param = Parameter();
  if (!mPlug || !param) return;
  const std::vector<std::string> ports = mInput ? mPlug->ListMidiInputPorts() : mPlug->ListMidiOutputPorts();
  std::lock_guard<std::recursive_mutex> lock(mPlug->ParameterLock());
  ShowPorts(*param, ports);
}

void IDeviceMenuControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (!IsGreyed() && (mod.L || mod.R)) ListPorts();
  ICaptionControl::OnMouseDown(x, y, mod);
}

void IDeviceMenuControl::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  if (!IsGreyed()) ListPorts();
  ICaptionControl::OnMouseDblClick(x, y, mod);
}
