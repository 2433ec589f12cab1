#include "config/ControlFactory.h"

#include "config/DocumentBounds.h"

#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

#include <charconv>
#include <cstdint>
#include <cstring>

IParameter* ControlFactory::RequireParam(const ControlElement& e, const char* kind) const
{
  IParameter* param = mReader.Plug() ? mReader.Plug()->ParameterAt(e.paramIdx) : nullptr;
  if (!param)
    mReader.Log(std::string(kind) + " " + e.name + ": parameter index " + std::to_string(e.paramIdx) +
                " outside the table, NOT BUILT!");
  return param;
}

bool ControlFactory::LinkIsSound(const ControlElement& e, const char* kind) const
{
  if (e.link.first < 0 || e.link.second < 0) return true;
  if (mReader.Plug() && mReader.Plug()->ParameterAt(e.link.first)) return true;
  mReader.Log(std::string(kind) + " " + e.name + ": link to parameter " + std::to_string(e.link.first) +
              " outside the table, NOT BUILT!");
  return false;
}

std::string ControlFactory::PartName(const std::string& name, int partNumber)
{
  char number[16];
  const auto end = std::to_chars(number, number + sizeof number, partNumber).ptr;
  std::string text;
  text.reserve(size_t(end - number) + 3 + name.size());
  text += '[';
  text.append(number, end);
  text += "] ";
  text += name;
  return text;
}

bool ControlFactory::ParentIs(const LayerGroup* parent, const char* name)
{
  return parent && parent->Name() && std::strcmp(parent->Name(), name) == 0;
}

namespace
{
// The name is the prefix followed by one digit from first to last.
bool NumberedName(const LayerGroup* parent, const char* prefix, char first, char last)
{
  if (!parent || !parent->Name()) return false;
  const char* name = parent->Name();
  const size_t n = std::strlen(prefix);
  return std::strncmp(name, prefix, n) == 0 && name[n] >= first && name[n] <= last && name[n + 1] == '\0';
}
} // namespace

bool ControlFactory::IsMultiEffect(int idx)
{
  return InRange(idx, kFXMultiDistortionOverdrive, kMultiPartEffectsUsed - 1);
}

bool ControlFactory::IsVocoderIndex(int idx)
{
  return InRange(idx, kVocoderBalance, kVocoderInput + kPartCount - 1) ||
         InRange(idx, kVocoderWidth, kVocoderInsert + kPartCount - 1);
}

void ControlFactory::Route(MidiMapRecord& record, const ControlElement& e, Channel channel, bool globalBlock)
{
  switch (channel)
  {
  case Channel::kElement:
  case Channel::kElementGlobalBlock:
    record.channel = e.channel;
    record.blockFlag = channel == Channel::kElementGlobalBlock ? 1 : 0;
    break;
  case Channel::kPart:
    record.channel = e.partIndex + 1;
    record.blockFlag = IsMultiEffect(e.paramIdx) || globalBlock ? 1 : 0;
    break;
  case Channel::kGlobal:
    record.channel = kGlobalChannel;
    record.blockFlag = 1;
    break;
  }
}

void ControlFactory::SetNrpnNumbers(MidiMapRecord& record, const ControlElement& e)
{
  record.ccNumber = MidiMapRecord::DataByte(int32_t(e.ccNumber));
  record.nrpnMsb = MidiMapRecord::DataByte(int32_t(e.msbValue));
  record.nrpnValueOffset = MidiMapRecord::DataByte(int32_t(e.lsbValue));
  record.nrpnLsb = MidiMapRecord::DataByte(int32_t(e.lsbControl));
}

std::string ControlFactory::ControlName(const ControlElement& e, bool plain)
{
  return plain ? e.name : PartName(e.name, e.partIndex + 1);
}

bool ControlFactory::InMixerSet(const LayerGroup* parent)
{
  for (const char* name :
       {"miniMixer", "multiModeMixer", "miniMixer2", "multiModeMixer2", "multiModeSettingsPage1"})
    if (ParentIs(parent, name)) return true;
  return false;
}

bool ControlFactory::InAdditionalSettingsSet(const LayerGroup* parent)
{
  return NumberedName(parent, "additionalSettingsPart", '1', '8');
}

bool ControlFactory::InDelayPanningSet(const LayerGroup* parent)
{
  return NumberedName(parent, "miniMixerDelayPart", '1', '8') ||
         NumberedName(parent, "partPanning", '1', '8');
}

void ControlFactory::SetupTwoState(IParameter* param, const std::string& name, int defaultValue,
                                   int partIndex, std::string_view caption)
{
  if (param->Type() == IParameter::kTypeUnset) param->SetType(IParameter::kTypeBool);
  param->SetupContinuous(name.c_str(), defaultValue != 0 ? 1.0 : 0.0, 0.0, 1.0, 1.0,
                         mReader.MakeParamGroup(partIndex, caption).c_str());
  param->AddValueText(0, "off");
  param->AddValueText(1, "on");
}

