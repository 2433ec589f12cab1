#include "gfx/Gfx_BlendRows.h"

#include <algorithm>
#include <cstring>

#include "gfx/Gfx_BlendChannel.h"

namespace
{
inline int Byte(std::uint32_t p, int n)
{
  return static_cast<int>((p >> (8 * n)) & 0xFF);
}

inline std::uint32_t Pack(int b, int g, int r, int a)
{
  return std::uint32_t(b & 0xFF) | (std::uint32_t(g & 0xFF) << 8) | (std::uint32_t(r & 0xFF) << 16) |
         (std::uint32_t(a & 0xFF) << 24);
}

// s + (d - s) * k / 256 with the signed division truncating toward zero.
inline int Mix(int d, int s, int k)
{
  return s + (d - s) * k / 256;
}

// ---- the plain loops: the reference every vector loop must equal ----

void CrossFadePlain(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  for (int i = 0; i < n; ++i)
    d[i] = static_cast<std::uint8_t>(Gfx_CrossFadeChannel(d[i], s[i], ia));
}

void CrossFadeFillPlain(std::uint32_t* d, int w, std::uint32_t source, int ia)
{
  const int k0 = Byte(source, 0), k1 = Byte(source, 1), k2 = Byte(source, 2), k3 = Byte(source, 3);
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t p = d[i];
    d[i] = Pack(Gfx_CrossFadeChannel(Byte(p, 0), k0, ia), Gfx_CrossFadeChannel(Byte(p, 1), k1, ia),
                Gfx_CrossFadeChannel(Byte(p, 2), k2, ia), Gfx_CrossFadeChannel(Byte(p, 3), k3, ia));
  }
}

void SourceAlphaCopyPlain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
{
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t dp = d[i], sp = s[i];
    const int a = Byte(sp, 3);
    if (a == 0) continue;
    if (ia == 256)
    {
      const int k = 255 - a;
      d[i] = a == 255 ? (sp | 0xFF000000u)
                      : Pack(Mix(Byte(dp, 0), Byte(sp, 0), k), Mix(Byte(dp, 1), Byte(sp, 1), k),
                             Mix(Byte(dp, 2), Byte(sp, 2), k), std::min(Byte(dp, 3) + a, 255));
    }
    else
    {
      const int wt = (a + 1) * ia / 256, k = 256 - wt;
      d[i] = Pack(Mix(Byte(dp, 0), Byte(sp, 0), k), Mix(Byte(dp, 1), Byte(sp, 1), k),
                  Mix(Byte(dp, 2), Byte(sp, 2), k), std::min(Byte(dp, 3) + wt, 255));
    }
  }
}

void AddPlain(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  for (int i = 0; i < n; ++i)
    d[i] = static_cast<std::uint8_t>(Gfx_AddChannel(d[i], s[i], ia));
}

void SourceAlphaAddPlain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
{
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t dp = d[i], sp = s[i];
    const int a = Byte(sp, 3);
    if (a == 0) continue;
    const int wt = (a + 1) * ia / 256;
    d[i] = Pack(Gfx_AddChannel(Byte(dp, 0), Byte(sp, 0), wt), Gfx_AddChannel(Byte(dp, 1), Byte(sp, 1), wt),
                Gfx_AddChannel(Byte(dp, 2), Byte(sp, 2), wt), Gfx_Clamp255(Byte(dp, 3) + wt * a / 256));
  }
}

void DodgePlain(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  for (int i = 0; i < n; ++i)
    d[i] = static_cast<std::uint8_t>(Gfx_DodgeChannel(d[i], s[i], ia));
}

void SourceAlphaDodgePlain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
{
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t dp = d[i], sp = s[i];
    const int wt = (Byte(sp, 3) + 1) * ia / 256;
    d[i] =
        Pack(Gfx_DodgeChannel(Byte(dp, 0), Byte(sp, 0), wt), Gfx_DodgeChannel(Byte(dp, 1), Byte(sp, 1), wt),
             Gfx_DodgeChannel(Byte(dp, 2), Byte(sp, 2), wt), Gfx_DodgeChannel(Byte(dp, 3), Byte(sp, 3), wt));
  }
}

