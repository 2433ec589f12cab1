#pragma once
// Turns the layout model, the value lists and the SysEx entries into the user-interface document and
// the SysEx document, and enforces the rules the configuration reader relies on. Every failure is
// a message naming the source row.
#include <map>
#include <string>
#include <vector>

#include "tools/docgen/SysExEntries.h"
#include "tools/docgen/ValueLists.h"
#include "tools/layout/Layout.h"

class DocumentGenerator
{
public:
  DocumentGenerator(const Layout& layout, const ValueLists& lists, const SysExEntries& sysex);
  // Builds both documents; false when a rule is broken (Errors() says which row).
  bool Generate();
  const std::string& UiDocument() const { return mUi; }
  const std::string& SysExDocument() const { return mSysEx; }
  const std::vector<std::string>& Errors() const { return mErrors; }

  static const std::map<std::string, int>& ParameterIndex(); // the 652 names
  static bool ImageExists(const std::string& name);          // in the skin image table
  static std::string DisplayName(const std::string& paramName);

  // Name of the never-shown layer that holds every parameter's MIDI binding, last in the document.
  static constexpr const char* kBindingLayer = "midiBindings";
  static constexpr int kBindingLayerId = 299;

private:
  struct Emitted
  {
    std::string element;  // element text
    std::string param;    // base name
    int index = -1;       // parameter index with the part
    bool binding = false; // in the binding layer
    bool inMulti = false; // stands for the eight parts of its name
    bool rangeKnown = false;
    int min = 0, max = 0;
  };
  void EmitNode(const LayoutNode& node, const std::vector<const LayoutNode*>& layers, int depth);
  void EmitControl(const PlacedControl& c, int depth);
  void EmitBindings(int depth);
  std::string Control(const PlacedControl& c, const BindingRow& row, int part, bool inMulti,
                      const LayoutRect& r, bool forBinding, Emitted& out);
  void Line(int depth, const std::string& text);
  void Fail(const BindingRow& row, const std::string& what);
  void CheckRules();

  const Layout& mLayout;
  const ValueLists& mLists;
  const SysExEntries& mSysExEntries;
  std::string mUi, mSysEx;
  std::vector<std::string> mErrors;
  std::vector<Emitted> mEmitted;
};
