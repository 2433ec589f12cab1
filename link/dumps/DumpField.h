#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class DumpParameters;

// The switch that keeps a received dump from changing a group of a part's parameters.
enum class DumpLock : uint8_t
{
  None,
  Osc1,
  Osc2,
  Osc3,
  Mixer,
  Voice,
  Filter,
  Env1,
  Env2,
  Env3,
  LFO1,
  LFO2,
  Arp,
  Vocoder,
  FXDistortion,
  FXEQ,
  FXCombFilter,
  FXPanning,
  FXReverb,
  FXChorus,
  FXDelay,
  MultiOutputs, // the part outputs of a performance (one switch for all parts)
  MultiVocoder, // the vocoder of a performance (the switch of the first part)
  Count
};

// The switch parameter of a lock for a part; -1 for DumpLock::None.
int DumpLockParameter(DumpLock lock, int part);
// One bit per DumpLock: set when that switch of the part is on (its value is exactly 1).
uint32_t ReadDumpLocks(const DumpParameters& parameters, int part);

// How a field differs from a plain bit field (value + add in bits shift .. shift + width - 1).
enum class DumpSpecial : uint8_t
{
  None,
  Inverted,        // one bit, 1 on the cable is 0 in the parameter
  ReadOnly,        // taken on receipt; the builder writes nothing for it
  ConstantOnWrite, // the byte is read as it stands, the builder writes the bias whatever the value
  EnvTriggering,   // also sets the three envelope triggering flags from the value
  ArpOrdering,     // a byte below the bias leaves the parameter as it is
  ArpFillIn,       // a byte below the bias is taken as it stands
  Polyphony,       // read: 0 when bit 0 is set, else 1
  NonZero,         // written as 1 for any value but 0
  ChorusTypeBits,  // chorus types 0 - 4 in two bits: type 4 travels as 3, the extended byte tells them apart
  ChorusExtended,  // 1 for chorus type 3, 2 for 4, else 0; received: `other` takes the byte
  SustainCode,     // the code table of the part sustain setting
  PartChannel,     // received: the part number instead while the part-channels flag is on
  BreathSensing,   // the breath-sensing code in steps of 8
  LocalControl,    // the remainder beside the breath-sensing code
  RxProgramChange, // read: 1 when either of the two bits is set; written in bit 1
  ClearOnRead,     // set to 0 by a received message, never written
};

// One row of a dump table: where a parameter travels and how. The parser and the builder of a
// dump walk the same rows, so they cannot disagree. Rows of one byte lie next to each other.
struct DumpField
{
  uint16_t at;   // byte offset (from the start of a per-part block inside a block table)
  int16_t param; // base index; -1 for a byte that carries no parameter
  uint8_t shift; // lowest bit of the field
  uint8_t width; // bits of the field; 7 for a whole byte
  int16_t add;   // added to the value on writing, subtracted on reading
  uint8_t bias;  // constant part of the byte: written, and subtracted before the fields are read
  DumpLock lock; // the switch that guards the field on receipt
  bool single;   // held once at the base index whatever the part
  DumpSpecial special;
  int16_t other; // second parameter of some special fields, -1 when none
};

// Row makers, so that the tables read like the byte maps.
constexpr DumpField DumpByte(int at, int param, DumpLock lock, int add = 0)
{
  return {uint16_t(at), int16_t(param), 0, 7, int16_t(add), 0, lock, false, DumpSpecial::None, -1};
}
constexpr DumpField DumpBits(int at, int param, int shift, int width, DumpLock lock, int add = 0,
                             int bias = 0)
{
  return {uint16_t(at),  int16_t(param), uint8_t(shift), uint8_t(width),    int16_t(add),
          uint8_t(bias), lock,           false,          DumpSpecial::None, -1};
}
constexpr DumpField DumpFixed(int at, int value)
{
  return {uint16_t(at), -1, 0, 7, 0, uint8_t(value), DumpLock::None, false, DumpSpecial::None, -1};
}
constexpr DumpField Single(DumpField f)
{
  f.single = true;
  return f;
}
constexpr DumpField Special(DumpField f, DumpSpecial special, int other = -1)
{
  f.special = special;
  f.other = int16_t(other);
  return f;
}

// The values a field can carry both ways: a parameter inside [lo, hi] (whole numbers) is written
// and read back unchanged. `drives` is false for rows that only follow another row's parameter.
struct DumpDomain
{
  int lo = 0;
  int hi = 0;
  bool drives = false;
};
DumpDomain FieldDomain(const DumpField& field);

// The parameter index of a row for a part.
inline int FieldIndex(const DumpField& field, int part)
{
  return field.single ? field.param : field.param + part;
}

// The bits a value contributes to its byte (already shifted), without the bias.
int EncodeField(const DumpField& field, double value);
// The bits of a field in a byte, before the field's special reading.
int DecodeFieldBits(const DumpField& field, uint8_t byte);

// Writes every row into message[base + at] from value(index): first the bias of each byte, then
// the fields. Rows outside the message are skipped. Every byte written is below 0x80.
template <class ValueOf>
void WriteDumpFields(std::span<const DumpField> fields, uint8_t* message, size_t size, size_t base, int part,
                     ValueOf&& value)
{
  int previous = -1;
  for (const DumpField& field : fields)
  {
    const size_t at = base + field.at;
    if (at >= size) continue;
    if (int(field.at) != previous) message[at] = field.bias & 0x7F;
    previous = field.at;
    if (field.param < 0) continue;
    const int bits = EncodeField(field, value(FieldIndex(field, part)));
    message[at] = uint8_t((message[at] + bits) & 0x7F);
  }
}

// Marks into masks[base + at] the bits each row writes: the field's bits, or the whole byte for a
// row that writes a constant, a bias or a coded value. `masks` grows to hold every offset marked.
void MarkWrittenBits(std::span<const DumpField> fields, size_t base, std::vector<uint8_t>& masks);
// Gives every data byte of a built message (from byte 8 to the one before F7) the bits that no row
// writes from the received message of the same frame, type and length, so that sending back what
// the synthesizer sent keeps its settings the editor does not show. Anything else received (none
// included) leaves the built message as it is.
void KeepReceivedBits(std::vector<uint8_t>& message, const std::vector<uint8_t>* received,
                      const std::vector<uint8_t>& masks);

// What the reading of a dump needs beside the message: the part's switches that are on, and
// whether the part MIDI channels are forced to the part numbers.
struct DumpReadState
{
  uint32_t locks = 0;
  bool partChannels = false;
};

// Sets the parameters of every row from message[base + at], skipping rows whose switch is on
// and rows outside the message.
void ReadDumpFields(std::span<const DumpField> fields, const uint8_t* message, size_t size, size_t base,
                    int part, const DumpReadState& state, DumpParameters& parameters);