void MultiplyPlain(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  for (int i = 0; i < n; ++i)
    d[i] = static_cast<std::uint8_t>(Gfx_MultiplyChannel(d[i], s[i], ia));
}

void SourceAlphaMultiplyPlain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
{
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t dp = d[i], sp = s[i];
    const int a = Byte(sp, 3);
    if (a == 0) continue;
    const int wt = (a + 1) * ia / 256;
    d[i] = Pack(Gfx_MultiplyChannel(Byte(dp, 0), Byte(sp, 0), wt),
                Gfx_MultiplyChannel(Byte(dp, 1), Byte(sp, 1), wt),
                Gfx_MultiplyChannel(Byte(dp, 2), Byte(sp, 2), wt), Gfx_MultiplyChannel(Byte(dp, 3), a, wt));
  }
}

void OverlayPlain(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  for (int i = 0; i < n; ++i)
    d[i] = static_cast<std::uint8_t>(Gfx_OverlayChannel(d[i], s[i], ia));
}

void SourceAlphaOverlayPlain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
{
  for (int i = 0; i < w; ++i)
  {
    const std::uint32_t dp = d[i], sp = s[i];
    const int wt = (Byte(sp, 3) + 1) * ia / 256;
    d[i] = Pack(
        Gfx_OverlayChannel(Byte(dp, 0), Byte(sp, 0), wt), Gfx_OverlayChannel(Byte(dp, 1), Byte(sp, 1), wt),
        Gfx_OverlayChannel(Byte(dp, 2), Byte(sp, 2), wt), Gfx_OverlayChannel(Byte(dp, 3), Byte(sp, 3), wt));
  }
}

// ---- the vector loops ----
//
// Every cross-fade above is one weighted sum on 16-bit lanes:
//   s + (d - s) * (256 - w) / 256 (truncated toward zero) = (256 d + (s - d) w + 255 [d < s]) >> 8,
// where the sum lies in 0..65535, so it may be formed modulo 2^16 (the lanes' own arithmetic).
// A vector of bytes is taken as 16-bit lanes: the even bytes are the lanes' low halves, the odd
// bytes their high halves; each half is blended in place and the two are merged back.

typedef std::uint8_t U8x16 __attribute__((vector_size(16)));
typedef std::uint16_t U16x8 __attribute__((vector_size(16)));
typedef std::uint32_t U32x4 __attribute__((vector_size(16)));
typedef std::uint8_t U8x32 __attribute__((vector_size(32)));
typedef std::uint16_t U16x16 __attribute__((vector_size(32)));
typedef std::uint32_t U32x8 __attribute__((vector_size(32)));
typedef std::uint8_t U8x64 __attribute__((vector_size(64)));
typedef std::uint16_t U16x32 __attribute__((vector_size(64)));
typedef std::uint32_t U32x16 __attribute__((vector_size(64)));

template <int V> struct Lanes;
template <> struct Lanes<16>
{
  using B = U8x16;
  using H = U16x8;
  using W = U32x4;
};
template <> struct Lanes<32>
{
  using B = U8x32;
  using H = U16x16;
  using W = U32x8;
};
template <> struct Lanes<64>
{
  using B = U8x64;
  using H = U16x32;
  using W = U32x16;
};

template <class T> inline __attribute__((always_inline)) void Load(T& v, const void* p)
{
  std::memcpy(&v, p, sizeof(T));
}

// d blended toward s with the weights of wt (the same weight in both halves of a lane). Vectors
// pass by reference: by value, their calling convention would depend on the instruction set.
template <int V>
inline __attribute__((always_inline)) void Blend(const typename Lanes<V>::B& d, const typename Lanes<V>::B& s,
                                                 const typename Lanes<V>::H& wt, typename Lanes<V>::H& out)
{
  using B = typename Lanes<V>::B;
  using H = typename Lanes<V>::H;
  const H ge = H(B(d >= s)); // 0xFF in each byte where d >= s
  const H d16 = H(d), s16 = H(s);
  const H de = d16 & 0xFF, dd = d16 >> 8;
  const H se = s16 & 0xFF, sd = s16 >> 8;
  const H even = H(d16 << 8) + (se - de) * wt + 255 - (ge & 0xFF);
  const H odd = (d16 & 0xFF00) + (sd - dd) * wt + 255 - (ge >> 8);
  out = (even >> 8) | (odd & 0xFF00);
}

