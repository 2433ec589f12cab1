// The SysEx document and the value lists of the UI document.
#include "config/ConfigReader.h"

#include "config/DecipherResource.h"
#include "framework/graphics/IGraphics.h"
#include "platform/resources/ResourceTable.h"

#include <tinyxml2.h>

#include <exception>

namespace
{
std::string TextOf(const tinyxml2::XMLElement* element)
{
  const char* text = element->GetText();
  return text ? std::string(text) : std::string();
}
} // namespace

void ConfigReader::ReadSysExData()
{
  Log("Started to read SysEx Data...");
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
  if (mGraphics)
  {
    bytes =
        reinterpret_cast<const uint8_t*>(mGraphics->LoadTextResource(kSysExDocumentId, kSysExDocumentFile));
    size = bytes ? mGraphics->LastTextResourceSize() : 0;
  }
  else
  {
    const auto span = ResourceTable::Find("TEXTFILE", kSysExDocumentId);
    bytes = span.data();
    size = uint32_t(span.size());
  }
  const auto text = SharedDocument(bytes, int32_t(size > uint32_t(INT32_MAX) ? INT32_MAX : size));
  ReadSysExText(*text);
  Log("Completed reading SysEx data!");
}

bool ConfigReader::ReadSysExText(const std::string& text)
{
  // The table is built aside: a failure leaves it as it was.
  try
  {
    tinyxml2::XMLDocument document;
    if (document.Parse(text.c_str()) != tinyxml2::XML_SUCCESS)
    {
      Log(std::string("SysEx document REFUSED: ") + document.ErrorName() + "!");
      return false;
    }
    const tinyxml2::XMLElement* list = document.FirstChildElement("sysexlist");
    if (!list) return true;

    // Built aside and appended whole.
    std::vector<SysExDefinition> table;
    for (const tinyxml2::XMLElement* sysex = list->FirstChildElement("sysex"); sysex;
         sysex = sysex->NextSiblingElement())
    {
      SysExDefinition definition;
      definition.partByte = sysex->IntAttribute("partByte", 0);
      for (const tinyxml2::XMLElement* values = sysex->FirstChildElement("values"); values;
           values = values->NextSiblingElement())
      {
        if (const tinyxml2::XMLElement* value = values->FirstChildElement("value"))
        {
          std::vector<std::string> messages;
          for (; value; value = value->NextSiblingElement())
          {
            std::string t = TextOf(value);
            if (!t.empty()) messages.push_back(std::move(t));
          }
          definition.messageLists.push_back(std::move(messages));
        }
        else
        {
          std::vector<std::vector<std::string>> group;
          for (const tinyxml2::XMLElement* multi = values->FirstChildElement("multivalue"); multi;
               multi = multi->NextSiblingElement())
          {
            std::vector<std::string> texts;
            for (const tinyxml2::XMLElement* v = multi->FirstChildElement("value"); v;
                 v = v->NextSiblingElement())
              texts.push_back(TextOf(v));
            group.push_back(std::move(texts));
          }
          definition.multi = true;
          definition.groups.push_back(std::move(group));
        }
      }
      table.push_back(std::move(definition));
    }
    // Room first, so that appending cannot fail half way.
    mSysExTable.reserve(mSysExTable.size() + table.size());
    for (SysExDefinition& d : table)
      mSysExTable.push_back(std::move(d));
    return true;
  }
  catch (const std::exception& failure)
  {
    LogFailure("SysEx document", failure);
    return false;
  }
}

void ConfigReader::ReadValueLists(const tinyxml2::XMLDocument& document)
{
  const tinyxml2::XMLElement* root = document.FirstChildElement("uiconfig");
  const tinyxml2::XMLElement* lists = root ? root->FirstChildElement("valueLists") : nullptr;
  if (!lists) return;
  for (const tinyxml2::XMLNode* node = lists->FirstChild(); node; node = node->NextSibling())
  {
    const tinyxml2::XMLElement* list = node->ToElement();
    if (!list || std::string(list->Name()) != "list") continue;
    const char* name = list->Attribute("name");
    if (!name)
    {
      Log("value list without a name SKIPPED!");
      continue;
    }
    if (mValueLists.count(name))
    {
      // The first list of a name stays: a later one is an authoring slip.
      if (LogEnabled()) Log(std::string("value list ") + name + " ALREADY EXISTS!");
      continue;
    }
    std::vector<std::string> values;
    for (const tinyxml2::XMLElement* v = list->FirstChildElement(); v; v = v->NextSiblingElement())
      if (std::string(v->Name()) == "value") values.push_back(TextOf(v));
    mValueLists.emplace(name, std::move(values));
  }
}
