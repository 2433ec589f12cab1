#pragma once

#include "link/dumps/DumpField.h"
#include "link/dumps/DumpResult.h"
#include "link/dumps/SysExFrame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class IEffectBase;

// The program of one part as two messages: the main message (type 0x00, 296 bytes: part, name,
// sound data) and the second message (type 0x1E, 98 bytes). Both are read and written through
// one row table each.

constexpr size_t kProgramDumpSize = 296;
constexpr size_t kProgramDumpBSize = 98;
constexpr size_t kProgramNameOffset = 9; // 16 characters in the main message

std::span<const DumpField> ProgramDumpFields();
std::span<const DumpField> ProgramDumpBFields();

// Reads a main message into the parameters of the part its byte 8 names, leaving the groups whose
// section lock switch is on; the name goes to the display text of `kPatchName` + part. Takes the
// parameter lock. A message of another type is not read; one of this type shorter than 296 bytes
// is refused. Bytes past the 296th are ignored.
DumpResult ParseProgramDump(IEffectBase& plug, const uint8_t* message, size_t size,
                            const DumpContext& context);
// The same for the second message (98 bytes).
DumpResult ParseProgramDumpB(IEffectBase& plug, const uint8_t* message, size_t size,
                             const DumpContext& context);

// The name a main message carries (16 characters as they stand), empty for a shorter message.
std::string ProgramDumpName(const std::vector<uint8_t>& main);

// The two messages of part 0 - 7 from its parameters, in edit form (types 0x00 and 0x1E).
std::vector<uint8_t> BuildProgramDump(IEffectBase& plug, int part, const SysExAddress& address);
std::vector<uint8_t> BuildProgramDumpB(IEffectBase& plug, int part, const SysExAddress& address);

// The two messages of a part in the memory form a librarian slot keeps (0x02 and 0x1F), with the
// bank code and slot in bytes 8 and 9 and the type bytes left alone: what storing the editor's
// program into the librarian hands to the slot's collector.
std::vector<std::vector<uint8_t>> BuildProgramForSlot(IEffectBase& plug, int part,
                                                      const SysExAddress& address, int bankCode, int slot);

// The initial program ("Init Program") as two memory-form messages (0x02, 297 bytes, and 0x1F, 99
// bytes) for the bank code and slot.
std::vector<std::vector<uint8_t>> BuildInitProgram(const SysExAddress& address, int bankCode, int slot);
