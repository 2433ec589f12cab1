#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tinyxml2
{
class XMLElement;
class XMLNode;
} // namespace tinyxml2

// The attribute forms of the user-interface document, as the walker reads them.

// The attribute's value; the empty text when it is absent.
std::string GetAttributeString(const tinyxml2::XMLElement* element, const char* name);
// The leading decimal integer of the value; 0 when absent or not a number (out-of-range numbers
// are held at the ends of the int range).
int GetIntAttribute(const tinyxml2::XMLElement* element, const char* name);
// The leading decimal integer of a text, as GetIntAttribute.
int ParseInt(const std::string& text);
int ParseInt(const char* text);
int ParseInt(std::string_view text);
// Splits at ","; empty pieces are dropped; the first count pieces are read as integers; numbers
// missing from the text are 0, pieces beyond count are ignored.
void ParseIntList(const std::string& text, int32_t* values, int count);
void ParseIntList(const char* text, int32_t* values, int count);
// The pieces between any of the delimiter characters, empty pieces dropped.
std::vector<std::string> SplitString(const std::string& text, const char* delimiters);
// The next sibling of the node that is an element, or null.
const tinyxml2::XMLElement* FindNextSiblingElement(const tinyxml2::XMLNode* node);
// The caption a generic control takes from its parent layer's name, or null when the name has none.
const char* CaptionForParentLayer(std::string_view layerName);