// Runs step(dest, src) over the whole vectors of V bytes in the row; answers how many elements
// they covered. The rest goes to the next narrower width, and what is narrower than 16 bytes to
// the plain loop (a short tail through a vector-sized copy would stall on the copy).
template <int V, class T, class Step>
inline __attribute__((always_inline)) int ForVectors(T* d, const T* s, int count, Step step)
{
  constexpr int kPer = V / int(sizeof(T));
  int i = 0;
  for (; i + kPer <= count; i += kPer)
    step(d + i, s ? s + i : nullptr);
  return i;
}

// The fill's source and weight are the same for every pixel: the weighted sum is d * (256 - ia)
// plus a constant per byte position, less 255 where d >= s.
template <int V>
inline __attribute__((always_inline)) int CrossFadeFillVector(std::uint32_t* d, int w, std::uint32_t source,
                                                              int ia)
{
  using B = typename Lanes<V>::B;
  using H = typename Lanes<V>::H;
  using W = typename Lanes<V>::W;
  const B s = B(W{} + source);
  const H s16 = H(s);
  const std::uint16_t k = std::uint16_t(256 - ia);
  const H evenSum = (s16 & 0xFF) * std::uint16_t(ia) + 255;
  const H oddSum = (s16 >> 8) * std::uint16_t(ia) + 255;
  const int done = ForVectors<V>(
      d, static_cast<const std::uint32_t*>(nullptr),
      w, [&](std::uint32_t * dp, const std::uint32_t*) __attribute__((always_inline)) {
        B dv;
        Load(dv, dp);
        const H ge = H(B(dv >= s));
        const H d16 = H(dv);
        const H even = (d16 & 0xFF) * k + evenSum - (ge & 0xFF);
        const H odd = (d16 >> 8) * k + oddSum - (ge >> 8);
        const H out = (even >> 8) | (odd & 0xFF00);
        std::memcpy(dp, &out, V);
      });
  if constexpr (V > 16)
    return done + CrossFadeFillVector<V / 2>(d + done, w - done, source, ia);
  else
    return done;
}

template <int V>
inline __attribute__((always_inline)) int SourceAlphaCopyVector(std::uint32_t* d, const std::uint32_t* s,
                                                                int w, int ia)
{
  using B = typename Lanes<V>::B;
  using H = typename Lanes<V>::H;
  using W = typename Lanes<V>::W;
  const bool full = ia == 256;
  const int done = ForVectors<V>(
      d, s, w, [&](std::uint32_t * dp, const std::uint32_t* sp) __attribute__((always_inline)) {
        W dw, sw;
        Load(dw, dp);
        Load(sw, sp);
        const W a = sw >> 24;
        const H a2 = H(a | (a << 16)); // the pixel's alpha in both halves
        // Weight: a + 1 at full opacity (0 for a transparent pixel, which then
        // keeps the destination), else (a + 1) * ia / 256, which fits 16 bits
        // below full opacity.
        const H wt = full ? H(a2 - H(a2 != 0)) : H(((a2 + 1) * std::uint16_t(ia)) >> 8);
        const W add = full ? a : (W(wt) & 0xFFFF);
        H mixed;
        Blend<V>(B(dw), B(sw), wt, mixed);
        const W colour = W(mixed) & 0x00FFFFFFu;
        const W sum = (dw >> 24) + add;
        const W alpha = (sum | W(sum > 255)) & 0xFF; // clamped to 255
        const W out = colour | (alpha << 24);
        std::memcpy(dp, &out, V);
      });
  if constexpr (V > 16)
    return done + SourceAlphaCopyVector<V / 2>(d + done, s + done, w - done, ia);
  else
    return done;
}

