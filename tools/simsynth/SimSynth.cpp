#include "tools/simsynth/SimSynth.h"

#include <algorithm>
#include <random>

std::string SimHex(const SimBytes& message)
{
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(message.empty() ? 0 : message.size() * 3 - 1, ' ');
  for (size_t i = 0; i < message.size(); ++i)
  {
    text[3 * i] = kDigits[message[i] >> 4];
    text[3 * i + 1] = kDigits[message[i] & 0x0F];
  }
  return text;
}

SimSynth::SimSynth(uint8_t deviceId, uint32_t seed, int model)
    : deviceId_(deviceId & 0x7F), modelByte_(SimSysEx::ModelByte(model))
{
  std::mt19937 random(seed);
  globals_ = {SimSysEx::GenerateGlobalA(random, modelByte_, deviceId_),
              SimSysEx::GenerateGlobalB(random, modelByte_, deviceId_)};
  perfEdit_ = GeneratePerformance(random);
  for (int p = 0; p < SimSysEx::kParts; ++p)
    partEdit_[size_t(p)] = GenerateProgram(random, uint8_t(p));
  for (int b = 0; b < SimSysEx::kProgramBanks; ++b)
    for (int s = 0; s < SimSysEx::kSlots; ++s)
    {
      const uint8_t code = uint8_t(SimSysEx::kFirstProgramBankCode + b);
      Program& slot = programBanks_[size_t(b)][size_t(s)];
      for (SimBytes& m : slot = GenerateProgram(random, 0))
        m = SimSysEx::ToMemory(m, code, uint8_t(s));
    }
  for (int b = 0; b < SimSysEx::kPerfBanks; ++b)
    for (int s = 0; s < SimSysEx::kSlots; ++s)
    {
      const uint8_t code = uint8_t(SimSysEx::kFirstPerfBankCode + b);
      Performance& slot = perfBanks_[size_t(b)][size_t(s)];
      for (SimBytes& m : slot = GeneratePerformance(random))
        m = SimSysEx::ToMemory(m, code, uint8_t(s));
    }
}

SimSynth::Program SimSynth::GenerateProgram(std::mt19937& random, uint8_t part) const
{
  Program program{SimSysEx::GenerateProgram(random, part, modelByte_, deviceId_),
                  SimSysEx::GenerateProgramB(random, part, modelByte_, deviceId_)};
  SimSysEx::MatchSecondMessage(program[0], program[1]);
  return program;
}

SimSynth::Performance SimSynth::GeneratePerformance(std::mt19937& random) const
{
  Performance performance{SimSysEx::GeneratePerformance(random, modelByte_, deviceId_),
                          SimSysEx::GeneratePerformanceB(random, modelByte_, deviceId_),
                          SimSysEx::GeneratePerformanceParts(random, modelByte_, deviceId_)};
  SimSysEx::MarkMultiChorusTypes(performance[0], performance[2]);
  return performance;
}

void SimSynth::SetSender(Sender sender)
{
  std::lock_guard<std::mutex> lock(mutex_);
  sender_ = std::move(sender);
}

void SimSynth::SetClock(Clock* clock)
{
  std::lock_guard<std::mutex> lock(mutex_);
  clock_ = clock ? clock : &realClock_;
}

void SimSynth::Receive(const SimBytes& message, std::stop_token stop)
{
  std::vector<SimBytes> answers;
  SimSynthFaults faults;
  Sender sender;
  Clock* clock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++received_;
    AppendLogLocked("IN " + SimHex(message));
    answers = HandleLocked(message);
    faults = faults_;
    sender = sender_;
    clock = clock_;
    if (!answers.empty() && faults.silent)
    {
      NoteLocked("silent: " + std::to_string(answers.size()) + " answer(s) not sent");
      answers.clear();
    }
  }
  for (SimBytes& answer : answers)
  {
    if (faults.slowMs > 0 && !clock->SleepMs(faults.slowMs, stop)) return;
    if (stop.stop_requested()) return;
    const uint8_t type = answer[SimSysEx::kTypeByte];
    if (faults.wrongPartByte && (type == SimSysEx::kProgramEdit || type == SimSysEx::kProgramEditB))
      answer[8] = uint8_t((answer[8] + 1) % SimSysEx::kParts);
    if (faults.malformedLengths && answer.size() > 2) answer.erase(answer.end() - 2);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (faults_.corruptNext > 0 && answer.size() > 24)
      {
        --faults_.corruptNext;
        answer[20] = 0x85; // a data byte with its top bit set, as a bad cable turns one
        NoteLocked("corrupt: byte 20 of the next message is 85");
      }
    }
    if (!Transmit(answer, faults, sender, *clock, stop)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    AppendLogLocked("OUT " + SimHex(answer));
  }
}

