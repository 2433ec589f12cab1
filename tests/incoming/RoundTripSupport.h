#pragma once

// What the round trips (output, then input) share: which bindings travel as short messages, and
// the values of the embedded documents' bindings that cannot come back to their own parameter
// (another parameter or value takes them). link/README.md lists the same; the round-trip tests
// fail when the documents or the tables change it.

#include "config/MidiMapRecord.h"
#include "framework/plugin/ParameterIds.h"

#include <compare>
#include <initializer_list>
#include <ostream>
#include <set>

// A controller, an off/on controller or an NRPN: what the incoming side resolves.
inline bool ShortMessageBound(const MidiMapRecord* record)
{
  return record && (record->kind == MidiMapRecord::kCc || record->kind == MidiMapRecord::kCcOffOn ||
                    record->kind == MidiMapRecord::kNrpn);
}

struct Miss
{
  int index;
  int value;
  auto operator<=>(const Miss&) const = default;
};

inline void PrintTo(const Miss& m, std::ostream* os)
{
  *os << "parameter " << m.index << " value " << m.value;
}

// A run of values of one per-part parameter that cannot come back, and why.
struct Unreturnable
{
  int base;
  int first, last;
  const char* why;
};

inline std::set<Miss> Expand(std::initializer_list<Unreturnable> list)
{
  std::set<Miss> misses;
  for (const Unreturnable& u : list)
    for (int part = 0; part < kPartCount; ++part)
      for (int v = u.first; v <= u.last; ++v)
        misses.insert({u.base + part, v});
  return misses;
}

inline std::set<Miss> EmbeddedUnreturnable()
{
  return Expand({
      {kEnvelopeTriggering, 0, 7, "its message carries the three envelope switches, not its own value"},
      {kMultiArpBank, 0, 4,
       "the part's own arpeggiator bank has the same NRPN on the same channel; the decode gives block 0, "
       "where kArpBank is registered (the multi-mode twin has block 1)"},
      {kMultiArpProgram, 0, 127,
       "controller 3 on the part's channel is kArpProgram's; block 1 is looked up on the global "
       "channel's key only"},
  });
}
