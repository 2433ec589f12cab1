#include "framework/plugin/ChunkHeader.h"

#include "framework/plugin/IStateChunk.h"

bool WriteChunkHeader(IStateChunk& chunk)
{
  chunk.Clear();
  if (chunk.PutInt(kChunkMagic) && chunk.PutInt(kChunkVersion)) return true;
  chunk.Clear();
  return false;
}

int32_t ReadChunkHeader(const IStateChunk& chunk, int& position)
{
  int32_t magic = 0;
  const int next = chunk.GetInt(magic, position);
  if (next < 0 || magic != kChunkMagic) return 0;
  int32_t version = 0;
  position = chunk.GetInt(version, next);
  return position < 0 ? 0 : version;
}
