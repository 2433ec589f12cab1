#pragma once

#include <cstdint>

// Row loops of the blends the editor draws most: the cross-fade of the copy mode (blit and fill at
// any opacity), the copy weighted by the source alpha, and the add, dodge, multiply and overlay modes
// with and without it. Each comes as a
// plain per-pixel loop, the reference, and as vector loops of 16, 32 and 64 bytes that give the same bytes;
// the widest the processor runs is chosen once. The compiler does not vectorise these loops by itself (the
// per-pixel weight and the truncation toward zero defeat it), so the vector forms are written
// with the compiler's generic vector types, one source for every width.
struct Gfx_BlendRowKernels
{
  // n bytes of dest cross-faded toward the bytes of src at opacity ia (1..256):
  // s + (d - s) * (256 - ia) / 256 truncated toward zero, per byte.
  void (*crossFade)(std::uint8_t* dest, const std::uint8_t* src, int n, int ia);
  // w pixels of dest cross-faded the same way toward one source pixel.
  void (*crossFadeFill)(std::uint32_t* dest, int w, std::uint32_t source, int ia);
  // w pixels of the copy weighted by the source alpha at opacity ia (1..256): a transparent source
  // pixel leaves the destination; otherwise colour s + (d - s) * (256 - w) / 256 with weight
  // w = (a + 1) * ia / 256, and alpha min(d + w, 255) (at ia 256: min(d + a, 255)).
  void (*sourceAlphaCopy)(std::uint32_t* dest, const std::uint32_t* src, int w, int ia);
  // n bytes of dest plus src * ia / 256, clamped to 255 (the add mode at opacity ia, 1..256).
  void (*add)(std::uint8_t* dest, const std::uint8_t* src, int n, int ia);
  // w pixels of the add weighted by the source alpha: a transparent source pixel leaves the
  // destination; otherwise each colour byte d + s * w / 256 and alpha d + w * a / 256, clamped,
  // with w = (a + 1) * ia / 256.
  void (*sourceAlphaAdd)(std::uint32_t* dest, const std::uint32_t* src, int w, int ia);
  // n bytes of dest dodged by src at opacity ia (1..256): d * 256 / (256 - s * ia / 256), at most 255.
  void (*dodge)(std::uint8_t* dest, const std::uint8_t* src, int n, int ia);
  // w pixels of the dodge at each pixel's weight (a + 1) * ia / 256, on every byte.
  void (*sourceAlphaDodge)(std::uint32_t* dest, const std::uint32_t* src, int w, int ia);
  // n bytes of dest multiplied by src at opacity ia (1..256): d * (s * ia + 256 * (256 - ia)) / 65536.
  void (*multiply)(std::uint8_t* dest, const std::uint8_t* src, int n, int ia);
  // w pixels of the multiply at each pixel's weight (a + 1) * ia / 256, the alpha byte by the source
  // alpha; a transparent source pixel leaves the destination.
  void (*sourceAlphaMultiply)(std::uint32_t* dest, const std::uint32_t* src, int w, int ia);
  // n bytes of dest overlaid by src at opacity ia (1..256): Gfx_OverlayChannel per byte.
  void (*overlay)(std::uint8_t* dest, const std::uint8_t* src, int n, int ia);
  // w pixels of the overlay at each pixel's weight (a + 1) * ia / 256, on every byte.
  void (*sourceAlphaOverlay)(std::uint32_t* dest, const std::uint32_t* src, int w, int ia);
};

enum Gfx_BlendRowLevel : int
{
  Gfx_BlendRowsPlain = 0,
  Gfx_BlendRowsVector16 = 1,
  Gfx_BlendRowsVector32 = 2, // needs AVX2
  Gfx_BlendRowsVector64 = 3, // needs AVX-512BW
};

// The widest level this processor runs.
int Gfx_BlendRowsBestLevel();
// The kernels of a level, limited to what the processor runs (tests compare every level).
const Gfx_BlendRowKernels& Gfx_BlendRowsAt(int level);
// The kernels of the best level.
const Gfx_BlendRowKernels& Gfx_BlendRows();
