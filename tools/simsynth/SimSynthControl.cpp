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

bool SimSynthControl(SimSynth& synth, const std::string& line, std::ostream& out)
{
  std::istringstream in(line);
  std::string word;
  in >> word;
  SimSynthFaults faults = synth.Faults();
  int value = 0;
  if (word == "QUIT")
  {
    out << "OK\n";
    return false;
  }
  if (word == "BANK")
  {
    if (!ReadNumber(in, 1, SimSysEx::kFirstProgramBankCode + SimSysEx::kProgramBanks - 1, value))
    {
      out << "ERROR bank code 1 to 12 expected\n";
      return true;
    }
    for (int slot = 0; slot < SimSysEx::kSlots; ++slot)
      for (const SimBytes& m : synth.SlotMessages(value, slot))
        out << "SLOT " << slot << ' ' << SimHex(m) << '\n';
    out << "END\n";
    return true;
  }
  if (word == "SEND")
  {
    // A channel message of one to three bytes, in hex: a status byte, then data bytes below 0x80.
    SimBytes message;
    std::string byte;
    bool good = true;
    while (in >> byte && good)
    {
      good = byte.size() == 2 && std::isxdigit(static_cast<unsigned char>(byte[0])) &&
             std::isxdigit(static_cast<unsigned char>(byte[1]));
      if (good) message.push_back(uint8_t(std::stoi(byte, nullptr, 16)));
    }
    good = good && !message.empty() && message.size() <= 3 && message[0] >= 0x80 && message[0] < 0xF0;
    for (size_t i = 1; good && i < message.size(); ++i)
      good = message[i] < 0x80;
    if (!good)
    {
      out << "ERROR a channel message in hex expected\n";
      return true;
    }
    synth.Send(message);
    out << "OK\n";
    return true;
  }
  if (word == "GARBAGE")
  {
    if (!ReadNumber(in, 0, 1000000, value))
    {
      out << "ERROR a count of data bytes expected\n";
      return true;
    }
    synth.SendUnterminated(value);
    out << "OK\n";
    return true;
  }
  if (word == "LOG")
  {
    for (const std::string& entry : synth.Log())
      out << entry << '\n';
    out << "END\n";
    return true;
  }
  if (word == "SILENT" || word == "WRONGPART" || word == "MALFORMED")
  {
    if (!ReadNumber(in, 0, 1, value))
    {
      out << "ERROR 0 or 1 expected\n";
      return true;
    }
    (word == "SILENT"      ? faults.silent
     : word == "WRONGPART" ? faults.wrongPartByte
                           : faults.malformedLengths) = value == 1;
  }
  else if (word == "SLOW")
  {
    if (!ReadNumber(in, 0, 60000, value))
    {
      out << "ERROR milliseconds 0 to 60000 expected\n";
      return true;
    }
    faults.slowMs = value;
  }
  else if (word == "MISSING")
  {
    std::string first;
    in >> first;
    if (first == "OFF")
    {
      faults.missingBankCode = faults.missingSlot = faults.missingTimes = -1;
    }
    else
    {
      int code = 0;
      int slot = 0;
      std::string times;
      int count = -1;
      if (!ParseNumber(first, 1, 12, code) || !ReadNumber(in, 0, SimSysEx::kSlots - 1, slot) ||
          (in >> times && !ParseNumber(times, 1, 1000, count)))
      {
        out << "ERROR bank code 1 to 12, slot 0 to 127 and a count 1 to 1000 (or none) expected\n";
        return true;
      }
      faults.missingBankCode = code;
      faults.missingSlot = slot;
      faults.missingTimes = count;
    }
  }
  else if (word == "CORRUPT")
  {
    if (!ReadNumber(in, 0, 1000, value))
    {
      out << "ERROR a count 0 to 1000 expected\n";
      return true;
    }
    faults.corruptNext = value;
  }
  else if (word == "CABLE")
  {
    int piece = 16;
    std::string pieceWord;
    if (!ReadNumber(in, 0, 1000000, value) || (in >> pieceWord && !ParseNumber(pieceWord, 4, 4096, piece)))
    {
      out << "ERROR bytes per second (0: off) and a piece size 4 to 4096 (or none) expected\n";
      return true;
    }
    faults.cableBytesPerSecond = value;
    faults.cablePieceBytes = piece;
  }
  else if (word == "MODE")
  {
    std::string mode;
    in >> mode;
    if (mode != "PROGRAM" && mode != "PERFORMANCE")
    {
      out << "ERROR PROGRAM or PERFORMANCE expected\n";
      return true;
    }
    synth.SetMode(mode == "PROGRAM" ? SimSynth::Mode::Program : SimSynth::Mode::Performance);
  }
  else if (word == "PART")
  {
    if (!ReadNumber(in, 0, SimSysEx::kParts - 1, value))
    {
      out << "ERROR part 0 to 7 expected\n";
      return true;
    }
    synth.SetSelectedPart(value);
  }
  else
  {
    out << "ERROR unknown control line\n";
    return true;
  }
  synth.SetFaults(faults);
  out << "OK\n";
  return true;
}