// Saturating add of bytes.
template <int V>
inline __attribute__((always_inline)) void AddSaturated(typename Lanes<V>::B& d,
                                                        const typename Lanes<V>::B& t)
{
  using B = typename Lanes<V>::B;
  const B sum = d + t;
  d = sum | B(sum < d);
}

// d + s * wt / 256 clamped, per byte: the products fit 16 bits (wt <= 256).
template <int V>
inline __attribute__((always_inline)) void AddWeighted(typename Lanes<V>::B& d, const typename Lanes<V>::B& s,
                                                       const typename Lanes<V>::H& wt)
{
  using B = typename Lanes<V>::B;
  using H = typename Lanes<V>::H;
  const H s16 = H(s);
  const H t = (((s16 & 0xFF) * wt) >> 8) | (((s16 >> 8) * wt) & 0xFF00);
  AddSaturated<V>(d, B(t));
}

// The dodge d * 256 / q with q = 256 - s * wt / 256 (1..256), limited to 255, per byte: 255 where
// d >= q, else the quotient, below 256. Its floor is taken from a float division: the quotient is
// exact when whole and otherwise at least 1 / 256 from the next whole number, far above the
// division's error (2^-16 at most below 256). Each byte has its own 16-bit weight in wt.
template <int V> struct WideLanes;
template <> struct WideLanes<16>
{
  typedef std::uint16_t H __attribute__((vector_size(32)));
  typedef std::int16_t S __attribute__((vector_size(32)));
  typedef float F __attribute__((vector_size(64)));
  typedef std::int32_t I __attribute__((vector_size(64)));
};
template <> struct WideLanes<32>
{
  typedef std::uint16_t H __attribute__((vector_size(64)));
  typedef std::int16_t S __attribute__((vector_size(64)));
  typedef float F __attribute__((vector_size(128)));
  typedef std::int32_t I __attribute__((vector_size(128)));
};
template <> struct WideLanes<64>
{
  typedef std::uint16_t H __attribute__((vector_size(128)));
  typedef std::int16_t S __attribute__((vector_size(128)));
  typedef float F __attribute__((vector_size(256)));
  typedef std::int32_t I __attribute__((vector_size(256)));
};

template <int V>
inline __attribute__((always_inline)) void
DodgeWeighted(typename Lanes<V>::B& d, const typename Lanes<V>::B& s, const typename WideLanes<V>::H& wt)
{
  using B = typename Lanes<V>::B;
  using H = typename WideLanes<V>::H;
  using S = typename WideLanes<V>::S;
  using F = typename WideLanes<V>::F;
  using I = typename WideLanes<V>::I;
  const H d16 = __builtin_convertvector(d, H);
  const H q = 256 - ((__builtin_convertvector(s, H) * wt) >> 8);
  const F quotient = __builtin_convertvector(d16, F) * 256.0f / __builtin_convertvector(q, F);
  const H whole = __builtin_convertvector(__builtin_convertvector(quotient, I), H);
  // 0xFFFF where d < q, from the sign of d - q (a comparison of vectors this wide is not vectorised).
  const H below = H(S(d16 - q) >> 15);
  d = __builtin_convertvector((whole & below) | (~below & 255), B);
}

// The multiply d * (s * wt + 256 * (256 - wt)) / 65536 per byte, in 16-bit lanes: the factor
// m = 65536 - (256 - s) * wt fits 16 bits except at wt = 0, where it is 65536 (its low 16 bits 0)
// and the result is d. d * m / 65536 = (d * (m >> 8) + (d * (m & 255) >> 8)) >> 8, every step
// within 16 bits.
// One half of the bytes (each in the low byte of its lane).
template <int V>
inline __attribute__((always_inline)) void
MultiplyHalf(const typename Lanes<V>::H& d, const typename Lanes<V>::H& s, const typename Lanes<V>::H& wt,
             const typename Lanes<V>::H& noWeight, typename Lanes<V>::H& out)
{
  using H = typename Lanes<V>::H;
  const H m = H{} - (256 - s) * wt;
  const H high = m >> 8, low = m & 0xFF;
  out = ((d * high + ((d * low) >> 8)) >> 8) | (noWeight & d);
}