bool SimSynth::Transmit(const SimBytes& message, const SimSynthFaults& faults, const Sender& sender,
                        Clock& clock, std::stop_token stop)
{
  if (!sender) return true;
  if (faults.cableBytesPerSecond <= 0)
  {
    sender(message);
    return true;
  }
  // Pieces of the cable's size; a tail of three bytes or fewer goes with the piece before it, so
  // that no piece could pass for a short message.
  const size_t piece = size_t(std::max(4, faults.cablePieceBytes));
  const int64_t start = clock.NowNs();
  size_t at = 0;
  while (at < message.size())
  {
    size_t end = std::min(message.size(), at + piece);
    if (message.size() - end <= 3) end = message.size();
    sender(SimBytes(message.begin() + long(at), message.begin() + long(end)));
    at = end;
    const int64_t due = start + int64_t(at) * 1000000000 / faults.cableBytesPerSecond;
    if (!clock.SleepUntilNs(due, stop)) return false;
  }
  return true;
}

void SimSynth::SendUnterminated(int dataBytes, std::stop_token stop)
{
  SimSynthFaults faults;
  Sender sender;
  Clock* clock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    faults = faults_;
    sender = sender_;
    clock = clock_;
    NoteLocked("garbage: F0 and " + std::to_string(dataBytes) + " data bytes without F7");
  }
  // Too long for one message of the port: in pieces, at ten times the MIDI cable's pace when no
  // pace is set.
  if (faults.cableBytesPerSecond <= 0) faults.cableBytesPerSecond = 31250;
  SimBytes garbage(size_t(std::max(0, dataBytes)) + 1, 0x11);
  garbage[0] = 0xF0;
  Transmit(garbage, faults, sender, *clock, stop);
}

void SimSynth::Send(const SimBytes& message)
{
  Sender sender;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sender = sender_;
  }
  if (sender) sender(message);
  std::lock_guard<std::mutex> lock(mutex_);
  AppendLogLocked("OUT " + SimHex(message));
}

std::vector<SimBytes> SimSynth::HandleLocked(const SimBytes& message)
{
  if (message.empty() || message[0] != 0xF0)
  {
    NoteLocked("channel message, nothing to answer");
    return {};
  }
  if (message.size() < 9 || message[1] != 0x00 || message[2] != 0x20 || message[3] != 0x29 ||
      message[4] != 0x01 || message.back() != 0xF7)
  {
    NoteLocked("ignored: not a message of this synthesizer");
    return {};
  }
  if (message[SimSysEx::kDeviceByte] != deviceId_)
  {
    NoteLocked("ignored: device id " + std::to_string(message[SimSysEx::kDeviceByte]));
    return {};
  }
  const uint8_t type = message[SimSysEx::kTypeByte];
  if (!SimSysEx::WellFormed(message))
  {
    NoteLocked("refused: " + std::to_string(message.size()) + " bytes for type " + std::to_string(type));
    return {};
  }
  switch (type)
  {
  case SimSysEx::kDeviceIdRequest:
    return {Stamped(globals_[0]), Stamped(globals_[1])};
  case SimSysEx::kEditRequest:
    return EditBufferAnswerLocked();
  case SimSysEx::kMemoryRequest:
    return AnswerMemoryRequestLocked(message);
  default:
    StoreLocked(message);
    return {};
  }
}

std::vector<SimBytes> SimSynth::AnswerMemoryRequestLocked(const SimBytes& message)
{
  const int code = message[8];
  const int slot = message[9];
  if (code == faults_.missingBankCode && slot == faults_.missingSlot && faults_.missingTimes != 0)
  {
    NoteLocked("missing slot: bank code " + std::to_string(code) + " slot " + std::to_string(slot));
    if (faults_.missingTimes > 0) --faults_.missingTimes;
    return {};
  }
  std::vector<SimBytes> answer = SlotMessagesLocked(code, slot);
  if (answer.empty()) NoteLocked("refused: no bank code " + std::to_string(code));
  return answer;
}

void SimSynth::StoreLocked(const SimBytes& message)
{
  const uint8_t type = message[SimSysEx::kTypeByte];
  const int code = message[8];
  const int slot = message[9];
  const std::string where = " bank code " + std::to_string(code) + " slot " + std::to_string(slot);
  switch (type)
  {
  case SimSysEx::kProgramEdit:
  case SimSysEx::kProgramEditB:
    if (message[8] >= SimSysEx::kParts)
    {
      NoteLocked("refused: program for part " + std::to_string(message[8]));
      return;
    }
    partEdit_[message[8]][type == SimSysEx::kProgramEdit ? 0 : 1] = message;
    ++writes_.programEdit;
    NoteLocked("stored: program edit buffer of part " + std::to_string(message[8]));
    return;
  case SimSysEx::kPerfEdit:
  case SimSysEx::kPerfEditB:
  case SimSysEx::kPerfEditParts:
    perfEdit_[type == SimSysEx::kPerfEdit ? 0 : type == SimSysEx::kPerfEditB ? 1 : 2] = message;
    ++writes_.performanceEdit;
    NoteLocked("stored: performance edit buffer");
    return;
  case SimSysEx::kProgramMemory:
  case SimSysEx::kProgramMemoryB:
    if (!SimSysEx::IsProgramBankCode(code))
    {
      NoteLocked("refused: program for" + where);
      return;
    }
    programBanks_[size_t(code - SimSysEx::kFirstProgramBankCode)][size_t(slot)]
                 [type == SimSysEx::kProgramMemory ? 0 : 1] = message;
    ++writes_.programMemory;
    NoteLocked("stored: program" + where);
    return;
  case SimSysEx::kPerfMemory:
  case SimSysEx::kPerfMemoryB:
  case SimSysEx::kPerfMemoryParts:
    if (!SimSysEx::IsBankCode(code) || SimSysEx::IsProgramBankCode(code))
    {
      NoteLocked("refused: performance for" + where);
      return;
    }
    perfBanks_[size_t(code - SimSysEx::kFirstPerfBankCode)][size_t(slot)][type == SimSysEx::kPerfMemory ? 0
                                                                          : type == SimSysEx::kPerfMemoryB
                                                                              ? 1
                                                                              : 2] = message;
    ++writes_.performanceMemory;
    NoteLocked("stored: performance" + where);
    return;
  case SimSysEx::kGlobalA:
  case SimSysEx::kGlobalB:
    globals_[type == SimSysEx::kGlobalA ? 0 : 1] = message;
    ++writes_.globals;
    NoteLocked("stored: global settings");
    return;
  default:
    NoteLocked("not kept: type " + std::to_string(type));
    return;
  }
}

