#pragma once

#include "ConfigTestSupport.h"

#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

// A reader that has read a small SysEx document and the embedded skin, ready for the factories.
//   0: a per-part template (part in byte 9, value in byte 11)
//   1: a global template (value in byte 9)
//   2: a template that is not hexadecimal
//   3: a definition without any template
inline const char* kFactorySysEx = R"(<sysexlist>
  <sysex partByte="9"><values><value>F0 00 20 29 01 24 0F 01 00 10 00 F7</value></values></sysex>
  <sysex><values><value>F0 00 20 29 01 21 7F 10 00 F7</value></values></sysex>
  <sysex><values><value>F0 00 ZZ 29 01 21 7F 10 00 F7</value></values></sysex>
  <sysex><values></values></sysex>
</sysexlist>)";

inline const char* kEmptyUi = "<uiconfig><valueLists/></uiconfig>";

struct Factories
{
  // An empty editor: the factories under test build into it alone.
  ScopedDocument uiDocument;
  ScopedDocument sysexDocument;
  ReaderFixture f;
  double scale;

  explicit Factories(double s = 1.0)
      : uiDocument(100, kEmptyUi), sysexDocument(101, kFactorySysEx), f(s), scale(s)
  {
    f.reader->Read(f.graphics.get(), &f.plug, nullptr, 0, s);
    f.log.clear();
  }

  ConfigReader& R() { return *f.reader; }
  IParameter* P(int index) { return f.plug.ParameterAt(index); }
  MidiMapRecord* Record(int index) { return P(index)->MidiMap(); }
  LayerGroup* Layer(const char* name)
  {
    LayerGroup* g = new LayerGroup(1, name);
    f.graphics->AddLayerGroup(g);
    return g;
  }
  bool Logged(const std::string& part) const
  {
    for (const std::string& line : f.log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  int Scaled(int v) const { return int(v * scale); }

  static ControlElement Element(const char* name, int index, int x, int y, int part = -1,
                                LayerGroup* parent = nullptr, const char* caption = "")
  {
    ControlElement e;
    e.name = name;
    e.paramIdx = index;
    e.position[0] = x;
    e.position[1] = y;
    e.partIndex = part;
    e.parent = parent;
    e.caption = caption;
    return e;
  }
};