template <int V>
inline __attribute__((always_inline)) void
MultiplyWeighted(typename Lanes<V>::B& d, const typename Lanes<V>::B& s, const typename Lanes<V>::H& wt)
{
  using B = typename Lanes<V>::B;
  using H = typename Lanes<V>::H;
  const H d16 = H(d), s16 = H(s);
  const H noWeight = H(wt == 0);
  H even, odd;
  MultiplyHalf<V>(d16 & 0xFF, s16 & 0xFF, wt, noWeight, even);
  MultiplyHalf<V>(d16 >> 8, s16 >> 8, wt, noWeight, odd);
  d = B(even | (odd << 8));
}

// The overlay per byte: c = s * wt + (256 - wt) * 128, then ((32768 - c) * d / 256 + c) * d / 32768
// limited to 255, with the integer divisions' truncation. Every product is a whole number below 2^24
// and every divisor a power of two, so float lanes compute each step exactly; each byte has its own
// 16-bit weight in wt.
template <int V>
inline __attribute__((always_inline)) void
OverlayWeighted(typename Lanes<V>::B& d, const typename Lanes<V>::B& s, const typename WideLanes<V>::H& wt)
{
  using B = typename Lanes<V>::B;
  using F = typename WideLanes<V>::F;
  using I = typename WideLanes<V>::I;
  using H = typename WideLanes<V>::H;
  // Bytes reach floats through 16-bit lanes: a direct conversion is not vectorised.
  const F df = __builtin_convertvector(__builtin_convertvector(d, H), F);
  const F sf = __builtin_convertvector(__builtin_convertvector(s, H), F);
  const F wf = __builtin_convertvector(wt, F);
  const F c = sf * wf + (256.0f - wf) * 128.0f;
  const I first = __builtin_convertvector((32768.0f - c) * df / 256.0f, I); // truncated toward zero
  I r = __builtin_convertvector((__builtin_convertvector(first, F) + c) * df / 32768.0f, I);
  const I over = (255 - r) >> 31; // all ones where r > 255 (a comparison this wide is not vectorised)
  r = (r & ~over) | (over & 255);
  d = __builtin_convertvector(__builtin_convertvector(r, H), B);
}

// The byte-wise blends differ only in the step taken on each vector of bytes. Each Op gives that
// step (Apply), the lanes its weights need (Weight), a pixel's weight from its source alpha
// (PixelWeight, for the source-alpha forms) and the plain loops that take the rows' tails.
template <int V> using NarrowWeight = typename Lanes<V>::H;
template <int V> using WideWeight = typename WideLanes<V>::H;

// A pixel's weight in both halves of its two 16-bit lanes: a + 1 at full opacity, else
// (a + 1) * ia / 256, which fits 16 bits below full opacity. transparentKeeps: a transparent pixel
// weighs 0 at full opacity too (where weight 1 would still change the destination).
template <int V>
inline __attribute__((always_inline)) void PairWeight(const typename Lanes<V>::W& sw, bool full, int ia,
                                                      bool transparentKeeps, NarrowWeight<V>& wt)
{
  using H = NarrowWeight<V>;
  using W = typename Lanes<V>::W;
  const W a = sw >> 24;
  const H a2 = H(a | (a << 16));
  if (!full)
    wt = H(((a2 + 1) * std::uint16_t(ia)) >> 8);
  else
    wt = transparentKeeps ? H(a2 - H(a2 != 0)) : H(a2 + 1);
}

// The pixel's alpha in all four of its bytes, each widened to 16 bits, and weighted as above.
template <int V>
inline __attribute__((always_inline)) void ByteWeight(const typename Lanes<V>::W& sw, bool full, int ia,
                                                      WideWeight<V>& wt)
{
  using B = typename Lanes<V>::B;
  using H = WideWeight<V>;
  const H a = __builtin_convertvector(B((sw >> 24) * 0x01010101u), H);
  wt = full ? H(a + 1) : H(((a + 1) * std::uint16_t(ia)) >> 8);
}

