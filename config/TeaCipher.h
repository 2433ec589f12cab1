#pragma once

#include <cstdint>

// The TEA block cipher (32 rounds) on one 64-bit block of two words.
void TeaEncipherBlock(uint32_t v[2], const uint32_t key[4]);
void TeaDecipherBlock(uint32_t v[2], const uint32_t key[4]);
