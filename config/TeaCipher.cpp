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

#if defined(__GNUC__)
void TeaDecipherBlocks8(uint32_t v0[8], uint32_t v1[8], const uint32_t key[4])
{
  // Two registers of four lanes each, interleaved: one alone waits on its own chain of steps.
  typedef uint32_t Lanes __attribute__((vector_size(16)));
  Lanes a, b, c, d;
  __builtin_memcpy(&a, v0, sizeof a);
  __builtin_memcpy(&b, v1, sizeof b);
  __builtin_memcpy(&c, v0 + 4, sizeof c);
  __builtin_memcpy(&d, v1 + 4, sizeof d);
  const uint32_t k0 = key[0], k1 = key[1], k2 = key[2], k3 = key[3];
  uint32_t sum = kDelta * uint32_t(kRounds);
  for (int i = 0; i < kRounds; ++i)
  {
    b -= ((a << 4) + k2) ^ (a + sum) ^ ((a >> 5) + k3);
    d -= ((c << 4) + k2) ^ (c + sum) ^ ((c >> 5) + k3);
    a -= ((b << 4) + k0) ^ (b + sum) ^ ((b >> 5) + k1);
    c -= ((d << 4) + k0) ^ (d + sum) ^ ((d >> 5) + k1);
    sum -= kDelta;
  }
  __builtin_memcpy(v0, &a, sizeof a);
  __builtin_memcpy(v1, &b, sizeof b);
  __builtin_memcpy(v0 + 4, &c, sizeof c);
  __builtin_memcpy(v1 + 4, &d, sizeof d);
}
#else
void TeaDecipherBlocks8(uint32_t v0[8], uint32_t v1[8], const uint32_t key[4])
{
  for (int lane = 0; lane < 8; ++lane)
  {
    uint32_t v[2] = {v0[lane], v1[lane]};
    TeaDecipherBlock(v, key);
    v0[lane] = v[0];
    v1[lane] = v[1];
  }
}
#endif