struct CrossFadeOp
{
  template <int V> using Weight = NarrowWeight<V>;
  template <int V>
  static inline __attribute__((always_inline)) void Apply(typename Lanes<V>::B& d,
                                                          const typename Lanes<V>::B& s, const Weight<V>& wt)
  {
    typename Lanes<V>::H out;
    Blend<V>(d, s, wt, out);
    d = typename Lanes<V>::B(out);
  }
  static void Plain(std::uint8_t* d, const std::uint8_t* s, int n, int ia) { CrossFadePlain(d, s, n, ia); }
};

struct AddOp
{
  template <int V> using Weight = NarrowWeight<V>;
  template <int V>
  static inline __attribute__((always_inline)) void Apply(typename Lanes<V>::B& d,
                                                          const typename Lanes<V>::B& s, const Weight<V>& wt)
  {
    AddWeighted<V>(d, s, wt);
  }
  // The alpha byte follows the colour formula with the source alpha as its value, and a
  // transparent pixel has weight 0 below full opacity and adds (s * 1) / 256 = 0 at it.
  template <int V>
  static inline __attribute__((always_inline)) void PixelWeight(const typename Lanes<V>::W& sw, bool full,
                                                                int ia, Weight<V>& wt)
  {
    PairWeight<V>(sw, full, ia, false, wt);
  }
  static void Plain(std::uint8_t* d, const std::uint8_t* s, int n, int ia) { AddPlain(d, s, n, ia); }
  static void Plain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
  {
    SourceAlphaAddPlain(d, s, w, ia);
  }
};

struct DodgeOp
{
  template <int V> using Weight = WideWeight<V>;
  template <int V>
  static inline __attribute__((always_inline)) void Apply(typename Lanes<V>::B& d,
                                                          const typename Lanes<V>::B& s, const Weight<V>& wt)
  {
    DodgeWeighted<V>(d, s, wt);
  }
  template <int V>
  static inline __attribute__((always_inline)) void PixelWeight(const typename Lanes<V>::W& sw, bool full,
                                                                int ia, Weight<V>& wt)
  {
    ByteWeight<V>(sw, full, ia, wt);
  }
  static void Plain(std::uint8_t* d, const std::uint8_t* s, int n, int ia) { DodgePlain(d, s, n, ia); }
  static void Plain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
  {
    SourceAlphaDodgePlain(d, s, w, ia);
  }
};

struct MultiplyOp
{
  template <int V> using Weight = NarrowWeight<V>;
  template <int V>
  static inline __attribute__((always_inline)) void Apply(typename Lanes<V>::B& d,
                                                          const typename Lanes<V>::B& s, const Weight<V>& wt)
  {
    MultiplyWeighted<V>(d, s, wt);
  }
  // Every byte, alpha included (its value the alpha), takes its pixel's weight; a transparent
  // pixel has weight 0 (at full opacity too), which keeps the destination.
  template <int V>
  static inline __attribute__((always_inline)) void PixelWeight(const typename Lanes<V>::W& sw, bool full,
                                                                int ia, Weight<V>& wt)
  {
    PairWeight<V>(sw, full, ia, true, wt);
  }
  static void Plain(std::uint8_t* d, const std::uint8_t* s, int n, int ia) { MultiplyPlain(d, s, n, ia); }
  static void Plain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
  {
    SourceAlphaMultiplyPlain(d, s, w, ia);
  }
};

struct OverlayOp
{
  template <int V> using Weight = WideWeight<V>;
  template <int V>
  static inline __attribute__((always_inline)) void Apply(typename Lanes<V>::B& d,
                                                          const typename Lanes<V>::B& s, const Weight<V>& wt)
  {
    OverlayWeighted<V>(d, s, wt);
  }
  template <int V>
  static inline __attribute__((always_inline)) void PixelWeight(const typename Lanes<V>::W& sw, bool full,
                                                                int ia, Weight<V>& wt)
  {
    ByteWeight<V>(sw, full, ia, wt);
  }
  static void Plain(std::uint8_t* d, const std::uint8_t* s, int n, int ia) { OverlayPlain(d, s, n, ia); }
  static void Plain(std::uint32_t* d, const std::uint32_t* s, int w, int ia)
  {
    SourceAlphaOverlayPlain(d, s, w, ia);
  }
};

