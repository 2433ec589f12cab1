#pragma once

#include <string>
#include <vector>

// One "sysex" element of the SysEx document: its message templates, indexed by the controls'
// "sysexIndex".
struct SysExDefinition
{
  // One list per plain "values" element: the non-empty texts of its "value" elements.
  std::vector<std::vector<std::string>> messageLists;
  // One group per multivalue "values" element: one list per "multivalue", empty texts included.
  std::vector<std::vector<std::vector<std::string>>> groups;
  // True when at least one "values" element took the multivalue form.
  bool multi = false;
  // The element of the templates (counted from 1) that carries the part index of a per-part
  // parameter ("partByte" attribute of the "sysex" element); 0 when the templates carry none.
  int partByte = 0;

  // The template the factories expand: the first text of the first message list, or null.
  const std::string* FirstTemplate() const
  {
    if (messageLists.empty() || messageLists.front().empty()) return nullptr;
    return &messageLists.front().front();
  }
};