SimBytes SimSynth::Stamped(const SimBytes& message) const
{
  SimBytes out = message;
  out[SimSysEx::kModelByte] = modelByte_;
  out[SimSysEx::kDeviceByte] = deviceId_;
  return out;
}

std::vector<SimBytes> SimSynth::PartProgramLocked(int part) const
{
  if (part < 0 || part >= SimSysEx::kParts) return {};
  std::vector<SimBytes> program;
  for (const SimBytes& m : partEdit_[size_t(part)])
  {
    program.push_back(Stamped(m));
    program.back()[8] = uint8_t(part);
  }
  return program;
}

std::vector<SimBytes> SimSynth::EditBufferAnswerLocked() const
{
  if (mode_ == Mode::Program) return PartProgramLocked(selectedPart_);
  // A performance: every part's program first, the parts message last.
  std::vector<SimBytes> answer;
  for (int p = 0; p < SimSysEx::kParts; ++p)
    for (SimBytes& m : PartProgramLocked(p))
      answer.push_back(std::move(m));
  for (const SimBytes& m : perfEdit_)
    answer.push_back(Stamped(m));
  return answer;
}

std::vector<SimBytes> SimSynth::SlotMessagesLocked(int bankCode, int slot) const
{
  if (!SimSysEx::IsBankCode(bankCode) || slot < 0 || slot >= SimSysEx::kSlots) return {};
  std::vector<SimBytes> messages;
  if (SimSysEx::IsProgramBankCode(bankCode))
    for (const SimBytes& m : programBanks_[size_t(bankCode - SimSysEx::kFirstProgramBankCode)][size_t(slot)])
      messages.push_back(Stamped(m));
  else
    for (const SimBytes& m : perfBanks_[size_t(bankCode - SimSysEx::kFirstPerfBankCode)][size_t(slot)])
      messages.push_back(Stamped(m));
  return messages;
}

void SimSynth::NoteLocked(const std::string& text)
{
  AppendLogLocked("NOTE " + text);
}

void SimSynth::AppendLogLocked(std::string line)
{
  // A long session must not grow without end: past either bound the older half goes.
  logBytes_ += line.size();
  log_.push_back(std::move(line));
  if (log_.size() <= kLogLines && logBytes_ <= kLogBytes) return;
  const auto half = log_.begin() + long(log_.size() / 2);
  for (auto it = log_.begin(); it != half; ++it)
    logBytes_ -= it->size();
  log_.erase(log_.begin(), half);
}
uint8_t SimSynth::DeviceId() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return deviceId_;
}

void SimSynth::SetMode(Mode mode)
{
  std::lock_guard<std::mutex> lock(mutex_);
  mode_ = mode;
}

SimSynth::Mode SimSynth::GetMode() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return mode_;
}

void SimSynth::SetSelectedPart(int part)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (part >= 0 && part < SimSysEx::kParts) selectedPart_ = part;
}

void SimSynth::SetFaults(const SimSynthFaults& faults)
{
  std::lock_guard<std::mutex> lock(mutex_);
  faults_ = faults;
}

SimSynthFaults SimSynth::Faults() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

std::vector<SimBytes> SimSynth::SlotMessages(int bankCode, int slot) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return SlotMessagesLocked(bankCode, slot);
}

std::vector<SimBytes> SimSynth::EditBufferAnswer() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return EditBufferAnswerLocked();
}

std::vector<SimBytes> SimSynth::PartProgram(int part) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return PartProgramLocked(part);
}

std::vector<SimBytes> SimSynth::PerformanceEdit() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<SimBytes> out;
  for (const SimBytes& m : perfEdit_)
    out.push_back(Stamped(m));
  return out;
}

std::vector<SimBytes> SimSynth::Globals() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return {Stamped(globals_[0]), Stamped(globals_[1])};
}

std::vector<std::string> SimSynth::Log() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return log_;
}

uint64_t SimSynth::Received() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

SimSynthWrites SimSynth::Writes() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}
