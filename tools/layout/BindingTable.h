#pragma once
// The binding table of the definition documents (resources/src/bindings.tsv): one row per parameter
// name with its control, range, value list, MIDI binding and home in the layout.
#include <string>
#include <vector>

struct BindingRow
{
  int line = 0;        // line in the table, for messages that name the row
  std::string name;    // parameter name ("kFilterCutoff")
  int parts = 1;       // 8 for a per-part name, else 1
  std::string control; // knob, switch, menu, radio, lock, name, display, devin, devout, autooff, hidden
  std::string image;   // "-" picks the image by control and number of values
  int min = 0, max = 0, def = 0, step = 1;
  std::string list;                              // value list name, "-" for none
  std::string midi;                              // cc, ccbtn, nrpn, none
  int cc = -1;                                   // controller number (cc, ccbtn)
  int nrpnMsb = -1, nrpnLsb = -1, nrpnBase = -1; // nrpn: number MSB, number LSB, value offset
  std::string source;                            // chart, inferred, assumed, "-"
  std::vector<std::string> homes;                // section or slot groups of the layout
  std::string caption;                           // the label painted under or over the control
  int Count() const { return max - min + 1; }
};

class BindingTable
{
public:
  // Reads the table; false with a message naming the line when a row is malformed.
  bool Read(const std::string& path, std::string& error);
  bool Parse(const std::string& text, std::string& error);
  const std::vector<BindingRow>& Rows() const { return mRows; }
  const BindingRow* Find(const std::string& name) const;

private:
  std::vector<BindingRow> mRows;
};
