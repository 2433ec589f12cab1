#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class IControl;
class LayerGroup;

// Three numbers of a parameter link ("biDirectLink"): the linked parameter's index, a second
// parameter index and a plain number; -1 where unset.
struct IntTriple
{
  int32_t first = -1;
  int32_t second = -1;
  int32_t third = -1;

  constexpr bool operator==(const IntTriple& other) const = default;
};

// One SysEx message of a table: one int32 per byte, F0 and F7 included.
using SysExBytes = std::vector<int32_t>;
// The messages of one parameter value when a record sends a list of messages.
using SysExGroup = std::vector<SysExBytes>;

// The frame every template and message of the synthesizer shares:
// F0 00 20 29 01, model, device id, type, payload..., F7.
inline constexpr int kSysExModelByte = 5;
inline constexpr int kSysExDeviceIdByte = 6;
inline constexpr int kSysExTypeByte = 7;
inline constexpr int kSysExFrameLength = 9; // the shortest framed message: header, type, F7

// The temporary result of expanding a template: one message per parameter value (minimum
// first), or, with the list flag, one group of messages per value.
struct SysExTableSet
{
  bool sysExList = false;
  std::vector<SysExBytes> messages;
  std::vector<SysExGroup> groups;
};

// The MIDI binding of one parameter: what a change of the parameter sends, the controls that show
// it, and the last value sent. The first control factory that binds a control to the parameter
// creates it; later factories on the same parameter share it and overwrite its kind, so the last
// one decides the message. Built on the constructing thread; afterwards only lastValueSent
// changes (from whichever thread sends).
struct MidiMapRecord
{
  enum Kind : uint32_t
  {
    kNone = 0,       // drives editor controls only
    kCc = 1,         // one controller message
    kCcOffOn = 2,    // one controller message carrying offValue or onValue
    kNrpn = 3,       // three controller messages
    kSysExPair = 4,  // SysEx from a two-message table (values 0 and 1)
    kSysExTable = 5, // SysEx from a table of one message (or group) per value
  };

  explicit MidiMapRecord(uint32_t k) : kind(k) {}

  MidiMapRecord(const MidiMapRecord&) = delete;
  MidiMapRecord& operator=(const MidiMapRecord&) = delete;

  // Moves the set's lists into the record (replacing what it held) and leaves the set empty.
  void SetSysExTables(SysExTableSet& set);

  // A value clamped into a MIDI data byte (0..127); every data byte a record gives goes through it.
  static int32_t DataByte(double value);
  static int32_t DataByte(int32_t value);

  std::atomic<double> lastValueSent{-1.0};
  int32_t part = -1; // 0..7; set by the walker after each element
  uint32_t kind = kNone;
  int32_t ccNumber = -1;                // "ccNumber"
  int32_t nrpnMsb = -1;                 // "msbValue"
  int32_t nrpnValueOffset = -1;         // "lsbValue"
  int32_t nrpnLsb = -1;                 // "lsbControl"
  int32_t channel = -1;                 // 1..16, key of the reverse CC and NRPN maps
  int32_t blockFlag = -1;               // 0 or 1 once set: 1 = reached on the synthesizer's global channel
  std::vector<IControl*> boundControls; // not owned
  IntTriple link;
  LayerGroup* pageLayer = nullptr; // not owned
  bool sysExList = false;
  std::vector<SysExBytes> sysExMessages; // message i belongs to the parameter value minimum + i
  std::vector<SysExGroup> messageGroups; // with sysExList
  int32_t offValue = -1;                 // kCcOffOn: controller value for the parameter value 0
  int32_t onValue = -1;                  // kCcOffOn: controller value for any other value
};

// The template text as bytes: blank-separated hexadecimal tokens (either case); a token that does
// not start with a hexadecimal digit gives 0, and nothing checks the range.
std::vector<int32_t> ParseHexByteList(const std::string& text);

// The strict form used before a template is expanded: every token must be one to two hexadecimal
// digits (a byte). False, and out emptied, on anything else or on an empty text.
bool ParseHexBytes(const std::string& text, std::vector<int32_t>& out);

// Where a template is refused, and why (for the log line).
struct SysExTemplateError
{
  std::string reason;
};

// Expands a template into set.messages: message i carries the value byte start + i (128 wraps to
// 0 and counting goes on from there; the written byte is clamped to 0..127) in element
// changingByte - 1. With start -1 the first message is the template unchanged, and counting goes
// on from the template's own value byte. When partByte (counted from 1) is above 0 and partIndex
// is 0 or more, every generated message carries partIndex in element partByte - 1.
// A template that is not hexadecimal, shorter than a framed message, or whose changing or part byte
// lies outside it (or on its first or last byte) builds nothing: false, with the reason in error.
bool BuildSysExTable(const std::string& templateText, int changingByte, int count, SysExTableSet& set,
                     int startValue, int partByte, int partIndex, SysExTemplateError* error = nullptr);

// The registration key of a table's first message: elements 3..6, or 2..5 when the changing
// byte is 7 (so the value byte is never part of the key), each to its low 8 bits. False when the
// message is too short.
bool SysExRegistrationKey(const SysExBytes& message, int changingByte, int32_t key[4]);