void ControlFactory::SetupKnob(IParameter* param, const std::string& name, const ControlElement& e,
                               double step)
{
  param->SetupContinuous(name.c_str(), e.valueBounds[0], e.valueBounds[1], e.valueBounds[2], step,
                         mReader.MakeParamGroup(e.partIndex, e.caption).c_str());
}

bool ControlFactory::SetupMenu(IParameter* param, const std::string& name, const ControlElement& e,
                               bool dropOnlyList, bool zeroPadPatchNumbers)
{
  const int from = e.valueBounds[1];
  const int to = e.valueBounds[2];
  if (int64_t(to) - from < 1)
  {
    mReader.Log("menu " + name + ": no values between " + std::to_string(from) + " and " +
                std::to_string(to) + ", NOT BUILT!");
    return false;
  }
  if (!CountIsSound(int64_t(to) - from, e, "menu")) return false;
  const int count = to - from;
  if (param->Type() == IParameter::kTypeUnset) param->SetType(IParameter::kTypeEnumerated);
  param->SetupContinuous(name.c_str(), e.valueBounds[0], 0.0, double(count - 1), 1.0,
                         mReader.MakeParamGroup(e.partIndex, e.caption).c_str());

  if (int(e.valueList.size()) == count)
  {
    for (int i = 0; i < count; ++i)
      param->AddValueText(i, e.valueList[size_t(i)].c_str());
    return true;
  }
  const int a = e.valueDisplay[0];
  const int b = e.valueDisplay[1];
  if (!dropOnlyList && a != b)
  {
    if (!e.valueList.empty())
      mReader.Log("menu " + name + ": value list has " + std::to_string(e.valueList.size()) +
                  " entries for " + std::to_string(count) + " values, numbers shown instead!");
    for (int i = 0; i < count; ++i)
    {
      std::string text = std::to_string(int64_t(a) + i);
      // Patch numbers read as three digits; padding by the number (not by the entry) keeps 100 as 100.
      if (zeroPadPatchNumbers && int64_t(a) + i >= 0 && text.size() < 3) text.insert(0, 3 - text.size(), '0');
      param->AddValueText(i, text.c_str());
    }
    return true;
  }
  mReader.Log("menu " + name + ": value list has " + std::to_string(e.valueList.size()) + " entries for " +
              std::to_string(count) + " values, NOT BUILT!");
  return false;
}

void ControlFactory::Place(IControl* control, LayerGroup* parent) const
{
  if (parent)
    parent->AddControl(control);
  else if (mReader.Graphics())
    mReader.Graphics()->AddControl(control);
  else
    delete control; // nowhere to live: nothing would own it
}

MidiMapRecord* ControlFactory::Bind(int paramIdx, uint32_t kind, IControl* control)
{
  MidiMapRecord* record = mReader.AttachRecord(paramIdx, kind);
  if (record) record->boundControls.push_back(control);
  return record;
}

void ControlFactory::Link(MidiMapRecord* record, const ControlElement& e)
{
  if (e.link.first >= 0) mReader.SetBiDirectLink(record, e.paramIdx, e.link, e.partIndex);
}

bool ControlFactory::CountIsSound(int64_t count, const ControlElement& e, const char* kind) const
{
  if (count <= DocumentBounds::kMaxValues) return true;
  mReader.Log(std::string(kind) + " " + e.name + ": " + std::to_string(count) + " values, more than " +
              std::to_string(DocumentBounds::kMaxValues) + ", NOT BUILT!");
  return false;
}

bool ControlFactory::BuildSysEx(const ControlElement& e, const char* kind, int64_t count, int64_t start,
                                SysExTableSet& set, int32_t key[4])
{
  const auto& table = mReader.SysExTable();
  const SysExDefinition* definition =
      e.sysexIndex >= 0 && e.sysexIndex < int(table.size()) ? &table[size_t(e.sysexIndex)] : nullptr;
  const std::string* text = definition ? definition->FirstTemplate() : nullptr;
  if (!text)
  {
    mReader.Log(std::string(kind) + " " + e.name + ": sysexIndex " + std::to_string(e.sysexIndex) +
                " has no template, NOT BUILT!");
    return false;
  }
  if (count < 1)
  {
    mReader.Log(std::string(kind) + " " + e.name + ": no values to send, NOT BUILT!");
    return false;
  }
  if (!CountIsSound(count, e, kind)) return false;
  // Every value byte the table counts through must be an int.
  if (start < INT32_MIN || start + count - 1 > INT32_MAX)
  {
    mReader.Log(std::string(kind) + " " + e.name + ": values from " + std::to_string(start) +
                " outside the int range, NOT BUILT!");
    return false;
  }
  SysExTemplateError error;
  if (!BuildSysExTable(*text, e.changingByte, int(count), set, int(start), definition->partByte, e.partIndex,
                       &error) ||
      !SysExRegistrationKey(set.messages.front(), e.changingByte, key))
  {
    mReader.Log(std::string(kind) + " " + e.name + ": " + error.reason + ", NOT BUILT!");
    set.messages.clear();
    return false;
  }
  return true;
}

ITextStyle ControlFactory::CaptionStyle(int size, const IColour& colour) const
{
  return ITextStyle(ConfigReader::kTextFace, size, colour);
}
