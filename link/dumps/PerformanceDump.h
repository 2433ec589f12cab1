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

// A performance (the eight-part multi setup) as three messages in edit form: the common message
// (type 0x05, 381 bytes: name, part switches, 44 bytes per part from byte 28), the vocoder message
// (0x1B, 25 bytes) and the parts message (0x20, 473 bytes: 40 bytes per part from byte 8).

constexpr size_t kPerformanceCommonSize = 381;
constexpr size_t kPerformanceVocoderSize = 25;
constexpr size_t kPerformancePartsSize = 473;
constexpr size_t kPerformanceNameOffset = 8;
constexpr size_t kPerformancePartBlock = 28; // part p of the common message at 28 + 44p
constexpr size_t kPerformancePartStride = 44;
constexpr size_t kPerformancePartsBlock = 8; // part p of the parts message at 8 + 40p
constexpr size_t kPerformancePartsStride = 40;

// Rows of the common message outside the part blocks, rows of one part block (offsets inside the
// block), the vocoder message, and one part block of the parts message.
std::span<const DumpField> PerformanceCommonFields();
std::span<const DumpField> PerformancePartFields();
std::span<const DumpField> PerformanceVocoderFields();
std::span<const DumpField> PerformancePartsFields();

// Each parser takes only a message of its type and exact length and reads it into the parameters
// (taking the parameter lock); one of its type and another length is refused.
DumpResult ParsePerformanceCommon(IEffectBase& plug, const uint8_t* message, size_t size,
                                  const DumpContext& context);
DumpResult ParsePerformanceType1B(IEffectBase& plug, const uint8_t* message, size_t size,
                                  const DumpContext& context);
DumpResult ParsePerformanceParts(IEffectBase& plug, const uint8_t* message, size_t size,
                                 const DumpContext& context);

// The name a common message carries (16 characters as they stand), empty for a shorter message.
std::string PerformanceDumpName(const std::vector<uint8_t>& common);

// Each builder takes the last message of its type the synthesizer sent (edit form), or null: its
// bytes and bits that no row writes are kept (see `KeepReceivedBits`); without one they are 0.
std::vector<uint8_t> BuildPerformanceCommon(IEffectBase& plug, const SysExAddress& address,
                                            const std::vector<uint8_t>* received = nullptr);
std::vector<uint8_t> BuildPerformanceType1B(IEffectBase& plug, const SysExAddress& address,
                                            const std::vector<uint8_t>* received = nullptr);
std::vector<uint8_t> BuildPerformanceParts(IEffectBase& plug, const SysExAddress& address,
                                           const std::vector<uint8_t>* received = nullptr);

// The three messages in the memory form a librarian slot keeps (0x07, 0x1C, 0x21), with the bank
// code and slot in bytes 8 and 9 and the type bytes left alone; `received` as above, common,
// vocoder and parts message in this order.
std::vector<std::vector<uint8_t>>
BuildPerformanceForSlot(IEffectBase& plug, const SysExAddress& address, int bankCode, int slot,
                        const std::vector<std::vector<uint8_t>>* received = nullptr);

// The initial performance ("Init Perf", eight identical part blocks, part 1 on) as three
// memory-form messages (0x07, 0x1C, 0x21) for the bank code and slot.
std::vector<std::vector<uint8_t>> BuildInitPerformance(const SysExAddress& address, int bankCode, int slot);