// n bytes of d blended with s at one weight.
template <int V, class Op>
inline __attribute__((always_inline)) int ByteRow(std::uint8_t* d, const std::uint8_t* s, int n, int ia)
{
  using B = typename Lanes<V>::B;
  using Weight = typename Op::template Weight<V>;
  const Weight wt = Weight{} + std::uint16_t(ia);
  const int done = ForVectors<V>(
      d, s, n, [&](std::uint8_t * dp, const std::uint8_t* sp) __attribute__((always_inline)) {
        B dv, sv;
        Load(dv, dp);
        Load(sv, sp);
        Op::template Apply<V>(dv, sv, wt);
        std::memcpy(dp, &dv, V);
      });
  if constexpr (V > 16)
    return done + ByteRow<V / 2, Op>(d + done, s + done, n - done, ia);
  else
    return done;
}

// w pixels of d blended with s, each at the weight its source alpha gives it.
template <int V, class Op>
inline __attribute__((always_inline)) int SourceAlphaRow(std::uint32_t* d, const std::uint32_t* s, int w,
                                                         int ia)
{
  using B = typename Lanes<V>::B;
  using W = typename Lanes<V>::W;
  const bool full = ia == 256;
  const int done = ForVectors<V>(
      d, s, w, [&](std::uint32_t * dp, const std::uint32_t* sp) __attribute__((always_inline)) {
        W dw, sw;
        Load(dw, dp);
        Load(sw, sp);
        typename Op::template Weight<V> wt;
        Op::template PixelWeight<V>(sw, full, ia, wt);
        B dv = B(dw);
        Op::template Apply<V>(dv, B(sw), wt);
        std::memcpy(dp, &dv, V);
      });
  if constexpr (V > 16)
    return done + SourceAlphaRow<V / 2, Op>(d + done, s + done, w - done, ia);
  else
    return done;
}

// The kernels of one vector width, compiled for the instruction set given: the vector loops, then
// LEAVE, then the plain loop for the tail. A wide kernel must leave the upper vector state clean
// (LEAVE = vzeroupper): dirty upper halves make every legacy SSE instruction that runs after it,
// in the tail or in the caller, pay for merging them, about twice the time of a fill at 0.5.
#define VELK_BYTE_ROW_KERNEL(NAME, V, ATTRIBUTES, LEAVE)                                                     \
  ATTRIBUTES void NAME##V(std::uint8_t* d, const std::uint8_t* s, int n, int ia)                             \
  {                                                                                                          \
    const int done = ByteRow<V, NAME##Op>(d, s, n, ia);                                                      \
    LEAVE;                                                                                                   \
    NAME##Op::Plain(d + done, s + done, n - done, ia);                                                       \
  }
#define VELK_SOURCE_ALPHA_KERNEL(NAME, V, ATTRIBUTES, LEAVE)                                                 \
  ATTRIBUTES void SourceAlpha##NAME##V(std::uint32_t* d, const std::uint32_t* s, int w, int ia)              \
  {                                                                                                          \
    const int done = SourceAlphaRow<V, NAME##Op>(d, s, w, ia);                                               \
    LEAVE;                                                                                                   \
    NAME##Op::Plain(d + done, s + done, w - done, ia);                                                       \
  }
