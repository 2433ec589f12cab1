#include "config/ConfigReader.h"

#include "config/DecipherResource.h"
#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "platform/resources/ResourceTable.h"

#include <tinyxml2.h>

#include <charconv>
#include <climits>
#include <exception>

namespace
{
const std::string kPrefix = "CONFIG READER: ";
} // namespace

ConfigReader::ConfigReader() = default;

ConfigReader::~ConfigReader()
{
  // The parameters outlive the reader: take back the records it gave them.
  for (auto& [index, record] : mRecords)
  {
    IParameter* param = mPlug ? mPlug->ParameterAt(index) : nullptr;
    if (param && param->MidiMap() == record.get()) param->SetMidiMap(nullptr);
  }
}

void ConfigReader::Log(const std::string& line) const
{
  if (mLog) mLog(kPrefix + line);
}

void ConfigReader::LogFailure(const char* what, const std::exception& failure) const noexcept
{
  try
  {
    Log(std::string(what) + " REFUSED: " + failure.what() + "!");
  }
  catch (...)
  {
    // No memory even for the line: the refusal itself stands.
  }
}

int ConfigReader::Scaled(int v) const
{
  // The document's numbers are bounded; this only keeps any other caller's inside the int range.
  const double scaled = double(v) * mUiScale;
  if (!(scaled > double(INT_MIN))) return scaled < 0.0 ? INT_MIN : 0;
  if (scaled >= double(INT_MAX)) return INT_MAX;
  return int(scaled);
}

bool ConfigReader::Read(IGraphics* graphics, IEffectBase* plug, PatchLibrarian* librarian,
                        uint32_t colourScheme, double uiScale)
{
  // Nothing the documents make the reader allocate may end the plug-in's construction: a failure
  // is logged and the editor opens with what was built.
  try
  {
    mGraphics = graphics;
    mPlug = plug;
    mLibrarian = librarian;
    mColourScheme = colourScheme;
    mUiScale = uiScale;

    ReadSysExData();
    LoadImages(graphics);
    InitParameterNames();
    // The document registers some nine hundred controllers and three hundred NRPNs.
    mCcMap.reserve(1024);
    mNrpnMap.reserve(512);

    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (graphics)
    {
      bytes = reinterpret_cast<const uint8_t*>(graphics->LoadTextResource(kUiDocumentId, kUiDocumentFile));
      size = bytes ? graphics->LastTextResourceSize() : 0;
    }
    else
    {
      const auto span = ResourceTable::Find("TEXTFILE", kUiDocumentId);
      bytes = span.data();
      size = uint32_t(span.size());
    }
    const auto text = SharedDocument(bytes, int32_t(size > uint32_t(INT32_MAX) ? INT32_MAX : size));
    return ReadUiText(*text);
  }
  catch (const std::exception& failure)
  {
    LogFailure("Configuration", failure);
    return false;
  }
}

