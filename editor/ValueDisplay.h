#pragma once

#include <string>

class IParameter;

// What the display fields show for a control that moved: the parameter's name, its value as text
// (the value's own text where it has one) and the controller it travels on.
struct ValueDisplay
{
  std::string name;
  std::string value;
  std::string controller; // "CC|n", "MSB/LSB", "SysEx", or empty when it travels on nothing

  // Whether a change of the parameter shows in the fields: the synthesizer's own settings (program,
  // performance and global ones, and whatever has a message). The editor's page, port and display
  // parameters leave them to the status texts.
  static bool Follows(int index, const IParameter* param);
  static ValueDisplay Of(const IParameter& param);
};
