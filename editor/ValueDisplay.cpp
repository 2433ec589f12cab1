#include "editor/ValueDisplay.h"

#include "config/MidiMapRecord.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

bool ValueDisplay::Follows(int index, const IParameter* param)
{
  if (!param || index < 0) return false;
  if (index <= kGlobalTempo) return true; // the parts' sounds, the performance, the globals
  const MidiMapRecord* record = param->MidiMap();
  return record && record->kind != MidiMapRecord::kNone;
}

ValueDisplay ValueDisplay::Of(const IParameter& param)
{
  ValueDisplay d;
  d.name = param.Name() ? param.Name() : "";
  char text[64] = {};
  param.DisplayValue(param.Value(), false, text, int(sizeof text), true);
  d.value = text;
  if (const MidiMapRecord* record = param.MidiMap()) switch (record->kind)
    {
    case MidiMapRecord::kCc:
    case MidiMapRecord::kCcOffOn:
      d.controller = "CC|" + std::to_string(record->ccNumber);
      break;
    case MidiMapRecord::kNrpn:
      d.controller = "MSB/LSB";
      break;
    case MidiMapRecord::kSysExPair:
    case MidiMapRecord::kSysExTable:
      d.controller = "SysEx";
      break;
    default:
      break;
    }
  return d;
}
