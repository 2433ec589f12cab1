#include "tools/simsynth/SimSynthControl.h"

#include <cctype>
#include <sstream>

namespace
{
// A whole-number argument within [low, high]; false when missing, malformed or out of range.
bool ParseNumber(const std::string& word, int low, int high, int& value)
{
  if (word.empty() || word.size() > 9) return false;
  int v = 0;
  for (char c : word)
  {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < low || v > high) return false;
  value = v;
  return true;
}

bool ReadNumber(std::istringstream& in, int low, int high, int& value)
{
  std::string word;
  return bool(in >> word) && ParseNumber(word, low, high, value);
}
} // namespace

namespace
{
// One control line being answered: its words after the command, the synthesizer, the faults as
// they were when the line arrived (a handler changes its copy), and where the answer goes.
struct ControlLine
{
  SimSynth& synth;
  std::istringstream& in;
  std::ostream& out;
  SimSynthFaults faults;
};

// What follows a handler that succeeded.
enum class Then
{
  kAnswered,    // it wrote its own answer
  kOk,          // "OK"
  kStoreFaults, // the faults are stored (changed or not), then "OK"
  kQuit,        // "OK", and the command ends
};

// A handler answers null when it did its work, else the text of its error line.
using Handler = const char* (*)(ControlLine&);

struct Command
{
  const char* word;
  Handler handle;
  Then then;
};

const char* Quit(ControlLine&)
{
  return nullptr;
}

const char* Bank(ControlLine& c)
{
  int code = 0;
  if (!ReadNumber(c.in, 1, SimSysEx::kFirstProgramBankCode + SimSysEx::kProgramBanks - 1, code))
    return "bank code 1 to 12 expected";
  for (int slot = 0; slot < SimSysEx::kSlots; ++slot)
    for (const SimBytes& m : c.synth.SlotMessages(code, slot))
      c.out << "SLOT " << slot << ' ' << SimHex(m) << '\n';
  c.out << "END\n";
  return nullptr;
}

const char* Send(ControlLine& c)
{
  // A channel message of one to three bytes, in hex: a status byte, then data bytes below 0x80; or
  // a whole SysEx message (F0, data bytes below 0x80, F7), as the synthesizer sends one unasked or
  // another device on the same cable would.
  SimBytes message;
  std::string byte;
  bool good = true;
  while (c.in >> byte && good)
  {
    good = byte.size() == 2 && std::isxdigit(static_cast<unsigned char>(byte[0])) &&
           std::isxdigit(static_cast<unsigned char>(byte[1]));
    if (good) message.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
  }
  const bool sysEx = good && message.size() >= 2 && message.front() == 0xF0 && message.back() == 0xF7;
  if (sysEx)
  {
    for (size_t i = 1; good && i + 1 < message.size(); ++i)
      good = message[i] < 0x80;
    if (!good) return "a SysEx message in hex expected";
    c.synth.Send(message);
    return nullptr;
  }
  good = good && !message.empty() && message.size() <= 3 && message[0] >= 0x80 && message[0] < 0xF0;
  for (size_t i = 1; good && i < message.size(); ++i)
    good = message[i] < 0x80;
  if (!good) return "a channel message or a SysEx message in hex expected";
  c.synth.Send(message);
  return nullptr;
}

const char* Garbage(ControlLine& c)
{
  int count = 0;
  if (!ReadNumber(c.in, 0, 1000000, count)) return "a count of data bytes expected";
  c.synth.SendUnterminated(count);
  return nullptr;
}

const char* Log(ControlLine& c)
{
  for (const std::string& entry : c.synth.Log())
    c.out << entry << '\n';
  c.out << "END\n";
  return nullptr;
}

const char* Writes(ControlLine& c)
{
  const SimSynthWrites w = c.synth.Writes();
  c.out << "WRITES program-edit " << w.programEdit << " performance-edit " << w.performanceEdit
        << " program-memory " << w.programMemory << " performance-memory " << w.performanceMemory
        << " global " << w.globals << '\n';
  return nullptr;
}

const char* SetFlag(ControlLine& c, bool SimSynthFaults::*flag)
{
  int value = 0;
  if (!ReadNumber(c.in, 0, 1, value)) return "0 or 1 expected";
  c.faults.*flag = value == 1;
  return nullptr;
}

const char* Silent(ControlLine& c)
{
  return SetFlag(c, &SimSynthFaults::silent);
}

const char* WrongPart(ControlLine& c)
{
  return SetFlag(c, &SimSynthFaults::wrongPartByte);
}

const char* Malformed(ControlLine& c)
{
  return SetFlag(c, &SimSynthFaults::malformedLengths);
}

const char* Slow(ControlLine& c)
{
  if (!ReadNumber(c.in, 0, 60000, c.faults.slowMs)) return "milliseconds 0 to 60000 expected";
  return nullptr;
}

const char* Missing(ControlLine& c)
{
  std::string first;
  c.in >> first;
  SimSynthFaults& f = c.faults;
  if (first == "OFF")
  {
    f.missingBankCode = f.missingSlot = f.missingTimes = -1;
    return nullptr;
  }
  int code = 0;
  int slot = 0;
  std::string times;
  int count = -1;
  if (!ParseNumber(first, 1, 12, code) || !ReadNumber(c.in, 0, SimSysEx::kSlots - 1, slot) ||
      (c.in >> times && !ParseNumber(times, 1, 1000, count)))
    return "bank code 1 to 12, slot 0 to 127 and a count 1 to 1000 (or none) expected";
  f.missingBankCode = code;
  f.missingSlot = slot;
  f.missingTimes = count;
  return nullptr;
}

const char* Corrupt(ControlLine& c)
{
  if (!ReadNumber(c.in, 0, 1000, c.faults.corruptNext)) return "a count 0 to 1000 expected";
  return nullptr;
}

const char* Cable(ControlLine& c)
{
  int rate = 0;
  int piece = 16;
  std::string pieceWord;
  if (!ReadNumber(c.in, 0, 1000000, rate) || (c.in >> pieceWord && !ParseNumber(pieceWord, 4, 4096, piece)))
    return "bytes per second (0: off) and a piece size 4 to 4096 (or none) expected";
  c.faults.cableBytesPerSecond = rate;
  c.faults.cablePieceBytes = piece;
  return nullptr;
}

const char* Mode(ControlLine& c)
{
  std::string mode;
  c.in >> mode;
  if (mode != "PROGRAM" && mode != "PERFORMANCE") return "PROGRAM or PERFORMANCE expected";
  c.synth.SetMode(mode == "PROGRAM" ? SimSynth::Mode::Program : SimSynth::Mode::Performance);
  return nullptr;
}

const char* Part(ControlLine& c)
{
  int part = 0;
  if (!ReadNumber(c.in, 0, SimSysEx::kParts - 1, part)) return "part 0 to 7 expected";
  c.synth.SetSelectedPart(part);
  return nullptr;
}

constexpr Command kCommands[] = {
    {"QUIT", Quit, Then::kQuit},
    {"BANK", Bank, Then::kAnswered},
    {"SEND", Send, Then::kOk},
    {"GARBAGE", Garbage, Then::kOk},
    {"LOG", Log, Then::kAnswered},
    {"WRITES", Writes, Then::kAnswered},
    {"SILENT", Silent, Then::kStoreFaults},
    {"WRONGPART", WrongPart, Then::kStoreFaults},
    {"MALFORMED", Malformed, Then::kStoreFaults},
    {"SLOW", Slow, Then::kStoreFaults},
    {"MISSING", Missing, Then::kStoreFaults},
    {"CORRUPT", Corrupt, Then::kStoreFaults},
    {"CABLE", Cable, Then::kStoreFaults},
    {"MODE", Mode, Then::kStoreFaults},
    {"PART", Part, Then::kStoreFaults},
};
} // namespace

bool SimSynthControl(SimSynth& synth, const std::string& line, std::ostream& out)
{
  std::istringstream in(line);
  std::string word;
  in >> word;
  ControlLine c{synth, in, out, synth.Faults()};
  for (const Command& command : kCommands)
  {
    if (word != command.word) continue;
    if (const char* error = command.handle(c))
    {
      out << "ERROR " << error << '\n';
      return true;
    }
    if (command.then == Then::kStoreFaults) synth.SetFaults(c.faults);
    if (command.then != Then::kAnswered) out << "OK\n";
    return command.then != Then::kQuit;
  }
  out << "ERROR unknown control line\n";
  return true;
}
