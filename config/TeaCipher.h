#pragma once

#include <cstdint>

// The TEA block cipher (32 rounds) on one 64-bit block of two words.
void TeaEncipherBlock(uint32_t v[2], const uint32_t key[4]);
void TeaDecipherBlock(uint32_t v[2], const uint32_t key[4]);
// Eight independent blocks at once (block i is v0[i], v1[i]), as eight TeaDecipherBlock calls: the
// documents are deciphered block by block, so the lanes run side by side.
void TeaDecipherBlocks8(uint32_t v0[8], uint32_t v1[8], const uint32_t key[4]);
