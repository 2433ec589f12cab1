#pragma once

#include <cstdint>

class IStateChunk;

// The 8 bytes in front of every chunk the plug-in gives the host: a magic
// and a version, both int32 little-endian.
constexpr int32_t kChunkMagic = 0x70666674;   // bytes 74 66 66 70
constexpr int32_t kChunkVersion = 0x00010000; // bytes 00 00 01 00
constexpr int kChunkHeaderSize = 8;

// Empties the chunk and appends the header; false when that failed.
bool WriteChunkHeader(IStateChunk& chunk);

// Answers the version. A chunk without the magic at the position reads as
// version 0 with the position unchanged (a headerless chunk, not an error);
// a magic without room for the version sets the position to -1.
int32_t ReadChunkHeader(const IStateChunk& chunk, int& position);
