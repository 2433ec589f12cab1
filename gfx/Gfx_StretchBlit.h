#pragma once

class Gfx_IBitmap;

// Copies the source rectangle (sx, sy, sw, sh; fractional) into the destination rectangle
// (x, y, w, h) with filtered sampling: bilinear, or a box average when shrinking by 1.7 or more
// on both axes; combined by BlendCopy at alpha. A negative w or h mirrors that axis, the rectangle
// then extending left of x (above y). An unscaled, pixel-aligned request becomes a plain blit.
void Gfx_StretchBlit(Gfx_IBitmap* dest, const Gfx_IBitmap* src, int x, int y, int w, int h, float sx,
                     float sy, float sw, float sh, float alpha);
