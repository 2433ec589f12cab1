#include "config/TeaCipher.h"

namespace
{
constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr int kRounds = 32;
} // namespace

void TeaEncipherBlock(uint32_t v[2], const uint32_t key[4])
{
  uint32_t v0 = v[0], v1 = v[1], sum = 0;
  for (int i = 0; i < kRounds; ++i)
  {
    sum += kDelta;
    v0 += ((v1 << 4) + key[0]) ^ (v1 + sum) ^ ((v1 >> 5) + key[1]);
    v1 += ((v0 << 4) + key[2]) ^ (v0 + sum) ^ ((v0 >> 5) + key[3]);
  }
  v[0] = v0;
  v[1] = v1;
}

void TeaDecipherBlock(uint32_t v[2], const uint32_t key[4])
{
  uint32_t v0 = v[0], v1 = v[1], sum = kDelta * uint32_t(kRounds);
  for (int i = 0; i < kRounds; ++i)
  {
    v1 -= ((v0 << 4) + key[2]) ^ (v0 + sum) ^ ((v0 >> 5) + key[3]);
    v0 -= ((v1 << 4) + key[0]) ^ (v1 + sum) ^ ((v1 >> 5) + key[1]);
    sum -= kDelta;
  }
  v[0] = v0;
  v[1] = v1;
}
