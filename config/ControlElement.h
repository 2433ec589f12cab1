#pragma once

#include "config/MidiMapRecord.h"

#include <string>
#include <string_view>
#include <vector>

class LayerGroup;

// What the walker hands a control factory: the element's attributes as read from the UI document
// (positions and sizes unscaled), the resolved parameter index and where the control goes. Each
// factory reads the fields its element kind has; the others keep these defaults.
struct ControlElement
{
  std::string name;
  int paramIdx = -1;              // already offset by the part
  int position[4] = {0, 0, 0, 0}; // x, y, then the menus' width (and the "multiFx" menu's height)
  int bounds[4] = {0, 0, 0, 0};   // x, y, width, height of the display and the selections
  std::string_view imageId;       // into the document (or a literal): valid while the element is built
  IntTriple link;                 // "biDirectLink"
  int valueBounds[4] = {0, 0, 0, 0};
  int valueDisplay[2] = {-1, -1};     // "valueDisplay" a:b, (-1, -1) when absent
  std::vector<std::string> valueList; // the list named by "valueList" (a copy)
  int changingByte = 0;
  int sysexIndex = 0;
  int msgZeroVal = 0;
  int ccNumber = 0;
  int msbValue = 0;
  int lsbValue = 0;
  int lsbControl = 0;
  int channel = 0;
  int length = 0;
  int nameLen = 0;
  int inputDev = 0;
  int visible = 0; // the first "visible" number
  bool white = false;
  int buttons = 0; // "radio"
  int displaySize = 0;
  int partIndex = -1; // 0..7 inside a multilayer
  LayerGroup* parent = nullptr;
  std::string_view caption; // "paramGroup", or the caption the walker derived from the parent layer
};
