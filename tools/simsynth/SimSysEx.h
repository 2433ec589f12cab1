#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

using SimBytes = std::vector<uint8_t>;

// The synthesizer's own reading of its SysEx family: the frame, the message types and their
// sizes, the edit and memory forms, and dumps generated from a seed. Written from the
// synthesizer's side of the cable and kept apart from the editor's codecs on purpose: the two
// are independent readings of one format, so each catches the other's mistakes.
struct SimSysEx
{
  // Byte offsets of the frame (F0 at 0).
  static constexpr size_t kModelByte = 5;
  static constexpr size_t kDeviceByte = 6;
  static constexpr size_t kTypeByte = 7;

  // Message types.
  static constexpr uint8_t kProgramEdit = 0x00;
  static constexpr uint8_t kProgramEditB = 0x1E;
  static constexpr uint8_t kProgramMemory = 0x02;
  static constexpr uint8_t kProgramMemoryB = 0x1F;
  static constexpr uint8_t kPerfEdit = 0x05;
  static constexpr uint8_t kPerfEditB = 0x1B;
  static constexpr uint8_t kPerfEditParts = 0x20;
  static constexpr uint8_t kPerfMemory = 0x07;
  static constexpr uint8_t kPerfMemoryB = 0x1C;
  static constexpr uint8_t kPerfMemoryParts = 0x21;
  static constexpr uint8_t kPattern = 0x0C;
  static constexpr uint8_t kGlobalA = 0x0F;
  static constexpr uint8_t kGlobalB = 0x15;
  static constexpr uint8_t kEditRequest = 0x08;
  static constexpr uint8_t kMemoryRequest = 0x13;
  static constexpr uint8_t kDeviceIdRequest = 0x10;

  // Bank codes of the memory forms: performance banks 1-4, program banks 5-12.
  static constexpr int kFirstPerfBankCode = 1;
  static constexpr int kPerfBanks = 4;
  static constexpr int kFirstProgramBankCode = 5;
  static constexpr int kProgramBanks = 8;
  static constexpr int kSlots = 128;
  static constexpr int kParts = 8;

  // The size of a message of this type, F0 and F7 counted; 0 for a type the family lacks.
  static size_t SizeOfType(uint8_t type);
  // The model byte for a model number: 0 -> 0x24, 1 -> 0x22, anything else 0x23.
  static uint8_t ModelByte(int model);
  // F0 00 20 29 01 <model> <device> <type>, zero payload, F7.
  static SimBytes Frame(uint8_t type, uint8_t modelByte, uint8_t deviceId);
  // Bytes 1-4 are the maker's id and the fixed byte, the message ends in F7, its size is that of
  // its type, and no byte between the ends has bit 7 set.
  static bool WellFormed(const SimBytes& message);

  static bool IsBankCode(int code)
  {
    return code >= kFirstPerfBankCode && code < kFirstProgramBankCode + kProgramBanks;
  }
  static bool IsProgramBankCode(int code) { return code >= kFirstProgramBankCode && IsBankCode(code); }

  // Edit form to memory form: programs replace the part byte by bank code and slot (data shifted
  // by one), performances insert them after the type byte (data shifted by two). Empty for a
  // message that is not an edit form.
  static SimBytes ToMemory(const SimBytes& edit, uint8_t bankCode, uint8_t slot);
  // Memory form back to edit form; programs take `part` as their part byte. Empty when not a
  // memory form.
  static SimBytes ToEdit(const SimBytes& memory, uint8_t part);

  // Valid generated dumps, edit form (programs carry `part`). Every field holds a value its
  // parameter can take as far as the format shows it: offsets respected, fixed bytes in place.
  static SimBytes GenerateProgram(std::mt19937& random, uint8_t part, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GenerateProgramB(std::mt19937& random, uint8_t part, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GeneratePerformance(std::mt19937& random, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GeneratePerformanceB(std::mt19937& random, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GeneratePerformanceParts(std::mt19937& random, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GenerateGlobalA(std::mt19937& random, uint8_t modelByte, uint8_t deviceId);
  static SimBytes GenerateGlobalB(std::mt19937& random, uint8_t modelByte, uint8_t deviceId);

  // What a later message repeats of the first, brought in line with it (edit forms). Chorus types 3
  // and 4 share the value 3 of the type bits (bits 1-0 of the byte less 32) in the first message; the
  // later one tells them apart (1 or 2) and holds 0 for types 0 to 2. The second program message
  // also carries the filter width (bits 2-0 of byte 218) in bits 5-3 of its byte 16.
  static void MatchSecondMessage(const SimBytes& program, SimBytes& second);
  static void MarkMultiChorusTypes(const SimBytes& performance, SimBytes& parts);

  // The sixteen name characters of a program (edit form from byte 9) or performance (from 8).
  static constexpr size_t kProgramNameByte = 9;
  static constexpr size_t kPerfNameByte = 8;
  static constexpr size_t kNameLength = 16;
};