bool ConfigReader::ReadUiText(const std::string& text)
{
  try
  {
    tinyxml2::XMLDocument document;
    // The parser reads up to the first zero byte: the padding of the last block ends the text.
    if (document.Parse(text.c_str()) != tinyxml2::XML_SUCCESS)
    {
      Log(std::string("User interface document REFUSED: ") + document.ErrorName() + "!");
      return false;
    }
    const tinyxml2::XMLElement* root = document.FirstChildElement("uiconfig");
    if (!root)
    {
      Log("User interface document REFUSED: no uiconfig element!");
      return false;
    }
    ReadValueLists(document);
    BuildElement(root->FirstChild(), nullptr, -1);
    return true;
  }
  catch (const std::exception& failure)
  {
    LogFailure("User interface document", failure);
    return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Lookups: none of them inserts, so they are safe from any thread once Read is done.

std::vector<std::string> ConfigReader::GetValueList(std::string_view name) const
{
  const std::vector<std::string>* list = FindValueList(name);
  return list ? *list : std::vector<std::string>();
}

const std::vector<std::string>* ConfigReader::FindValueList(std::string_view name) const
{
  const auto it = mValueLists.find(name);
  return it == mValueLists.end() ? nullptr : &it->second;
}

int ConfigReader::GetParamId(std::string_view name) const
{
  const auto it = mParamNames.find(name);
  if (it != mParamNames.end()) return it->second;
  if (LogEnabled()) Log("parameter " + std::string(name) + " NOT FOUND!");
  return -1;
}

LayerGroup* ConfigReader::GetLayer(std::string_view name) const
{
  const auto it = mLayers.find(name);
  return it == mLayers.end() ? nullptr : it->second;
}

IControl* ConfigReader::FindInCcMap(int channel, int controller, int block) const
{
  const auto it = mCcMap.find({int32_t(channel), int32_t(controller), int32_t(block)});
  return it == mCcMap.end() ? nullptr : it->second;
}

IControl* ConfigReader::FindInNrpnMap(int channel, int msb, int lsb, int lsbController, int block) const
{
  const auto it =
      mNrpnMap.find({int32_t(channel), int32_t(msb), int32_t(lsb), int32_t(lsbController), int32_t(block)});
  return it == mNrpnMap.end() ? nullptr : it->second;
}

IControl* ConfigReader::FindInSysExMap(int b0, int b1, int b2, int b3, int b4) const
{
  const auto it = mSysExMap.find({int32_t(b0), int32_t(b1), int32_t(b2), int32_t(b3), int32_t(b4)});
  return it == mSysExMap.end() ? nullptr : it->second;
}

void ConfigReader::RegisterLayer(const std::string& name, LayerGroup* group)
{
  mLayers.insert_or_assign(name, group);
}

// ---------------------------------------------------------------------------------------------
// Parameter names

void ConfigReader::InitParameterNames()
{
  Log("Started to initialize parameters...");
  mParamNames.reserve(1024);
#define VELK_PARAM(name, index) AddParameterName(#name, index);
#include "framework/plugin/ParameterNames.def"
#undef VELK_PARAM
  Log("Completed!");
}

void ConfigReader::AddParameterName(std::string_view name, int index)
{
  if (!mParamNames.try_emplace(std::string(name), index).second && LogEnabled())
    Log("parameter " + std::string(name) + " ALREADY EXISTS!");
}

// ---------------------------------------------------------------------------------------------
// MIDI map records and reverse maps

MidiMapRecord* ConfigReader::AttachRecord(int paramIdx, uint32_t kind)
{
  IParameter* param = mPlug ? mPlug->ParameterAt(paramIdx) : nullptr;
  if (!param) return nullptr;
  if (MidiMapRecord* record = param->MidiMap())
  {
    record->kind = kind;
    return record;
  }
  auto record = std::make_unique<MidiMapRecord>(kind);
  param->SetMidiMap(record.get());
  mRecords.emplace_back(paramIdx, std::move(record));
  return mRecords.back().second.get();
}

void ConfigReader::RegisterCcControl(const MidiMapRecord* record, IControl* control)
{
  mCcMap[{record->channel, record->ccNumber, record->blockFlag}] = control;
}

void ConfigReader::RegisterNrpnControl(const MidiMapRecord* record, IControl* control)
{
  mNrpnMap[{record->channel, record->nrpnMsb, record->nrpnValueOffset, record->nrpnLsb, record->blockFlag}] =
      control;
}

void ConfigReader::RegisterSysExControl(const int32_t key[4], int fifth, IControl* control)
{
  mSysExMap[{key[0], key[1], key[2], key[3], int32_t(fifth)}] = control;
}

void ConfigReader::SetBiDirectLink(MidiMapRecord* record, int paramIdx, const IntTriple& link, int)
{
  if (!record || link.second < 0) return;
  IParameter* linked = mPlug ? mPlug->ParameterAt(link.first) : nullptr;
  if (!linked)
  {
    Log("link of parameter " + std::to_string(paramIdx) + " to " + std::to_string(link.first) + " IGNORED!");
    return;
  }
  record->link = link;
  MidiMapRecord* far = linked->MidiMap();
  if (!far) far = AttachRecord(link.first, MidiMapRecord::kSysExTable);
  if (far) far->link = IntTriple{paramIdx, link.second, -1};
}

const std::string& ConfigReader::MakeParamGroup(int partIndex, std::string_view caption)
{
  if (partIndex < 0)
    mScratch = caption;
  else
  {
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, int64_t(partIndex) + 1).ptr;
    mScratch.assign("Part ");
    mScratch.append(number, end);
    if (!caption.empty())
    {
      mScratch += ':';
      mScratch += caption;
    }
  }
  return mScratch;
}
