#pragma once

#include "platform/clock/Clock.h"
#include "platform/clock/RealClock.h"
#include "tools/simsynth/SimSysEx.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

// What the simulated synthesizer does wrong when asked to.
struct SimSynthFaults
{
  bool silent = false;           // answers nothing (still stores and logs)
  int slowMs = 0;                // waits this long before each answered message
  int missingBankCode = -1;      // a memory request for this bank code and slot ...
  int missingSlot = -1;          // ... goes unanswered
  int missingTimes = -1;         // ... so many times, then it is answered again (-1: always)
  bool wrongPartByte = false;    // edit-buffer programs name the next part instead of their own
  bool malformedLengths = false; // every answered message is one byte short
  int corruptNext = 0;           // the next so many answered messages carry a data byte of 0x85
  int cableBytesPerSecond = 0;   // answers leave at this pace, in pieces (0: whole, at once) ...
  int cablePieceBytes = 16;      // ... of this many bytes
};

// How many dumps it has taken into each of its stores (a dump refused is not counted).
struct SimSynthWrites
{
  uint64_t programEdit = 0;     // a part's program edit buffer
  uint64_t performanceEdit = 0; // the performance edit buffer
  uint64_t programMemory = 0;   // a program slot of a bank
  uint64_t performanceMemory = 0;
  uint64_t globals = 0;

  uint64_t Edit() const { return programEdit + performanceEdit; }
  uint64_t Memory() const { return programMemory + performanceMemory; }
  uint64_t Total() const { return Edit() + Memory() + globals; }
};

// The synthesizer's side of the cable: a device id, a mode, edit buffers for eight parts and a
// performance, 8 program banks and 4 performance banks of 128 slots and the global settings, all
// generated from a seed. It answers requests addressed to its own device id, stores the dumps it
// receives and logs every message in and out. Thread-safe: messages arrive on one thread while
// control lines reach it from another.
class SimSynth
{
public:
  enum class Mode
  {
    Program,
    Performance,
  };
  using Sender = std::function<void(const SimBytes&)>;

  SimSynth(uint8_t deviceId, uint32_t seed, int model = 0);

  // Where answers go; set before the first message.
  void SetSender(Sender sender);
  // The clock of the slow fault's waits (a real clock unless set).
  void SetClock(Clock* clock);

  // One message from the editor. Answers are sent before this returns; a stop ends the slow
  // fault's waits and drops the answers still to come.
  void Receive(const SimBytes& message, std::stop_token stop = {});

  // A message of its own (a controller turned on its panel): sent and logged as "OUT".
  void Send(const SimBytes& message);
  // A broken message: F0 and `dataBytes` data bytes that never end (no F7), at the cable's pace;
  // logged as a "NOTE".
  void SendUnterminated(int dataBytes, std::stop_token stop = {});

  uint8_t DeviceId() const;
  void SetMode(Mode mode);
  Mode GetMode() const;
  void SetSelectedPart(int part);
  void SetFaults(const SimSynthFaults& faults);
  SimSynthFaults Faults() const;

  // A slot of a bank in memory form, as this synthesizer would send it (its own model byte and
  // device id); empty for a bank code or slot it does not have.
  std::vector<SimBytes> SlotMessages(int bankCode, int slot) const;
  // What an edit-buffer request is answered with, in order, before faults.
  std::vector<SimBytes> EditBufferAnswer() const;
  std::vector<SimBytes> PartProgram(int part) const;
  std::vector<SimBytes> PerformanceEdit() const;
  std::vector<SimBytes> Globals() const;

  // "IN <hex>", "OUT <hex>" and "NOTE <text>" lines, oldest first (the newer half is kept
  // whenever 100000 lines or 16 MiB are passed).
  std::vector<std::string> Log() const;
  // Messages received so far (every kind).
  uint64_t Received() const;
  // Writes to its edit buffers, memory and global settings so far.
  SimSynthWrites Writes() const;

private:
  using Program = std::array<SimBytes, 2>;
  using Performance = std::array<SimBytes, 3>;

  // A program's or performance's messages generated together, edit form.
  Program GenerateProgram(std::mt19937& random, uint8_t part) const;
  Performance GeneratePerformance(std::mt19937& random) const;

  std::vector<SimBytes> HandleLocked(const SimBytes& message);
  std::vector<SimBytes> AnswerMemoryRequestLocked(const SimBytes& message);
  void StoreLocked(const SimBytes& message);
  std::vector<SimBytes> PartProgramLocked(int part) const;
  std::vector<SimBytes> EditBufferAnswerLocked() const;
  std::vector<SimBytes> SlotMessagesLocked(int bankCode, int slot) const;
  SimBytes Stamped(const SimBytes& message) const;
  // Hands a message to the sender whole, or in pieces at the cable's pace; false when stopped.
  static bool Transmit(const SimBytes& message, const SimSynthFaults& faults, const Sender& sender,
                       Clock& clock, std::stop_token stop);
  void NoteLocked(const std::string& text);
  void AppendLogLocked(std::string line);

  static constexpr size_t kLogLines = 100000;
  static constexpr size_t kLogBytes = size_t(16) << 20;

  mutable std::mutex mutex_;
  uint8_t deviceId_;
  uint8_t modelByte_;
  Mode mode_ = Mode::Program;
  int selectedPart_ = 0;
  SimSynthFaults faults_;
  std::array<Program, SimSysEx::kParts> partEdit_;
  Performance perfEdit_;
  std::array<SimBytes, 2> globals_;
  std::array<std::array<Program, SimSysEx::kSlots>, SimSysEx::kProgramBanks> programBanks_;
  std::array<std::array<Performance, SimSysEx::kSlots>, SimSysEx::kPerfBanks> perfBanks_;
  std::vector<std::string> log_;
  size_t logBytes_ = 0;
  uint64_t received_ = 0;
  SimSynthWrites writes_;

  Sender sender_;
  RealClock realClock_;
  Clock* clock_ = &realClock_;
};

// "F0 00 20 ..." for a message.
std::string SimHex(const SimBytes& message);
