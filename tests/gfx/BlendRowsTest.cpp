#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "gfx/Gfx_BlendChannel.h"
#include "gfx/Gfx_BlendRows.h"

namespace
{
// Rows with the values where the blends change behaviour: equal bytes, 0 and 255, transparent
// and opaque pixels, at random elsewhere.
std::vector<std::uint32_t> Row(std::mt19937& rng, int n)
{
  std::vector<std::uint32_t> row(std::size_t(n) + 1);
  for (int i = 0; i <= n; ++i)
  {
    const std::uint32_t r = rng();
    switch (i % 9)
    {
    case 0:
      row[i] = r & 0x00FFFFFFu;
      break;
    case 1:
      row[i] = r | 0xFF000000u;
      break;
    case 2:
      row[i] = 0xFFFFFFFFu;
      break;
    case 3:
      row[i] = 0;
      break;
    case 4:
      row[i] = (r & 0x00FFFFFFu) | 0x01000000u;
      break;
    case 5:
      row[i] = (r & 0x00FFFFFFu) | 0xFE000000u;
      break;
    default:
      row[i] = r;
      break;
    }
  }
  return row;
}

const int kOpacities[] = {1, 2, 63, 64, 127, 128, 129, 179, 192, 254, 255, 256};
} // namespace

// The vector loops compute the truncating cross-fade as one 16-bit weighted sum, the multiply in
// 16-bit steps, the dodge and the overlay in float lanes; each must agree with the plain loop for every
// byte pair at every opacity.
TEST(BlendRows, VectorFormsEqualThePlainBlendsForEveryInput)
{
  std::vector<std::uint8_t> d(256 * 256), s(256 * 256), want(256 * 256);
  for (int ia = 1; ia <= 256; ++ia)
  {
    for (int i = 0; i < 256 * 256; ++i)
    {
      d[i] = std::uint8_t(i >> 8);
      s[i] = std::uint8_t(i);
      want[i] = std::uint8_t(Gfx_CrossFadeChannel(d[i], s[i], ia));
    }
    std::vector<std::uint8_t> dodged = d;
    Gfx_BlendRowsAt(Gfx_BlendRowsPlain).dodge(dodged.data(), s.data(), int(dodged.size()), ia);
    std::vector<std::uint8_t> multiplied = d;
    Gfx_BlendRowsAt(Gfx_BlendRowsPlain).multiply(multiplied.data(), s.data(), int(multiplied.size()), ia);
    std::vector<std::uint8_t> overlaid = d;
    Gfx_BlendRowsAt(Gfx_BlendRowsPlain).overlay(overlaid.data(), s.data(), int(overlaid.size()), ia);
    for (int level = Gfx_BlendRowsVector16; level <= Gfx_BlendRowsBestLevel(); ++level)
    {
      std::vector<std::uint8_t> got = d;
      Gfx_BlendRowsAt(level).crossFade(got.data(), s.data(), int(got.size()), ia);
      ASSERT_EQ(got, want) << "level " << level << " opacity " << ia;
      // The dodge's float division floors exactly for every input too.
      got = d;
      Gfx_BlendRowsAt(level).dodge(got.data(), s.data(), int(got.size()), ia);
      ASSERT_EQ(got, dodged) << "dodge, level " << level << " opacity " << ia;
      got = d;
      Gfx_BlendRowsAt(level).multiply(got.data(), s.data(), int(got.size()), ia);
      ASSERT_EQ(got, multiplied) << "multiply, level " << level << " opacity " << ia;
      got = d;
      Gfx_BlendRowsAt(level).overlay(got.data(), s.data(), int(got.size()), ia);
      ASSERT_EQ(got, overlaid) << "overlay, level " << level << " opacity " << ia;
    }
  }
}

