#pragma once

class Gfx_IBitmap;

// Writes the bitmap as an 8-bit RGBA PNG file (UTF-8 path). False on an empty bitmap, a file that
// cannot be written or a libpng error; a partly written file is removed.
bool Gfx_WritePNGFile(const char* path, const Gfx_IBitmap& bitmap);
