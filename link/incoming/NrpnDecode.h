#pragma once

// What an NRPN data entry means: the assembled number (MSB, LSB) and the data byte turned into
// the key of the configuration's NRPN map and the parameter value, or one of the few data
// values that act on their own.
struct NrpnDecode
{
  enum Action
  {
    kLookup,     // look up (msbKey, base, lsbKey, block) and give the control value
    kIgnore,     // a data value the synthesizer sends that moves nothing
    kPartOn,     // kMultiPartStatus of part to 1
    kPartOff,    // kMultiPartStatus of part to 0
    kSelectPart, // kQuickTab to part
  };

  Action action = kLookup;
  int msbKey = 0;
  int base = 0;
  int lsbKey = 0;
  int block = 0;
  int value = 0;
  int part = -1;            // kPartOn, kPartOff, kSelectPart
  bool refreshPart = false; // the part view follows (kQuickTab's secondary change) afterwards
};

// The LSB value that means "no NRPN number assembled".
inline constexpr int kNoNrpnLsb = 128;

// Decodes one data entry (controller 6) of the NRPN number msb, lsb.
NrpnDecode DecodeNrpn(int msb, int lsb, int data);
