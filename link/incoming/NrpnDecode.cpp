#include "link/incoming/NrpnDecode.h"

#include <cstddef>

namespace
{
struct Range
{
  int first;
  int last;
  int base;
};

bool In(int v, int first, int last)
{
  return v >= first && v <= last;
}

// The ranges of a page of MSB 0: data inside one gives its base and the value data - base.
template <std::size_t N> bool FromRanges(const Range (&ranges)[N], int data, NrpnDecode& d)
{
  for (const Range& r : ranges)
    if (In(data, r.first, r.last))
    {
      d.base = r.base;
      d.value = data - r.base;
      return true;
    }
  return false;
}

NrpnDecode Plain(int msb, int lsb, int data)
{
  NrpnDecode d;
  d.msbKey = msb;
  d.lsbKey = lsb;
  d.value = data;
  return d;
}

NrpnDecode Ignore()
{
  NrpnDecode d;
  d.action = NrpnDecode::kIgnore;
  return d;
}

NrpnDecode PartAction(NrpnDecode::Action action, int part)
{
  NrpnDecode d;
  d.action = action;
  d.part = part;
  return d;
}

// The part sustain setting's values 3 and up travel on other pages; they all come home to the
// page 84 entry whose base is 77.
NrpnDecode Sustain(int value)
{
  NrpnDecode d = Plain(0, 84, value);
  d.base = 77;
  return d;
}

NrpnDecode Page0(int data)
{
  NrpnDecode d = Plain(0, 0, data);
  static constexpr Range kPart[] = {{0, 4, 0},       {10, 14, 10},    {20, 24, 20},   {120, 121, 120},
                                    {122, 123, 122}, {124, 125, 124}, {126, 127, 126}};
  static constexpr Range kPlain[] = {{30, 34, 30}, {35, 39, 35}, {40, 44, 40},
                                     {45, 69, 45}, {70, 94, 70}, {95, 119, 95}};
  if (FromRanges(kPlain, data, d)) return d;
  FromRanges(kPart, data, d);
  d.refreshPart = true; // the part ranges and every value outside the ranges
  return d;
}

NrpnDecode Page1(int data)
{
  NrpnDecode d = Plain(0, 1, data);
  static constexpr Range kRanges[] = {
      {0, 2, 0},       {3, 14, 3},     {16, 19, 16}, {20, 23, 20}, {24, 25, 24},  {26, 27, 26},
      {28, 30, 28},    {31, 33, 31},   {34, 41, 34}, {42, 51, 42}, {52, 54, 52},  {55, 58, 55},
      {59, 69, 59},    {70, 71, 70},   {72, 73, 72}, {74, 75, 74}, {76, 78, 76},  {79, 80, 79},
      {81, 85, 81},    {86, 89, 86},   {90, 91, 90}, {92, 93, 92}, {98, 101, 98}, {102, 104, 102},
      {105, 106, 105}, {122, 127, 122}};
  FromRanges(kRanges, data, d);
  d.refreshPart = true;
  return d;
}

NrpnDecode Page84(int data)
{
  if (In(data, 80, 82)) return Sustain(data - 76);
  if (data == 83) return Sustain(13);
  NrpnDecode d = Plain(0, 84, data);
  static constexpr Range kRanges[] = {{0, 24, 0},   {25, 49, 25}, {50, 74, 50}, {75, 76, 75},
                                      {77, 79, 77}, {84, 85, 84}, {86, 87, 86}};
  FromRanges(kRanges, data, d);
  return d;
}

NrpnDecode Page100(int data)
{
  if (In(data, 94, 95)) return Ignore();
  NrpnDecode d = Plain(0, 100, data);
  if (In(data, 110, 111))
  {
    // The delay ratio's last two values, beyond its own range.
    d.base = 96;
    d.value = data - 99;
    return d;
  }
  static constexpr Range kRanges[] = {{0, 34, 0},     {35, 36, 35}, {37, 57, 37},    {58, 78, 58},
                                      {79, 80, 79},   {81, 82, 81}, {83, 89, 83},    {92, 93, 92},
                                      {96, 97, 96},   {98, 99, 98}, {100, 101, 100}, {102, 109, 102},
                                      {115, 116, 115}};
  FromRanges(kRanges, data, d);
  return d;
}

NrpnDecode Page109(int data)
{
  if (In(data, 5, 8)) return Ignore();
  NrpnDecode d = Plain(0, 109, data);
  static constexpr Range kRanges[] = {{1, 4, 1}, {48, 65, 48}, {80, 95, 80}, {96, 113, 96}};
  FromRanges(kRanges, data, d);
  return d;
}

NrpnDecode Page110(int data)
{
  if (data == 126) return Sustain(3);
  if (data == 127) return Sustain(7);
  NrpnDecode d = Plain(0, 110, data);
  if (data == 75 || data == 115)
  {
    d.base = 110;
    d.value = data == 75 ? 0 : 1;
    return d;
  }
  static constexpr Range kRanges[] = {{0, 33, 0},   {34, 36, 34},  {40, 74, 40},    {76, 77, 76},
                                      {78, 79, 78}, {80, 114, 80}, {116, 117, 116}, {118, 119, 118}};
  FromRanges(kRanges, data, d);
  return d;
}

NrpnDecode Page111(int data)
{
  NrpnDecode d = Plain(0, 111, data);
  static constexpr Range kRanges[] = {{40, 88, 40}, {89, 114, 80}};
  FromRanges(kRanges, data, d);
  return d;
}

NrpnDecode Page113(int data)
{
  if (In(data, 4, 8)) return Sustain(data + 4);
  if (In(data, 55, 62)) return PartAction(NrpnDecode::kPartOn, data - 55);
  if (In(data, 63, 70)) return PartAction(NrpnDecode::kPartOff, data - 63);
  if (In(data, 76, 83)) return PartAction(NrpnDecode::kSelectPart, data - 76);
  NrpnDecode d = Plain(0, 113, data);
  if (In(data, 0, 3))
  {
    d.base = 1;
    d.value = data - 1;
    return d;
  }
  static constexpr Range kPlain[] = {{11, 15, 11}, {71, 75, 71}, {89, 91, 89}};
  static constexpr Range kBlock[] = {
      {16, 17, 16}, {18, 25, 18}, {28, 33, 28}, {96, 111, 96}, {112, 127, 112}};
  static constexpr Range kPart[] = {{36, 54, 36}};
  if (FromRanges(kPlain, data, d)) return d;
  if (FromRanges(kBlock, data, d))
  {
    d.block = 1;
    return d;
  }
  if (FromRanges(kPart, data, d)) d.refreshPart = true;
  return d;
}

NrpnDecode Page122(int data)
{
  NrpnDecode d = Plain(0, 122, data);
  if (In(data, 0, 3)) d.base = 1; // the value stays the data byte
  return d;
}

NrpnDecode HighMsb(int msb, int lsb, int data)
{
  NrpnDecode d = Plain(msb, lsb, data);
  if (lsb == 122)
  {
    if (msb == 14 && In(data, 1, 2))
    {
      d = Plain(0, 1, data + 2);
      d.base = 52;
    }
    else if (msb == 43 && In(data, 0, 1))
    {
      d = Plain(0, 1, data + 3);
      d.base = 76;
    }
  }
  // The three FM and part switches: data 0..2 switch one of them on, 3..5 the same one off.
  if (((msb == 34 && lsb == 122) || (msb == 7 && lsb == 120)) && In(data, 0, 5))
  {
    d.base = 2 * (data % 3);
    d.value = data < 3 ? 1 : 0;
  }
  if (In(msb, 116, 117) && lsb == 120)
  {
    d.base = 56;
    d.value = data - 56;
  }
  return d;
}
} // namespace

NrpnDecode DecodeNrpn(int msb, int lsb, int data)
{
  if (msb != 0) return HighMsb(msb, lsb, data);
  switch (lsb)
  {
  case 0:
    return Page0(data);
  case 1:
    return Page1(data);
  case 84:
    return Page84(data);
  case 100:
    return Page100(data);
  case 109:
    return Page109(data);
  case 110:
    return Page110(data);
  case 111:
    return Page111(data);
  case 113:
    return Page113(data);
  case 122:
    return Page122(data);
  default:
    return Plain(0, lsb, data);
  }
}