#define VELK_BLEND_ROW_KERNELS(V, ATTRIBUTES, LEAVE)                                                         \
  VELK_BYTE_ROW_KERNEL(CrossFade, V, ATTRIBUTES, LEAVE)                                                      \
  ATTRIBUTES void CrossFadeFill##V(std::uint32_t* d, int w, std::uint32_t source, int ia)                    \
  {                                                                                                          \
    const int done = CrossFadeFillVector<V>(d, w, source, ia);                                               \
    LEAVE;                                                                                                   \
    CrossFadeFillPlain(d + done, w - done, source, ia);                                                      \
  }                                                                                                          \
  ATTRIBUTES void SourceAlphaCopy##V(std::uint32_t* d, const std::uint32_t* s, int w, int ia)                \
  {                                                                                                          \
    const int done = SourceAlphaCopyVector<V>(d, s, w, ia);                                                  \
    LEAVE;                                                                                                   \
    SourceAlphaCopyPlain(d + done, s + done, w - done, ia);                                                  \
  }                                                                                                          \
  VELK_BYTE_ROW_KERNEL(Add, V, ATTRIBUTES, LEAVE)                                                            \
  VELK_SOURCE_ALPHA_KERNEL(Add, V, ATTRIBUTES, LEAVE)                                                        \
  VELK_BYTE_ROW_KERNEL(Dodge, V, ATTRIBUTES, LEAVE)                                                          \
  VELK_SOURCE_ALPHA_KERNEL(Dodge, V, ATTRIBUTES, LEAVE)                                                      \
  VELK_BYTE_ROW_KERNEL(Multiply, V, ATTRIBUTES, LEAVE)                                                       \
  VELK_SOURCE_ALPHA_KERNEL(Multiply, V, ATTRIBUTES, LEAVE)                                                   \
  VELK_BYTE_ROW_KERNEL(Overlay, V, ATTRIBUTES, LEAVE)                                                        \
  VELK_SOURCE_ALPHA_KERNEL(Overlay, V, ATTRIBUTES, LEAVE)

VELK_BLEND_ROW_KERNELS(16, , (void)0)
#if defined(__x86_64__) || defined(__i386__)
#define VELK_BLEND_ROWS_WIDE 1
VELK_BLEND_ROW_KERNELS(32, __attribute__((target("avx2"))), __builtin_ia32_vzeroupper())
VELK_BLEND_ROW_KERNELS(64, __attribute__((target("avx512bw"))), __builtin_ia32_vzeroupper())
#endif

const Gfx_BlendRowKernels kLevels[] = {
    {CrossFadePlain, CrossFadeFillPlain, SourceAlphaCopyPlain, AddPlain, SourceAlphaAddPlain, DodgePlain,
     SourceAlphaDodgePlain, MultiplyPlain, SourceAlphaMultiplyPlain, OverlayPlain, SourceAlphaOverlayPlain},
    {CrossFade16, CrossFadeFill16, SourceAlphaCopy16, Add16, SourceAlphaAdd16, Dodge16, SourceAlphaDodge16,
     Multiply16, SourceAlphaMultiply16, Overlay16, SourceAlphaOverlay16},
#ifdef VELK_BLEND_ROWS_WIDE
    {CrossFade32, CrossFadeFill32, SourceAlphaCopy32, Add32, SourceAlphaAdd32, Dodge32, SourceAlphaDodge32,
     Multiply32, SourceAlphaMultiply32, Overlay32, SourceAlphaOverlay32},
    {CrossFade64, CrossFadeFill64, SourceAlphaCopy64, Add64, SourceAlphaAdd64, Dodge64, SourceAlphaDodge64,
     Multiply64, SourceAlphaMultiply64, Overlay64, SourceAlphaOverlay64},
#endif
};

int DetectLevel()
{
#ifdef VELK_BLEND_ROWS_WIDE
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512bw")) return Gfx_BlendRowsVector64;
  if (__builtin_cpu_supports("avx2")) return Gfx_BlendRowsVector32;
#endif
  return Gfx_BlendRowsVector16;
}
} // namespace

int Gfx_BlendRowsBestLevel()
{
  static const int level = DetectLevel();
  return level;
}

const Gfx_BlendRowKernels& Gfx_BlendRowsAt(int level)
{
  return kLevels[std::clamp(level, 0, Gfx_BlendRowsBestLevel())];
}

const Gfx_BlendRowKernels& Gfx_BlendRows()
{
  static const Gfx_BlendRowKernels& best = Gfx_BlendRowsAt(Gfx_BlendRowsBestLevel());
  return best;
}