// Every level, at every width and offset (vector bodies and plain tails), gives the plain loop's
// bytes, and touches nothing past the row.
TEST(BlendRows, EveryLevelEqualsThePlainLoop)
{
  ASSERT_GE(Gfx_BlendRowsBestLevel(), Gfx_BlendRowsVector16);
  const Gfx_BlendRowKernels& plain = Gfx_BlendRowsAt(Gfx_BlendRowsPlain);
  std::mt19937 rng(24);
  for (int level = Gfx_BlendRowsVector16; level <= Gfx_BlendRowsBestLevel(); ++level)
  {
    const Gfx_BlendRowKernels& k = Gfx_BlendRowsAt(level);
    for (int w : {0, 1, 3, 4, 5, 15, 16, 17, 33, 64, 67, 130})
      for (int offset : {0, 1, 3})
        for (int ia : kOpacities)
        {
          const std::vector<std::uint32_t> d = Row(rng, w + offset), s = Row(rng, w + offset);
          const std::uint32_t colour = rng();

          std::vector<std::uint32_t> want = d, got = d;
          plain.sourceAlphaCopy(want.data() + offset, s.data() + offset, w, ia);
          k.sourceAlphaCopy(got.data() + offset, s.data() + offset, w, ia);
          ASSERT_EQ(got, want) << "source alpha, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.crossFade(reinterpret_cast<std::uint8_t*>(want.data() + offset),
                          reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          k.crossFade(reinterpret_cast<std::uint8_t*>(got.data() + offset),
                      reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          ASSERT_EQ(got, want) << "cross-fade, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.sourceAlphaAdd(want.data() + offset, s.data() + offset, w, ia);
          k.sourceAlphaAdd(got.data() + offset, s.data() + offset, w, ia);
          ASSERT_EQ(got, want) << "source-alpha add, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.add(reinterpret_cast<std::uint8_t*>(want.data() + offset),
                    reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          k.add(reinterpret_cast<std::uint8_t*>(got.data() + offset),
                reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          ASSERT_EQ(got, want) << "add, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.sourceAlphaDodge(want.data() + offset, s.data() + offset, w, ia);
          k.sourceAlphaDodge(got.data() + offset, s.data() + offset, w, ia);
          ASSERT_EQ(got, want) << "source-alpha dodge, level " << level << " width " << w << " opacity "
                               << ia;

          want = d, got = d;
          plain.dodge(reinterpret_cast<std::uint8_t*>(want.data() + offset),
                      reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          k.dodge(reinterpret_cast<std::uint8_t*>(got.data() + offset),
                  reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          ASSERT_EQ(got, want) << "dodge, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.sourceAlphaMultiply(want.data() + offset, s.data() + offset, w, ia);
          k.sourceAlphaMultiply(got.data() + offset, s.data() + offset, w, ia);
          ASSERT_EQ(got, want) << "source-alpha multiply, level " << level << " width " << w << " opacity "
                               << ia;

          want = d, got = d;
          plain.multiply(reinterpret_cast<std::uint8_t*>(want.data() + offset),
                         reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          k.multiply(reinterpret_cast<std::uint8_t*>(got.data() + offset),
                     reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          ASSERT_EQ(got, want) << "multiply, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.sourceAlphaOverlay(want.data() + offset, s.data() + offset, w, ia);
          k.sourceAlphaOverlay(got.data() + offset, s.data() + offset, w, ia);
          ASSERT_EQ(got, want) << "source-alpha overlay, level " << level << " width " << w << " opacity "
                               << ia;

          want = d, got = d;
          plain.overlay(reinterpret_cast<std::uint8_t*>(want.data() + offset),
                        reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          k.overlay(reinterpret_cast<std::uint8_t*>(got.data() + offset),
                    reinterpret_cast<const std::uint8_t*>(s.data() + offset), w * 4, ia);
          ASSERT_EQ(got, want) << "overlay, level " << level << " width " << w << " opacity " << ia;

          want = d, got = d;
          plain.crossFadeFill(want.data() + offset, w, colour, ia);
          k.crossFadeFill(got.data() + offset, w, colour, ia);
          ASSERT_EQ(got, want) << "fill, level " << level << " width " << w << " opacity " << ia;
        }
  }
  // Levels above what the processor runs fall back to one it runs.
  EXPECT_EQ(&Gfx_BlendRowsAt(99), &Gfx_BlendRowsAt(Gfx_BlendRowsBestLevel()));
  EXPECT_EQ(&Gfx_BlendRows(), &Gfx_BlendRowsAt(Gfx_BlendRowsBestLevel()));
}

// The plain source-alpha loop is the blend as the blit always drew it.
TEST(BlendRows, PlainSourceAlphaCopyExamples)
{
  const Gfx_BlendRowKernels& plain = Gfx_BlendRowsAt(Gfx_BlendRowsPlain);
  std::uint32_t d[4] = {0x11223344u, 0x00223344u, 0x80C04020u, 0x80C04020u};
  const std::uint32_t s[4] = {0x00FFFFFFu, 0xFF102030u, 0x40FF1090u, 0x40FF1090u};
  plain.sourceAlphaCopy(d, s, 3, 256);
  EXPECT_EQ(d[0], 0x11223344u); // transparent: kept
  EXPECT_EQ(d[1], 0xFF102030u); // opaque: copied and made opaque
  // a = 0x40, k = 191: red 0xFF + (0xC0 - 0xFF) * 191 / 256 = 0xD0 (truncated toward zero), alpha 0x80 +
  // 0x40.
  EXPECT_EQ(d[2], 0xC0D0333Du);
  plain.sourceAlphaCopy(d + 3, s + 3, 1, 128); // w = 65 * 128 / 256 = 32, k = 224
  EXPECT_EQ(d[3], 0xA0C83A2Eu);
}

#if defined(__x86_64__)
#include <cpuid.h>

namespace
{
// Whether the processor reports which register states are in use (XGETBV with ECX = 1).
bool CanReadStateInUse()
{
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid_count(0xD, 1, &a, &b, &c, &d)) return false;
  return (a & 4u) != 0;
}

// True while the upper halves of the vector registers hold something (the AVX state is in use):
// then every legacy SSE instruction pays for merging them.
bool UpperVectorStateDirty()
{
  unsigned lo = 0, hi = 0;
  asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(1));
  return (lo & 4u) != 0;
}
} // namespace

// Every wide kernel leaves the upper vector state clean, or the SSE code after it (the fill at 0.5
// among others) runs at about half speed.
TEST(BlendRows, WideKernelsLeaveTheUpperVectorStateClean)
{
  if (Gfx_BlendRowsBestLevel() < Gfx_BlendRowsVector32 || !CanReadStateInUse())
    GTEST_SKIP() << "no wide kernels here, or the processor does not report its state in use";
  std::mt19937 rng(7);
  const int w = 203; // whole vectors of every width and a tail
  const std::vector<std::uint32_t> s = Row(rng, w);
  const std::vector<std::uint32_t> start = Row(rng, w);
  for (int level = Gfx_BlendRowsVector32; level <= Gfx_BlendRowsBestLevel(); ++level)
  {
    const Gfx_BlendRowKernels& k = Gfx_BlendRowsAt(level);
    using ByteKernel = void (*)(std::uint8_t*, const std::uint8_t*, int, int);
    using PixelKernel = void (*)(std::uint32_t*, const std::uint32_t*, int, int);
    const std::pair<const char*, ByteKernel> bytes[] = {{"crossFade", k.crossFade},
                                                        {"add", k.add},
                                                        {"dodge", k.dodge},
                                                        {"multiply", k.multiply},
                                                        {"overlay", k.overlay}};
    const std::pair<const char*, PixelKernel> pixels[] = {{"sourceAlphaCopy", k.sourceAlphaCopy},
                                                          {"sourceAlphaAdd", k.sourceAlphaAdd},
                                                          {"sourceAlphaDodge", k.sourceAlphaDodge},
                                                          {"sourceAlphaMultiply", k.sourceAlphaMultiply},
                                                          {"sourceAlphaOverlay", k.sourceAlphaOverlay}};
    for (const int ia : {128, 256})
    {
      for (const auto& [name, kernel] : bytes)
      {
        std::vector<std::uint32_t> d = start;
        kernel(reinterpret_cast<std::uint8_t*>(d.data()), reinterpret_cast<const std::uint8_t*>(s.data()),
               w * 4, ia);
        const bool dirty = UpperVectorStateDirty();
        EXPECT_FALSE(dirty) << name << ", level " << level << ", opacity " << ia;
      }
      for (const auto& [name, kernel] : pixels)
      {
        std::vector<std::uint32_t> d = start;
        kernel(d.data(), s.data(), w, ia);
        const bool dirty = UpperVectorStateDirty();
        EXPECT_FALSE(dirty) << name << ", level " << level << ", opacity " << ia;
      }
      std::vector<std::uint32_t> d = start;
      k.crossFadeFill(d.data(), w, 0x80C04020u, ia);
      const bool dirty = UpperVectorStateDirty();
      EXPECT_FALSE(dirty) << "crossFadeFill, level " << level << ", opacity " << ia;
    }
  }
}
#endif
